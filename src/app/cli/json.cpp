#include "app/cli/json.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kelvaro::cli {

std::string JsonWriter::escape(std::string_view s) {
  std::string r = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      case '\b': r += "\\b"; break;
      case '\f': r += "\\f"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          r += buf;
        } else {
          r += static_cast<char>(c);
        }
    }
  }
  return r + "\"";
}

void JsonWriter::newline() {
  if (!pretty_) return;
  out_ += '\n';
  out_.append(depth_.size() * 2, ' ');
}

void JsonWriter::beforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!depth_.empty()) {
    if (depth_.back()++ > 0) out_ += ',';
    newline();
  }
}

JsonWriter& JsonWriter::beginObject() {
  beforeValue();
  out_ += '{';
  depth_.push_back(0);
  return *this;
}

JsonWriter& JsonWriter::endObject() {
  int n = depth_.back();
  depth_.pop_back();
  if (n > 0) newline();
  out_ += '}';
  return *this;
}

JsonWriter& JsonWriter::beginArray() {
  beforeValue();
  out_ += '[';
  depth_.push_back(0);
  return *this;
}

JsonWriter& JsonWriter::endArray() {
  int n = depth_.back();
  depth_.pop_back();
  if (n > 0) newline();
  out_ += ']';
  return *this;
}

JsonWriter& JsonWriter::key(std::string_view k) {
  beforeValue();
  out_ += escape(k);
  out_ += pretty_ ? ": " : ":";
  afterKey_ = true;
  return *this;
}

JsonWriter& JsonWriter::value(double v) {
  if (!std::isfinite(v)) return null();
  beforeValue();
  char buf[64];
  auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, p);
  return *this;
}

JsonWriter& JsonWriter::value(long v) {
  beforeValue();
  out_ += std::to_string(v);
  return *this;
}

JsonWriter& JsonWriter::value(bool v) {
  beforeValue();
  out_ += v ? "true" : "false";
  return *this;
}

JsonWriter& JsonWriter::value(std::string_view v) {
  beforeValue();
  out_ += escape(v);
  return *this;
}

JsonWriter& JsonWriter::null() {
  beforeValue();
  out_ += "null";
  return *this;
}

}  // namespace kelvaro::cli
