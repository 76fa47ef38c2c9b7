#pragma once
// The independent DWG reader: LibreDWG as WebAssembly under Node.js (scripts/dwg_reader.sh
// installs it into tools/.dwg-reader), run through tools/dwg_check.mjs, one JSON line per file.
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cadkit/document.h"
#include "python_helper.h"

namespace kelvaro::cad::test {

struct CheckedDwg {
  std::string file, error, line;
  std::vector<std::string> layers;
  std::map<std::string, int> entities;
  std::map<std::string, int> objects;  // every stored object by type, without "DWG_TYPE_"
};

// Why the reader cannot run here, or empty when it can.
inline std::string dwgCheckMissing() {
  std::string out;
  if (runCommand("node -p 'process.versions.node.split(\".\")[0] >= 20'", out) != 0 || out.find("true") == std::string::npos)
    return "Node.js 20 or later is not installed";
  std::filesystem::path mods = std::filesystem::path(KELVARO_SOURCE_DIR) / "tools" / ".dwg-reader";
  if (!std::filesystem::exists(mods / "node_modules" / "@mlightcad" / "libredwg-web"))
    return "the DWG reader is not installed (run scripts/dwg_reader.sh)";
  return {};
}

namespace detail {
// The few JSON shapes dwg_check.mjs prints: strings, integers, string arrays, flat objects.
inline bool jsonString(const std::string& s, std::size_t& i, std::string& out) {
  out.clear();
  if (i >= s.size() || s[i] != '"') return false;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') return ++i, true;
    if (c == '\\' && i + 1 < s.size()) {
      char e = s[++i];
      if (e == 'u' && i + 4 < s.size()) {
        unsigned cp = std::stoul(s.substr(i + 1, 4), nullptr, 16);
        i += 4;
        if (cp < 0x80) out += static_cast<char>(cp);
        else if (cp < 0x800) out += static_cast<char>(0xC0 | cp >> 6), out += static_cast<char>(0x80 | (cp & 0x3F));
        else out += static_cast<char>(0xE0 | cp >> 12), out += static_cast<char>(0x80 | (cp >> 6 & 0x3F)),
             out += static_cast<char>(0x80 | (cp & 0x3F));
      } else {
        out += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      }
    } else {
      out += c;
    }
  }
  return false;
}
}  // namespace detail

inline CheckedDwg parseCheckedDwg(const std::string& line) {
  CheckedDwg r;
  r.line = line;
  auto after = [&](const char* key) {
    auto at = line.find(std::string("\"") + key + "\":");
    return at == std::string::npos ? std::string::npos : at + std::char_traits<char>::length(key) + 3;
  };
  std::string s;
  if (std::size_t i = after("file"); i != std::string::npos) detail::jsonString(line, i, r.file);
  if (std::size_t i = after("error"); i != std::string::npos) {
    detail::jsonString(line, i, r.error);
    if (r.error.empty()) r.error = "error";
  }
  if (std::size_t i = after("layers"); i != std::string::npos && line[i] == '[') {
    ++i;
    while (i < line.size() && line[i] == '"' && detail::jsonString(line, i, s)) {
      r.layers.push_back(s);
      if (i < line.size() && line[i] == ',') ++i;
    }
  }
  for (auto [key, into] : {std::pair{"entities", &r.entities}, std::pair{"objects", &r.objects}}) {
    std::size_t i = after(key);
    if (i == std::string::npos || line[i] != '{') continue;
    ++i;
    while (i < line.size() && line[i] == '"' && detail::jsonString(line, i, s) && i < line.size() && line[i] == ':') {
      std::size_t used = 0;
      (*into)[s] = std::stoi(line.substr(i + 1), &used);
      i += 1 + used;
      if (i < line.size() && line[i] == ',') ++i;
    }
  }
  return r;
}

// The type name the reader's conversion gives an entity of ours, or empty for types it does
// not convert (traces, polygon meshes and polyface meshes).
inline std::string checkedTypeName(const Entity& e, Release rel) {
  if (e.is<Trace>()) return {};
  if (const auto* p = e.as<Polyline>()) {
    if (p->flags & (16 | 64)) return {};
    // 3D polylines came with release 10.
    return (p->flags & 8) && rel >= Release::R10 ? "POLYLINE3D" : "POLYLINE2D";
  }
  if (e.is<Dimension>()) return "DIMENSION";
  return typeName(e.data);
}

// Reads the files; `out` keeps the whole output for messages. A file the reader could not
// take at all still gets its entry, with `error` set.
inline std::vector<CheckedDwg> checkDwgs(const std::vector<std::filesystem::path>& files, std::string& out) {
  std::filesystem::path src(KELVARO_SOURCE_DIR);
  std::string cmd = "node " + (src / "tools" / "dwg_check.mjs").string() + " " + (src / "tools" / ".dwg-reader").string();
  for (const auto& f : files) cmd += " '" + f.string() + "'";
  runCommand(cmd, out);
  std::vector<CheckedDwg> res;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty() && line[0] == '{') res.push_back(parseCheckedDwg(line));
  return res;
}

}  // namespace kelvaro::cad::test
