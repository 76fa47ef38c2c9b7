#include "cadkit/dwg12_bytes.h"

#include "cadkit/dwg12_layout.h"
#include "cadkit/dwg12_record.h"

namespace kelvaro::cad::dwg12 {
namespace {

struct VerInfo {
  Ver v;
  const char* magic;
  const char* name;
  Release release;
};
constexpr VerInfo kVers[] = {
    {Ver::V1_4, "AC1.40", "1.4", Release::R2_5},   {Ver::V2_10, "AC2.10", "2.10", Release::R2_5},
    {Ver::V2_5, "AC1002", "2.5", Release::R2_5},   {Ver::V2_6, "AC1003", "2.6", Release::R2_6},
    {Ver::V9, "AC1004", "9", Release::R9},         {Ver::V10, "AC1006", "10", Release::R10},
    {Ver::V11, "AC1009", "11/12", Release::R12},
};

// First bytes of each section marker; the closing marker is their complement.
constexpr std::uint8_t kMarks[][16] = {
    {0xC4, 0x6E, 0x68, 0x54, 0xF8, 0x6E, 0x33, 0x30, 0x63, 0x3E, 0xC1, 0x85, 0x2A, 0xDC, 0x94, 0x01},
    {0xDB, 0xEF, 0xB3, 0xF0, 0xC7, 0x3E, 0x6D, 0xA6, 0xC9, 0xB6, 0x24, 0x5C, 0x4C, 0x6F, 0x32, 0xCB},
    {0x0E, 0xC4, 0x64, 0x6F, 0xBB, 0x1D, 0xD3, 0x8B, 0x00, 0x49, 0xC2, 0xEF, 0x18, 0xEA, 0x6F, 0xFB},
    {0xE2, 0x3E, 0xC1, 0x82, 0x43, 0x9F, 0x61, 0x77, 0x50, 0xAB, 0xC7, 0x66, 0x96, 0x00, 0x06, 0x18},
    {0xAC, 0x90, 0x1A, 0xCA, 0x1C, 0xBD, 0x95, 0x15, 0x16, 0x16, 0x4C, 0x14, 0xCE, 0x18, 0x88, 0xAF},
    {0xC1, 0x3C, 0xAA, 0x56, 0x68, 0xF4, 0xB4, 0x1E, 0x4B, 0x74, 0xF4, 0x08, 0x42, 0x4D, 0xBF, 0xA5},
    {0x60, 0x4A, 0xFA, 0x3D, 0x84, 0x90, 0xCC, 0x5B, 0xEF, 0xE7, 0xD6, 0xA5, 0x7F, 0x1E, 0x61, 0xCD},
    {0xF6, 0xED, 0x44, 0x61, 0x2A, 0xDC, 0xE4, 0x7B, 0x4E, 0xB9, 0x2B, 0xBB, 0x66, 0x60, 0x63, 0x8D},
    {0xE1, 0x25, 0xC2, 0x50, 0x36, 0x68, 0x6C, 0x0C, 0x3B, 0xD3, 0x5D, 0x56, 0xC1, 0x79, 0x1C, 0x3A},
    {0xB4, 0x18, 0x3E, 0x42, 0xC9, 0x9F, 0xFF, 0xE5, 0xB6, 0xE2, 0xCB, 0xB3, 0x75, 0xC3, 0xC3, 0xB0},
    {0xE0, 0xCA, 0x36, 0x7C, 0xCE, 0xE7, 0x58, 0x6F, 0x2B, 0x7D, 0x74, 0x55, 0x05, 0xF1, 0x44, 0x7F},
    {0x72, 0x2B, 0x7D, 0xEC, 0x3E, 0x8C, 0x88, 0x6C, 0x7A, 0x72, 0x0A, 0xFD, 0xC8, 0x6C, 0x84, 0x26},
    {0xD5, 0xF9, 0xD3, 0xBB, 0x0A, 0xA9, 0x69, 0xA6, 0xCD, 0x1C, 0x87, 0xC7, 0xEE, 0x80, 0x4B, 0x17},
    {0x29, 0x8D, 0xD1, 0x49, 0xA9, 0x73, 0x1F, 0xEA, 0x99, 0xDE, 0x32, 0xF9, 0x4D, 0x0A, 0xE0, 0x19},
};

std::string upper(std::string s) {
  for (char& ch : s)
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
  return s;
}

}  // namespace

bool verFromMagic(std::string_view magic, Ver& out) {
  for (const auto& i : kVers)
    if (magic == i.magic) return out = i.v, true;
  return false;
}
const char* verMagic(Ver v) { return kVers[static_cast<int>(v)].magic; }
const char* verName(Ver v) { return kVers[static_cast<int>(v)].name; }
Release verRelease(Ver v) { return kVers[static_cast<int>(v)].release; }
Ver verOfRelease(Release r) {
  switch (r) {
    case Release::R2_5: return Ver::V2_5;
    case Release::R2_6: return Ver::V2_6;
    case Release::R9: return Ver::V9;
    case Release::R10: return Ver::V10;
    default: return Ver::V11;
  }
}

std::uint16_t crc16(std::uint16_t seed, std::string_view bytes) {
  static const auto table = [] {
    std::array<std::uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
      t[i] = static_cast<std::uint16_t>(c);
    }
    return t;
  }();
  std::uint16_t d = seed;
  for (char ch : bytes) d = static_cast<std::uint16_t>((d >> 8) ^ table[(static_cast<std::uint8_t>(ch) ^ d) & 0xFF]);
  return d;
}

std::array<std::uint8_t, 16> markBegin(Mark m) {
  std::array<std::uint8_t, 16> a{};
  for (int i = 0; i < 16; ++i) a[static_cast<std::size_t>(i)] = kMarks[static_cast<int>(m)][i];
  return a;
}
std::array<std::uint8_t, 16> markEnd(Mark m) {
  auto a = markBegin(m);
  for (auto& b : a) b = static_cast<std::uint8_t>(~b);
  return a;
}

void Names::add(Tbl t, const std::string& name) {
  auto k = static_cast<int>(t);
  index[k].emplace(upper(name), static_cast<int>(list[k].size()));
  list[k].push_back(name);
}

int Names::find(Tbl t, const std::string& name) const {
  const auto& m = index[static_cast<int>(t)];
  auto it = m.find(upper(name));
  return it == m.end() ? -1 : it->second;
}

std::string FieldIn::nameOf(Tbl t, int i, bool wide) const {
  if (t == Tbl::Ltype) {
    if (i == (wide ? 32767 : 255)) return "BYLAYER";
    if (i == (wide ? 32766 : 254)) return "BYBLOCK";
  }
  if (t == Tbl::Layer && c_.ver < Ver::V2_10) return std::to_string(i);
  if (c_.names) {
    const auto& l = c_.names->of(t);
    if (i >= 0 && i < static_cast<int>(l.size())) return l[static_cast<std::size_t>(i)];
  }
  if (t == Tbl::Layer) return "0";
  if (t == Tbl::Ltype) return "CONTINUOUS";
  if (t == Tbl::Style || t == Tbl::DimStyle) return "STANDARD";
  return {};
}

int FieldOut::indexOf(Tbl t, const std::string& name, bool wide) const {
  if (t == Tbl::Ltype) {
    if (name.empty() || upper(name) == "BYLAYER") return wide ? 32767 : 255;
    if (upper(name) == "BYBLOCK") return wide ? 32766 : 254;
  }
  int i = c_.names ? c_.names->find(t, name) : -1;
  return i < 0 ? 0 : i;
}

const Tag* findTag(const std::vector<Tag>& tags, int code) {
  for (const Tag& t : tags)
    if (t.code == code) return &t;
  return nullptr;
}

}  // namespace kelvaro::cad::dwg12
