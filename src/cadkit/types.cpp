#include "cadkit/types.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace kelvaro::cad {
namespace {
struct ReleaseInfo {
  Release r;
  const char* magic;
  const char* name;
};
constexpr ReleaseInfo kReleases[] = {
    {Release::R2_5, "AC1002", "2.5"},   {Release::R2_6, "AC1003", "2.6"},   {Release::R9, "AC1004", "9"},
    {Release::R10, "AC1006", "10"},     {Release::R12, "AC1009", "11/12"}, {Release::R13, "AC1012", "13"},
    {Release::R14, "AC1014", "14"},     {Release::R2000, "AC1015", "2000"}, {Release::R2004, "AC1018", "2004"},
    {Release::R2007, "AC1021", "2007"}, {Release::R2010, "AC1024", "2010"}, {Release::R2013, "AC1027", "2013"},
    {Release::R2018, "AC1032", "2018"},
};
}  // namespace

const char* releaseMagic(Release r) { return kReleases[static_cast<int>(r)].magic; }
const char* releaseName(Release r) { return kReleases[static_cast<int>(r)].name; }

bool releaseFromMagic(std::string_view m, Release& out) {
  for (const auto& i : kReleases)
    if (m == i.magic) return out = i.r, true;
  // Older and interim magics map to the nearest release that reads them.
  if (m == "AC1.50" || m == "AC1001" || m == "AC1.40" || m == "AC1.2") return out = Release::R2_5, true;
  if (m == "AC2.10") return out = Release::R2_6, true;
  if (m == "AC1005") return out = Release::R10, true;
  if (m == "AC1007" || m == "AC1008") return out = Release::R12, true;
  if (m == "AC1010" || m == "AC1011") return out = Release::R13, true;
  if (m == "AC1013") return out = Release::R14, true;
  return false;
}

int releaseIndex(Release r) { return r > Release::R2000 ? 7 : static_cast<int>(r); }
Release releaseFromIndex(int i) { return (i < 0 || i > 7) ? Release::R2000 : static_cast<Release>(i); }

std::string handleText(Handle h) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(h.v));
  return buf;
}

Handle handleFromText(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  std::uint64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
  if (ec != std::errc() || p != s.data() + s.size()) return {};
  return Handle{v};
}

namespace {
constexpr CodeType codeTypeByRange(int c) {
  if (c < 0) return CodeType::Text;
  if (c <= 9) return CodeType::Text;
  if (c <= 59) return CodeType::Real;
  if (c <= 79) return CodeType::Int16;
  if (c <= 89) return CodeType::Int16;
  if (c <= 99) return CodeType::Int32;
  if (c == 100 || c == 101 || c == 102) return CodeType::Text;
  if (c == 105) return CodeType::Handle;
  if (c >= 110 && c <= 149) return CodeType::Real;
  if (c >= 160 && c <= 169) return CodeType::Int64;
  if (c >= 170 && c <= 179) return CodeType::Int16;
  if (c >= 210 && c <= 239) return CodeType::Real;
  if (c >= 270 && c <= 289) return CodeType::Int16;
  if (c >= 290 && c <= 299) return CodeType::Bool;
  if (c >= 300 && c <= 309) return CodeType::Text;
  if (c >= 310 && c <= 319) return CodeType::Binary;
  if (c >= 320 && c <= 369) return CodeType::Handle;
  if (c >= 370 && c <= 389) return CodeType::Int16;
  if (c >= 390 && c <= 399) return CodeType::Handle;
  if (c >= 400 && c <= 409) return CodeType::Int16;
  if (c >= 410 && c <= 419) return CodeType::Text;
  if (c >= 420 && c <= 429) return CodeType::Int32;
  if (c >= 430 && c <= 439) return CodeType::Text;
  if (c >= 440 && c <= 459) return CodeType::Int32;
  if (c >= 460 && c <= 469) return CodeType::Real;
  if (c >= 470 && c <= 479) return CodeType::Text;
  if (c >= 480 && c <= 481) return CodeType::Handle;
  if (c == 999) return CodeType::Text;
  if (c == 1004) return CodeType::Binary;
  if (c == 1005) return CodeType::Handle;
  if (c >= 1000 && c <= 1009) return CodeType::Text;
  if (c >= 1010 && c <= 1059) return CodeType::Real;
  if (c >= 1060 && c <= 1070) return CodeType::Int16;
  if (c == 1071) return CodeType::Int32;
  return CodeType::Text;
}

// Asked for every tag read and written: looked up, not worked out.
constexpr auto kCodeTypes = [] {
  std::array<CodeType, 1072> a{};
  for (int c = 0; c < 1072; ++c) a[static_cast<std::size_t>(c)] = codeTypeByRange(c);
  return a;
}();
}  // namespace

CodeType codeType(int c) {
  return c >= 0 && c < 1072 ? kCodeTypes[static_cast<std::size_t>(c)] : codeTypeByRange(c);
}

static std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Plain decimals of up to 15 digits ("-12.375"), the bulk of every file: the digits as an integer
// and a power of ten are both exact, so one division gives the correctly rounded value that
// from_chars would. Anything else is left to from_chars.
static bool quickDecimal(std::string_view s, double& out) {
  static constexpr double kTen[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0, n = s.size();
  bool neg = i < n && s[i] == '-';
  if (neg) ++i;
  std::uint64_t m = 0;
  int digits = 0, before = 0, after = 0;
  for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i, ++before, ++digits) m = m * 10 + std::uint64_t(s[i] - '0');
  if (before == 0) return false;
  if (i < n && s[i] == '.') {
    ++i;
    for (; i < n && s[i] >= '0' && s[i] <= '9'; ++i, ++after, ++digits) m = m * 10 + std::uint64_t(s[i] - '0');
    if (after == 0) return false;
  }
  if (i != n || digits > 15) return false;
  double v = static_cast<double>(m) / kTen[after];
  out = neg ? -v : v;
  return true;
}

double Tag::asReal(bool* ok) const {
  if (ok) *ok = true;
  if (kind == kReal) return real;
  if (kind == kInt) return static_cast<double>(integer);
  std::string_view s = trimmed(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (double q; quickDecimal(s, q)) return q;
  double v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || !std::isfinite(v)) {
    if (ok) *ok = false;
    return 0;
  }
  return v;
}

std::int64_t Tag::asInt(bool* ok) const {
  if (ok) *ok = true;
  if (kind == kInt) return integer;
  if (kind == kReal) return static_cast<std::int64_t>(real);
  std::string_view s = trimmed(text);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  std::int64_t v = 0;
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size()) {
    // Some writers put reals where integers belong.
    bool rok = false;
    double d = asReal(&rok);
    if (rok && std::fabs(d) < 9e18) return static_cast<std::int64_t>(d);
    if (ok) *ok = false;
    return 0;
  }
  return v;
}

std::string Tag::asText() const {
  if (kind == kText) return text;
  char buf[64];
  if (kind == kInt) {
    auto r = std::to_chars(buf, buf + sizeof buf, integer);
    return std::string(buf, r.ptr);
  }
  auto r = std::to_chars(buf, buf + sizeof buf, real);
  return std::string(buf, r.ptr);
}

bool Tag::operator==(const Tag& o) const {
  if (code != o.code) return false;
  CodeType t = codeType(code);
  if (t == CodeType::Real) return asReal() == o.asReal();
  if (t == CodeType::Int16 || t == CodeType::Int32 || t == CodeType::Int64 || t == CodeType::Bool)
    return asInt() == o.asInt();
  return trimmed(asText()) == trimmed(o.asText());
}

}  // namespace kelvaro::cad
