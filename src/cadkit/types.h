#pragma once
// Basic value types of the drawing model: releases, vectors, handles and raw DXF tags.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::cad {

// Releases in file order; the first eight are the ones drawings can be saved as.
enum class Release : std::int8_t { R2_5, R2_6, R9, R10, R12, R13, R14, R2000, R2004, R2007, R2010, R2013, R2018 };
constexpr Release kLatest = Release::R2018;

const char* releaseMagic(Release r);     // "AC1009"
const char* releaseName(Release r);      // "11/12"
bool releaseFromMagic(std::string_view magic, Release& out);
// Save-as version number 0..7 ("2.5" .. "2000"); later releases report 7.
int releaseIndex(Release r);
Release releaseFromIndex(int index);  // outside 0..7 gives R2000

struct Vec2 {
  double x = 0, y = 0;
  bool operator==(const Vec2&) const = default;
};
struct Vec3 {
  double x = 0, y = 0, z = 0;
  bool operator==(const Vec3&) const = default;
};

struct Handle {
  std::uint64_t v = 0;
  explicit operator bool() const { return v != 0; }
  bool operator==(const Handle&) const = default;
  auto operator<=>(const Handle&) const = default;
};
std::string handleText(Handle h);
Handle handleFromText(std::string_view s);  // 0 when not hexadecimal

// Julian day and milliseconds since midnight, as stored in header dates.
struct AcadDate {
  std::int32_t day = 0;
  std::int32_t ms = 0;
  bool operator==(const AcadDate&) const = default;
};

// The value kind a group code carries (decides the binary encoding).
enum class CodeType : std::uint8_t { Text, Real, Int16, Int32, Int64, Bool, Binary, Handle };
CodeType codeType(int code);

// One group code and value. Text values are UTF-8 inside the model; numeric values read from
// binary files keep their number so nothing is lost by formatting.
struct Tag {
  enum Kind : std::uint8_t { kText, kReal, kInt };
  int code = 0;
  Kind kind = kText;
  std::string text;
  double real = 0;
  std::int64_t integer = 0;
  int line = 0;  // source line (ASCII) or byte offset (binary), for messages

  double asReal(bool* ok = nullptr) const;
  std::int64_t asInt(bool* ok = nullptr) const;
  std::string asText() const;  // numbers formatted
  bool operator==(const Tag& o) const;
};

}  // namespace kelvaro::cad
