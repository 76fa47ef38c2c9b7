#include "cadkit/codepage.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace kelvaro::cad {
namespace {
#include "cadkit/codepage_tables.inc"

void putUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Next code point of a UTF-8 string; invalid bytes come back as themselves (Latin-1).
char32_t nextUtf8(std::string_view s, std::size_t& i) {
  auto b = static_cast<unsigned char>(s[i]);
  int n = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
  if (n <= 0 || i + n >= s.size()) {
    ++i;
    return b;
  }
  char32_t c = b & (0x3F >> n);
  for (int k = 1; k <= n; ++k) {
    auto cb = static_cast<unsigned char>(s[i + k]);
    if ((cb & 0xC0) != 0x80) {
      ++i;
      return b;
    }
    c = (c << 6) | (cb & 0x3F);
  }
  i += n + 1;
  return c;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool plainAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\\') return false;
  return true;
}

CodePage::CodePage(std::string_view name) : name_(name) {
  for (const auto& p : kCodePages) {
    std::size_t n = std::strlen(p.name);
    if (name.size() == n) {
      bool eq = true;
      for (std::size_t i = 0; i < n && eq; ++i) eq = (name[i] | 0x20) == (p.name[i] | 0x20);
      if (eq) table_ = p.upper;
    }
  }
}

std::string CodePage::decode(std::string_view in, bool utf8Source) const {
  if (plainAscii(in)) return std::string(in);
  std::string out;
  out.reserve(in.size() + 8);
  for (std::size_t i = 0; i < in.size();) {
    char c = in[i];
    if (c == '\\' && i + 7 <= in.size() && (in[i + 1] == 'U' || in[i + 1] == 'u') && in[i + 2] == '+') {
      int v = 0;
      bool ok = true;
      for (int k = 3; k < 7; ++k) {
        int h = hexValue(in[i + k]);
        if (h < 0) ok = false;
        v = v * 16 + h;
      }
      if (ok && v != 0) {
        putUtf8(out, static_cast<char32_t>(v));
        i += 7;
        continue;
      }
    }
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80) {
      out += c;
      ++i;
    } else if (utf8Source) {
      std::size_t j = i;
      putUtf8(out, nextUtf8(in, j));
      i = j;
    } else {
      char16_t u = table_ ? table_[b - 0x80] : char16_t(b);
      putUtf8(out, u ? u : char16_t(b));
      ++i;
    }
  }
  return out;
}

std::string CodePage::encode(std::string_view in) const {
  std::string out;
  out.reserve(in.size());
  for (std::size_t i = 0; i < in.size();) {
    auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out += in[i++];
      continue;
    }
    char32_t c = nextUtf8(in, i);
    int byte = -1;
    if (table_) {
      for (int k = 0; k < 128; ++k)
        if (table_[k] == c) {
          byte = 0x80 + k;
          break;
        }
    } else if (c >= 0x80 && c <= 0xFF) {
      byte = static_cast<int>(c);
    }
    if (byte >= 0) {
      out += static_cast<char>(byte);
    } else if (c <= 0xFFFF) {
      char buf[12];
      std::snprintf(buf, sizeof buf, "\\U+%04X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace kelvaro::cad
