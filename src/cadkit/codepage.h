#pragma once
// Text encodings of drawings: $DWGCODEPAGE single-byte pages and \U+XXXX escapes <-> UTF-8.
#include <string>
#include <string_view>

namespace kelvaro::cad {

class CodePage {
 public:
  // Unknown pages (and the double-byte ones) map bytes 0x80-0xFF to U+0080-U+00FF, which
  // keeps the original bytes through a load and save.
  explicit CodePage(std::string_view name = "ANSI_1252");
  const std::string& name() const { return name_; }
  bool known() const { return table_ != nullptr; }

  // File bytes -> UTF-8; \U+XXXX escapes become their characters. `utf8Source`: the file
  // itself is UTF-8 (2007 and later).
  std::string decode(std::string_view bytes, bool utf8Source) const;
  // UTF-8 -> file bytes; characters the page lacks are written as \U+XXXX.
  std::string encode(std::string_view utf8) const;

 private:
  std::string name_;
  const char16_t* table_ = nullptr;
};

// Whether a string needs decoding at all (fast path for plain ASCII).
bool plainAscii(std::string_view s);

}  // namespace kelvaro::cad
