#pragma once
// Minimal streaming JSON writer for the batch tool's machine-readable output.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvaro::cli {

class JsonWriter {
 public:
  explicit JsonWriter(bool pretty = true) : pretty_(pretty) {}

  JsonWriter& beginObject();
  JsonWriter& endObject();
  JsonWriter& beginArray();
  JsonWriter& endArray();
  JsonWriter& key(std::string_view k);

  JsonWriter& value(double v);  // shortest text that reads back to the same double; NaN/inf: null
  JsonWriter& value(int v) { return value(static_cast<long>(v)); }
  JsonWriter& value(long v);
  JsonWriter& value(long long v) { return value(static_cast<long>(v)); }
  JsonWriter& value(unsigned v) { return value(static_cast<long>(v)); }
  JsonWriter& value(unsigned long v) { return value(static_cast<long>(v)); }
  JsonWriter& value(bool v);
  JsonWriter& value(std::string_view v);
  JsonWriter& value(const char* v) { return value(std::string_view(v)); }
  JsonWriter& value(const std::string& v) { return value(std::string_view(v)); }
  JsonWriter& null();

  template <class T>
  JsonWriter& field(std::string_view k, const T& v) {
    key(k);
    return value(v);
  }

  // The document so far, with a trailing newline once the outermost value is closed.
  std::string str() const { return out_ + (depth_.empty() && !out_.empty() ? "\n" : ""); }

  static std::string escape(std::string_view s);

 private:
  void beforeValue();
  void newline();
  std::string out_;
  std::vector<int> depth_;  // per open container: items written so far
  bool pretty_;
  bool afterKey_ = false;
};

}  // namespace kelvaro::cli
