#include "app/cli/command.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>

namespace kelvaro::cli {

std::optional<std::string> Args::get(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

const std::string& Args::require(const std::string& name) const {
  auto it = values.find(name);
  if (it == values.end()) throw UsageError("missing argument " + name);
  return it->second;
}

static double toNumber(const std::string& name, const std::string& text) {
  double v = 0;
  const char* b = text.data();
  const char* e = b + text.size();
  auto [p, ec] = std::from_chars(b, e, v);
  if (ec != std::errc() || p != e || text.empty())
    throw UsageError("invalid value for " + name + ": '" + text + "'");
  return v;
}

double Args::number(const std::string& name) const { return toNumber(name, require(name)); }

double Args::number(const std::string& name, double fallback) const {
  auto v = get(name);
  return v ? toNumber(name, *v) : fallback;
}

Args parseArgs(const std::vector<std::string>& argv, const std::vector<OptionSpec>& specs) {
  Args a;
  for (size_t i = 0; i < argv.size(); ++i) {
    const std::string& s = argv[i];
    if (s.size() < 2 || s.rfind("--", 0) != 0) {
      a.positional.push_back(s);
      continue;
    }
    std::string name = s;
    std::optional<std::string> inlineValue;
    if (auto eq = s.find('='); eq != std::string::npos) {
      name = s.substr(0, eq);
      inlineValue = s.substr(eq + 1);
    }
    const OptionSpec* option = nullptr;
    for (const auto& o : specs)
      if (o.name == name) option = &o;
    if (!option) throw UsageError("unknown argument " + name);
    if (!option->takesValue) {
      if (inlineValue) throw UsageError("argument " + name + " takes no value");
      a.flags.insert(name);
      continue;
    }
    if (inlineValue) {
      a.values[name] = *inlineValue;
    } else {
      if (i + 1 >= argv.size()) throw UsageError("missing value for argument " + name);
      a.values[name] = argv[++i];
    }
  }
  return a;
}

static std::map<std::string, Command>& table() {
  static std::map<std::string, Command> t;
  return t;
}

void registerCommand(Command cmd) { table()[cmd.name] = std::move(cmd); }
const std::map<std::string, Command>& commands() { return table(); }

void exitNow(int status) {
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  std::_Exit(status);
}

void writeFileAtomically(const std::string& path, const std::string& bytes) {
  namespace fs = std::filesystem;
  fs::path target(path);
  fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::random_device rd;
  fs::path tmp = dir / (".~" + target.filename().string() + "." + std::to_string(rd()) + ".tmp");
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f) throw FileError("cannot write " + path);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    f.flush();
    if (!f) {
      f.close();
      std::error_code ec;
      fs::remove(tmp, ec);
      throw FileError("cannot write " + path);
    }
  }
  std::error_code ec;
  fs::rename(tmp, target, ec);
  if (ec) {
    fs::remove(tmp, ec);
    throw FileError("cannot write " + path);
  }
}

void emit(const Args& args, Io& io, const std::string& text) {
  if (auto out = args.get("--output")) {
    writeFileAtomically(*out, text);
  } else {
    io.out << text;
    io.out.flush();
  }
}

}  // namespace kelvaro::cli
