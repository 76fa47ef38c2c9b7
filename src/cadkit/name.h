#pragma once
// Layer and linetype names of entities: a drawing of a million entities names a few dozen
// layers, so each distinct text is kept once in a process-wide pool and an entity holds one
// pointer to it. The pool never frees; past its limits (hostile files with endless distinct
// names) a Name keeps its own copy instead, so memory stays bounded by the drawing.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace kelvaro::cad {

class Name {
 public:
  Name() noexcept = default;
  explicit Name(std::string_view s) : p_(make(s)) {}
  Name(const Name& o) : p_(o.owned() ? make(o.view(), true) : o.p_) {}
  Name(Name&& o) noexcept : p_(o.p_) { o.p_ = 0; }
  ~Name() { release(); }
  Name& operator=(const Name& o) {
    if (this != &o) reset(o.owned() ? make(o.view(), true) : o.p_);
    return *this;
  }
  Name& operator=(Name&& o) noexcept {
    if (this != &o) {
      release();
      p_ = o.p_;
      o.p_ = 0;
    }
    return *this;
  }
  Name& operator=(std::string_view s) {
    if (view() != s) reset(make(s));
    return *this;
  }
  Name& operator=(const std::string& s) { return *this = std::string_view(s); }
  Name& operator=(const char* s) { return *this = std::string_view(s); }

  const std::string& str() const noexcept { return p_ ? *ptr() : emptyText(); }
  std::string_view view() const noexcept { return str(); }
  operator const std::string&() const noexcept { return str(); }
  operator std::string_view() const noexcept { return str(); }
  const char* c_str() const noexcept { return str().c_str(); }
  const char* data() const noexcept { return str().data(); }
  std::size_t size() const noexcept { return str().size(); }
  bool empty() const noexcept { return p_ == 0 || ptr()->empty(); }
  void clear() noexcept { reset(0); }
  // True when the text lives in the shared pool (false for an own copy past its limits).
  bool pooled() const noexcept { return p_ != 0 && !owned(); }

  friend bool operator==(const Name& a, const Name& b) noexcept {
    // Pooled texts are unique: two pooled names are equal only as the same pointer.
    if (a.p_ == b.p_) return true;
    if (a.pooled() && b.pooled()) return false;
    return a.view() == b.view();
  }
  friend bool operator==(const Name& a, std::string_view b) noexcept { return a.view() == b; }
  friend std::strong_ordering operator<=>(const Name& a, const Name& b) noexcept { return a.view() <=> b.view(); }
  friend std::strong_ordering operator<=>(const Name& a, std::string_view b) noexcept { return a.view() <=> b; }

 private:
  // A std::string of the pool, or with the low bit set one this Name owns.
  static std::uintptr_t make(std::string_view s, bool own = false);
  // Made on first use, so that names in other files' statics can use it (not every compiler
  // can make a std::string at compile time).
  static const std::string& emptyText() noexcept {
    static const std::string empty;
    return empty;
  }
  bool owned() const noexcept { return (p_ & 1u) != 0; }
  const std::string* ptr() const noexcept { return reinterpret_cast<const std::string*>(p_ & ~std::uintptr_t{1}); }
  void release() noexcept {
    if (owned()) delete ptr();
  }
  void reset(std::uintptr_t p) noexcept {
    release();
    p_ = p;
  }

  std::uintptr_t p_ = 0;
};

std::ostream& operator<<(std::ostream& os, const Name& n);

// How full the shared pool is (for tests and diagnostics).
struct NamePoolStats {
  std::size_t names = 0;
  std::size_t bytes = 0;
};
NamePoolStats namePoolStats();
// The pool takes at most this many names and bytes of text; later names are own copies.
inline constexpr std::size_t kNamePoolMaxNames = 32768;
inline constexpr std::size_t kNamePoolMaxBytes = 2u << 20;
// Longer texts are never pooled (they are not names a drawing repeats).
inline constexpr std::size_t kNamePoolMaxLength = 256;

}  // namespace kelvaro::cad

template <>
struct std::hash<kelvaro::cad::Name> {
  std::size_t operator()(const kelvaro::cad::Name& n) const noexcept { return std::hash<std::string_view>{}(n.view()); }
};
