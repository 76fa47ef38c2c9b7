#pragma once
// The tag layer of DXF: splitting ASCII or binary files into group codes and values, and
// writing them back. Nothing above this layer touches raw bytes.
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

#include "cadkit/codepage.h"
#include "cadkit/types.h"

namespace kelvaro::cad {

// A file that cannot be read as DXF; `line` is the ASCII line (or binary byte offset).
struct DxfError : std::runtime_error {
  DxfError(const std::string& what, int line) : std::runtime_error(what), line(line) {}
  int line;
};

inline constexpr std::string_view kBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

class TagSource {
 public:
  explicit TagSource(std::string_view data);
  // ASCII tags from `from`, the start of a code line that is line `line` + 1 of the data.
  TagSource(std::string_view data, std::size_t from, int line) : data_(data), pos_(from), line_(line) {}
  bool binary() const { return binary_; }
  // Next tag, or false at the end of the data. Throws DxfError on malformed input.
  bool next(Tag& t);
  // Lets the caller look at the next tag without taking it.
  const Tag* peek();
  // Gives back a tag taken by next(); the following next() returns it again.
  void unread(Tag&& t) {
    peeked_ = std::move(t);
    hasPeek_ = true;
  }
  // How many records (group code 0), other than those of type `skip`, follow before one of
  // type `end`; for reserving storage.
  std::size_t countRecordsUntil(std::string_view end, std::initializer_list<std::string_view> skip = {}) const;
  // As countRecordsUntil (ASCII only), and also finds a record near the middle of the bytes
  // before `end` whose type is a name not in `skip`: where a second reader may start.
  struct Split {
    std::size_t before = 0, after = 0;  // records before the split and from it
    std::size_t at = 0;                 // offset of the split's code line; 0 when none or no end
    int line = 0;                       // its line number
  };
  Split splitRecordsUntil(std::string_view end, std::initializer_list<std::string_view> skip) const;
  std::string_view data() const { return data_; }
  int position() const { return binary_ ? static_cast<int>(pos_) : line_; }
  // Bytes taken so far and in all, for progress reports.
  std::size_t offset() const { return pos_; }
  std::size_t size() const { return data_.size(); }

 private:
  bool readAscii(Tag& t);
  bool readBinary(Tag& t);
  bool getLine(std::string_view& out);
  bool readCodeLine(int& code);
  std::string_view data_;
  std::size_t pos_ = 0;
  int line_ = 0;
  bool binary_ = false;
  bool shortCodes_ = false;  // binary files before R13 use one-byte group codes
  Tag peeked_;
  bool hasPeek_ = false;
};

struct WriteOptions {
  bool binary = false;
  int places = 16;        // decimal places of reals; 0 or above 16: shortest exact form
  bool zeroes = true;     // suppress trailing zeros
};

class TagSink {
 public:
  TagSink(Release release, const WriteOptions& opt, const CodePage& cp);
  void text(int code, std::string_view utf8);  // encoded to the file's code page
  void raw(int code, std::string_view bytes);  // already in file form (names, handles, hex)
  void real(int code, double v);
  void integer(int code, std::int64_t v);
  void handle(int code, Handle h) { raw(code, handleText(h)); }
  void tag(const Tag& t);  // a kept tag, written back in its own form
  std::string& bytes() { return out_; }
  Release release() const { return release_; }

 private:
  void code(int c);
  std::string formatReal(double v) const;
  Release release_;
  WriteOptions opt_;
  CodePage cp_;
  std::string out_;
};

}  // namespace kelvaro::cad
