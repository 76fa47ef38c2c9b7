#include "cadkit/name.h"

#include <array>
#include <cstring>
#include <deque>
#include <mutex>
#include <ostream>
#include <unordered_map>

namespace kelvaro::cad {

namespace {

struct Pool {
  std::mutex mutex;
  std::deque<std::string> texts;  // a deque never moves its elements: names point into it
  std::unordered_map<std::string_view, const std::string*> index;
  std::size_t bytes = 0;
};

Pool& pool() {
  // Never destroyed: names in static objects may outlive every other static.
  static Pool* p = new Pool;
  return *p;
}

// The texts this thread looked up last: a drawing repeats a few names over and over, so most
// lookups end here without taking the lock.
struct RecentNames {
  std::array<const std::string*, 8> hits{};
  unsigned next = 0, last = 0;
};
thread_local RecentNames recent;

// Names of one drawing often differ only in their last character ("LAYER1", "LAYER2").
bool sameText(const std::string& a, std::string_view b) {
  return a.size() == b.size() && a.back() == b.back() && std::memcmp(a.data(), b.data(), b.size()) == 0;
}

const std::string* lookUp(std::string_view s) {
  // Runs of entities on one layer are the rule: the last hit is tried first.
  if (const std::string* h = recent.hits[recent.last]; h && sameText(*h, s)) return h;
  for (unsigned i = 0; i < recent.hits.size(); ++i) {
    const std::string* h = recent.hits[i];
    if (h && sameText(*h, s)) {
      recent.last = i;
      return h;
    }
  }
  Pool& p = pool();
  const std::string* found = nullptr;
  {
    std::lock_guard lock(p.mutex);
    if (auto it = p.index.find(s); it != p.index.end()) {
      found = it->second;
    } else if (p.texts.size() < kNamePoolMaxNames && p.bytes + s.size() <= kNamePoolMaxBytes) {
      found = &p.texts.emplace_back(s);
      p.index.emplace(std::string_view(*found), found);
      p.bytes += s.size();
    }
  }
  if (found) {
    recent.last = recent.next++ % recent.hits.size();
    recent.hits[recent.last] = found;
  }
  return found;
}

}  // namespace

std::uintptr_t Name::make(std::string_view s, bool own) {
  if (s.empty()) return 0;
  if (!own && s.size() <= kNamePoolMaxLength)
    if (const std::string* h = lookUp(s)) return reinterpret_cast<std::uintptr_t>(h);
  static_assert(alignof(std::string) >= 2, "the low bit marks an own copy");
  return reinterpret_cast<std::uintptr_t>(new std::string(s)) | 1u;
}

std::ostream& operator<<(std::ostream& os, const Name& n) { return os << n.view(); }

NamePoolStats namePoolStats() {
  Pool& p = pool();
  std::lock_guard lock(p.mutex);
  return {p.texts.size(), p.bytes};
}

}  // namespace kelvaro::cad
