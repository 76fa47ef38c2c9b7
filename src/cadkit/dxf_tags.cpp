#include "cadkit/dxf_tags.h"

#include "cadkit/dxf_scan.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kelvaro::cad {
namespace {
std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}
const char kHex[] = "0123456789ABCDEF";

}  // namespace

TagSource::TagSource(std::string_view data) : data_(data) {
  if (data_.substr(0, kBinarySentinel.size()) == kBinarySentinel) {
    binary_ = true;
    pos_ = kBinarySentinel.size();
    // "0 SECTION" starts every file: a one-byte code 0 is followed directly by 'S'.
    shortCodes_ = pos_ + 1 < data_.size() && data_[pos_] == 0 && data_[pos_ + 1] == 'S';
  } else if (data_.size() >= 3 && static_cast<unsigned char>(data_[0]) == 0xEF &&
             static_cast<unsigned char>(data_[1]) == 0xBB && static_cast<unsigned char>(data_[2]) == 0xBF) {
    pos_ = 3;  // UTF-8 byte order mark
  }
}

const Tag* TagSource::peek() {
  if (!hasPeek_) {
    if (!next(peeked_)) return nullptr;
    hasPeek_ = true;
  }
  return &peeked_;
}

bool TagSource::next(Tag& t) {
  if (hasPeek_) {
    hasPeek_ = false;
    t = std::move(peeked_);
    return true;
  }
  return binary_ ? readBinary(t) : readAscii(t);
}

bool TagSource::getLine(std::string_view& out) {
  const std::size_t size = data_.size();
  if (pos_ >= size) return false;
  const char* d = data_.data();
  const std::size_t e = scan::lineEnd(d, pos_, size);
  std::size_t len = e - pos_;
  if (len && d[e - 1] == '\r') --len;
  out = std::string_view(d + pos_, len);
  pos_ = e + 1;
  ++line_;
  return true;
}

// Any other code line: signs, tabs, a missing final line break, or an error to report.
bool TagSource::readCodeLine(int& code) {
  std::string_view codeLine;
  if (!getLine(codeLine)) return false;
  std::string_view c = trim(codeLine);
  if (c.empty() && pos_ >= data_.size()) return false;  // trailing blank line
  if (!c.empty() && c.front() == '\x1a') return false;   // DOS end-of-file mark
  auto [p, ec] = std::from_chars(c.data(), c.data() + c.size(), code);
  if (ec != std::errc() || p != c.data() + c.size() || code < -5 || code > 1071) {
    std::string shown(c.substr(0, 40));
    throw DxfError("line " + std::to_string(line_) + ": invalid group code \"" + shown + "\"", line_);
  }
  return true;
}

bool TagSource::readAscii(Tag& t) {
  int code = -1;
  {
    // The usual code line (blanks, up to four digits, blanks, end of line) is read in place.
    const char* d = data_.data();
    const std::size_t size = data_.size();
    std::size_t p = pos_;
    while (p < size && d[p] == ' ') ++p;
    int digits = 0, c = 0;
    while (p < size && digits < 5 && d[p] >= '0' && d[p] <= '9') c = c * 10 + (d[p++] - '0'), ++digits;
    while (p < size && (d[p] == ' ' || d[p] == '\r')) ++p;
    if (digits > 0 && digits <= 4 && c <= 1071 && p < size && d[p] == '\n') {
      code = c;
      pos_ = p + 1;
      ++line_;
    }
  }
  if (code < 0 && !readCodeLine(code)) return false;
  int codeLineNo = line_;
  std::string_view value;
  if (!getLine(value))
    throw DxfError("line " + std::to_string(codeLineNo) + ": file ends after group code " + std::to_string(code),
                   codeLineNo);
  t.code = code;
  t.kind = Tag::kText;
  t.line = codeLineNo;
  // Text stays in the file's encoding here; the reader decodes whole records once it knows it.
  if (codeType(code) == CodeType::Text)
    t.text.assign(value);
  else
    t.text.assign(trim(value));
  return true;
}

std::size_t TagSource::countRecordsUntil(std::string_view end, std::initializer_list<std::string_view> skip) const {
  std::size_t n = 0, p = pos_;
  if (hasPeek_ && peeked_.code == 0) {  // the tag given back starts the first record
    std::string_view v = trim(peeked_.text);
    if (v == end) return 0;
    if (std::find(skip.begin(), skip.end(), v) == skip.end()) ++n;
  }
  const char* d = data_.data();
  const std::size_t size = data_.size();
  if (binary_) {
    // Tags are stepped over by their sizes; damage just ends the count (reading reports it).
    while (p < size) {
      int code;
      if (shortCodes_) {
        code = static_cast<unsigned char>(d[p++]);
        if (code == 255) {
          if (p + 2 > size) break;
          code = static_cast<unsigned char>(d[p]) | (static_cast<unsigned char>(d[p + 1]) << 8);
          p += 2;
        }
      } else {
        if (p + 2 > size) break;
        code = static_cast<unsigned char>(d[p]) | (static_cast<unsigned char>(d[p + 1]) << 8);
        p += 2;
      }
      if (code > 1071) break;
      std::size_t len = 0;
      switch (codeType(code)) {
        case CodeType::Text:
        case CodeType::Handle: {
          const void* z = p < size ? std::memchr(d + p, '\0', size - p) : nullptr;
          if (!z) return n;
          std::size_t e = static_cast<std::size_t>(static_cast<const char*>(z) - d);
          if (code == 0) {
            std::string_view v = trim(std::string_view(d + p, e - p));
            if (v == end) return n;
            if (std::find(skip.begin(), skip.end(), v) == skip.end()) ++n;
          }
          len = e - p + 1;
          break;
        }
        case CodeType::Real: len = 8; break;
        case CodeType::Int16: len = 2; break;
        case CodeType::Int32: len = 4; break;
        case CodeType::Int64: len = 8; break;
        case CodeType::Bool: len = 1; break;
        case CodeType::Binary:
          if (p >= size) return n;
          len = 1 + static_cast<unsigned char>(d[p]);
          break;
      }
      if (len > size - p) break;
      p += len;
    }
    return n;
  }
  const Split s = splitRecordsUntil(end, skip);
  return s.before + s.after;
}

TagSource::Split TagSource::splitRecordsUntil(std::string_view end,
                                              std::initializer_list<std::string_view> skip) const {
  Split s;
  std::size_t first = 0;
  if (hasPeek_ && peeked_.code == 0) {  // the tag given back starts the first record
    std::string_view v = trim(peeked_.text);
    if (v == end) return s;
    if (std::find(skip.begin(), skip.end(), v) == skip.end()) first = 1;
  }
  const scan::Records r = scan::records(data_, pos_, line_, end, skip, std::string_view::npos);
  s.before = first + r.count;
  if (!r.endAt) return s;
  const std::size_t middle = pos_ + (r.endAt - pos_) / 2;
  auto m = std::lower_bound(r.marks.begin(), r.marks.end(), middle,
                            [](const scan::Mark& k, std::size_t at) { return k.at < at; });
  if (m == r.marks.end()) return s;
  s.at = m->at;
  s.line = m->line;
  s.before = first + m->before;
  s.after = r.count - m->before;
  return s;
}

bool TagSource::readBinary(Tag& t) {
  if (pos_ >= data_.size()) return false;
  auto need = [&](std::size_t n) {
    if (pos_ + n > data_.size())
      throw DxfError("byte " + std::to_string(pos_) + ": binary file ends inside a tag", static_cast<int>(pos_));
  };
  int start = static_cast<int>(pos_);
  int code;
  if (shortCodes_) {
    need(1);
    code = static_cast<unsigned char>(data_[pos_++]);
    if (code == 255) {
      need(2);
      code = static_cast<unsigned char>(data_[pos_]) | (static_cast<unsigned char>(data_[pos_ + 1]) << 8);
      pos_ += 2;
    }
  } else {
    need(2);
    code = static_cast<unsigned char>(data_[pos_]) | (static_cast<unsigned char>(data_[pos_ + 1]) << 8);
    pos_ += 2;
  }
  if (code > 1071) throw DxfError("byte " + std::to_string(start) + ": invalid group code " + std::to_string(code), start);
  t.code = code;
  t.line = start;
  t.text.clear();
  auto readString = [&]() {
    std::size_t e = data_.find('\0', pos_);
    if (e == std::string_view::npos)
      throw DxfError("byte " + std::to_string(pos_) + ": unterminated string", static_cast<int>(pos_));
    std::string_view s = data_.substr(pos_, e - pos_);
    pos_ = e + 1;
    return s;
  };
  auto le = [&](int n) {
    need(n);
    std::uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= std::uint64_t(static_cast<unsigned char>(data_[pos_ + i])) << (8 * i);
    pos_ += n;
    return v;
  };
  switch (codeType(code)) {
    case CodeType::Text: {
      std::string_view s = readString();
      t.kind = Tag::kText;
      t.text = std::string(s);
      break;
    }
    case CodeType::Handle:
      t.kind = Tag::kText;
      t.text = std::string(readString());
      break;
    case CodeType::Real: {
      std::uint64_t bits = le(8);
      double d;
      std::memcpy(&d, &bits, 8);
      t.kind = Tag::kReal;
      t.real = std::isfinite(d) ? d : 0.0;
      break;
    }
    case CodeType::Int16:
      t.kind = Tag::kInt;
      t.integer = static_cast<std::int16_t>(le(2));
      break;
    case CodeType::Int32:
      t.kind = Tag::kInt;
      t.integer = static_cast<std::int32_t>(le(4));
      break;
    case CodeType::Int64:
      t.kind = Tag::kInt;
      t.integer = static_cast<std::int64_t>(le(8));
      break;
    case CodeType::Bool:
      t.kind = Tag::kInt;
      t.integer = static_cast<std::int64_t>(le(1));
      break;
    case CodeType::Binary: {
      std::size_t n = le(1);
      need(n);
      t.kind = Tag::kText;
      t.text.reserve(2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        auto b = static_cast<unsigned char>(data_[pos_ + i]);
        t.text += kHex[b >> 4];
        t.text += kHex[b & 15];
      }
      pos_ += n;
      break;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------------------------

TagSink::TagSink(Release release, const WriteOptions& opt, const CodePage& cp)
    : release_(release), opt_(opt), cp_(cp) {
  if (opt_.binary) out_.assign(kBinarySentinel);
}

void TagSink::code(int c) {
  if (opt_.binary) {
    if (release_ <= Release::R12) {
      if (c >= 255) {
        out_ += static_cast<char>(255);
        out_ += static_cast<char>(c & 0xFF);
        out_ += static_cast<char>(c >> 8);
      } else {
        out_ += static_cast<char>(c);
      }
    } else {
      out_ += static_cast<char>(c & 0xFF);
      out_ += static_cast<char>((c >> 8) & 0xFF);
    }
    return;
  }
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "%3d\n", c);
  out_.append(buf, n);
}

std::string TagSink::formatReal(double v) const {
  if (!std::isfinite(v)) v = 0;
  char buf[400];
  if (opt_.places <= 0 || opt_.places > 16) {
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, r.ptr);
    if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
    return s;
  }
  int n = std::snprintf(buf, sizeof buf, "%.*f", opt_.places, v);
  std::string s(buf, n);
  if (opt_.zeroes && s.find('.') != std::string::npos) {
    while (s.size() > 1 && s.back() == '0') s.pop_back();
    if (s.back() == '.') s += '0';
  }
  if (s == "-0.0" || s == "-0") s = "0.0";
  return s;
}

void TagSink::raw(int c, std::string_view bytes) {
  CodeType ct = codeType(c);
  if (opt_.binary && ct != CodeType::Text && ct != CodeType::Handle) {
    Tag t;
    t.code = c;
    t.text.assign(bytes);
    if (ct == CodeType::Real)
      real(c, t.asReal());
    else if (ct == CodeType::Binary) {
      code(c);
      std::size_t n = bytes.size() / 2;
      if (n > 127) n = 127;
      out_ += static_cast<char>(n);
      for (std::size_t i = 0; i < n; ++i) {
        auto h = [](char ch) { return ch <= '9' ? ch - '0' : (ch | 0x20) - 'a' + 10; };
        out_ += static_cast<char>((h(bytes[2 * i]) << 4) | h(bytes[2 * i + 1]));
      }
    } else
      integer(c, t.asInt());
    return;
  }
  code(c);
  out_.append(bytes);
  out_ += opt_.binary ? '\0' : '\n';
}

void TagSink::text(int c, std::string_view utf8) {
  if (plainAscii(utf8))
    raw(c, utf8);
  else
    raw(c, cp_.encode(utf8));
}

void TagSink::real(int c, double v) {
  CodeType ct = codeType(c);
  if (ct != CodeType::Real && ct != CodeType::Text) return integer(c, static_cast<std::int64_t>(std::llround(v)));
  if (!std::isfinite(v)) v = 0;
  code(c);
  if (opt_.binary) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) out_ += static_cast<char>((bits >> (8 * i)) & 0xFF);
    return;
  }
  out_ += formatReal(v);
  out_ += '\n';
}

void TagSink::integer(int c, std::int64_t v) {
  CodeType ct = codeType(c);
  if (ct == CodeType::Real) return real(c, static_cast<double>(v));
  if (ct == CodeType::Text || ct == CodeType::Handle || ct == CodeType::Binary) return raw(c, std::to_string(v));
  code(c);
  if (opt_.binary) {
    int n = ct == CodeType::Int16 ? 2 : ct == CodeType::Int32 ? 4 : ct == CodeType::Bool ? 1 : 8;
    for (int i = 0; i < n; ++i) out_ += static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF);
    return;
  }
  char buf[32];
  int n = std::snprintf(buf, sizeof buf, "%6lld\n", static_cast<long long>(v));
  out_.append(buf, n);
}

void TagSink::tag(const Tag& t) {
  CodeType ct = codeType(t.code);
  if (ct == CodeType::Text)
    text(t.code, t.asText());
  else if (ct == CodeType::Real)
    real(t.code, t.asReal());
  else if (ct == CodeType::Handle || ct == CodeType::Binary)
    raw(t.code, t.asText());
  else
    integer(t.code, t.asInt());
}

}  // namespace kelvaro::cad
