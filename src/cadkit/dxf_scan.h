#pragma once
// Quick passes over ASCII DXF lines that do not read tags: where records start, how many there
// are, where a second reader may begin. Used by the tag layer and the reader only.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace kelvaro::cad::scan {

// Where the line from p ends (its '\n', or size): eight bytes at a time, as most lines are a
// few bytes and a library search costs more to start than it saves on them.
inline std::size_t lineEnd(const char* d, std::size_t p, std::size_t size) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    for (; p + 8 <= size; p += 8) {
      std::uint64_t w;
      std::memcpy(&w, d + p, 8);
      w ^= kOnes * '\n';
      // The lowest high bit set marks the first zero byte, that is the first '\n'.
      if (std::uint64_t z = (w - kOnes) & ~w & kHigh) return p + static_cast<std::size_t>(std::countr_zero(z) >> 3);
    }
  }
  for (; p < size; ++p)
    if (d[p] == '\n') return p;
  return size;
}

// A code line that says 0: blanks, one 0, blanks.
inline bool zeroLine(const char* d, std::size_t p, std::size_t e) {
  while (p < e && (d[p] == ' ' || d[p] == '\t')) ++p;
  if (p == e || d[p] != '0') return false;
  for (++p; p < e; ++p)
    if (d[p] != ' ' && d[p] != '\t' && d[p] != '\r') return false;
  return true;
}

inline std::string_view trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

inline bool isName(std::string_view v) { return !v.empty() && (v[0] | 0x20) >= 'a' && (v[0] | 0x20) <= 'z'; }

// A record a second reader could start at: `before` records precede it in the pass.
struct Mark {
  std::size_t at, before;
  int line;
};

struct Records {
  std::size_t count = 0;      // records other than skipped ones
  std::size_t endAt = 0;      // offset of the `end` record; 0 when not met
  std::size_t stoppedAt = 0;  // offset of the code line the pass stopped at (`stop`), or size
  int line = 0;               // lines before stoppedAt or endAt
  std::vector<Mark> marks;    // at least `step` bytes apart, thinned to a few hundred
};

// Steps over code and value lines from `p` (the start of a code line, after `line` lines)
// until a record of type `end`, or the first code line at or after `stop`.
inline Records records(std::string_view data, std::size_t p, int line, std::string_view end,
                       std::initializer_list<std::string_view> skip, std::size_t stop) {
  Records r;
  r.marks.reserve(512);
  const char* d = data.data();
  const std::size_t size = data.size();
  std::size_t step = 1, nextMark = p;
  r.stoppedAt = size;
  while (p < size) {
    if (p >= stop) {
      r.stoppedAt = p;
      break;
    }
    const std::size_t codeAt = p;
    const std::size_t c = lineEnd(d, p, size);
    const bool zero = zeroLine(d, p, c);
    p = c + 1;
    ++line;
    if (p >= size) break;
    const std::size_t e = lineEnd(d, p, size);
    if (zero) {
      const std::string_view v = trimmed(std::string_view(d + p, e - p));
      if (v == end) {
        r.endAt = codeAt;
        --line;
        break;
      }
      if (std::find(skip.begin(), skip.end(), v) == skip.end()) {
        // A name, not a number: a code 0 that starts an entity of its own.
        if (codeAt >= nextMark && isName(v)) {
          if (r.marks.size() == 512) {
            for (std::size_t k = 0; k < 256; ++k) r.marks[k] = r.marks[2 * k];
            r.marks.resize(256);
            step *= 2;
          }
          r.marks.push_back({codeAt, r.count, line});
          nextMark = codeAt + step;
        }
        ++r.count;
      }
    }
    p = e + 1;
    ++line;
  }
  r.line = line;
  return r;
}

// The first line at or after `from` that says 0 and is followed by a name not in `skip`: in a
// sound file only a code 0 and its record's type can look so. 0 when there is none.
inline std::size_t recordAfter(std::string_view data, std::size_t from, std::initializer_list<std::string_view> skip) {
  const char* d = data.data();
  const std::size_t size = data.size();
  if (from >= size) return 0;
  std::size_t p = from == 0 ? 0 : lineEnd(d, from - 1, size) + 1;  // the next line start
  while (p < size) {
    const std::size_t c = lineEnd(d, p, size);
    if (c >= size) return 0;
    if (zeroLine(d, p, c)) {
      const std::size_t e = lineEnd(d, c + 1, size);
      const std::string_view v = trimmed(std::string_view(d + c + 1, e - c - 1));
      if (isName(v) && std::find(skip.begin(), skip.end(), v) == skip.end()) return p;
    }
    p = c + 1;
  }
  return 0;
}

}  // namespace kelvaro::cad::scan
