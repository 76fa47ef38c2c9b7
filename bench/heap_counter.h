#pragma once
// Heap use, counted by every allocation of the process: include in exactly one file of a
// benchmark program.
#include <atomic>
#include <cstdlib>
#include <new>

// GCC sees malloc/free behind new/delete here and takes the offset header for a bad pointer.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#pragma GCC diagnostic ignored "-Warray-bounds"

static std::atomic<long long> gLive{0}, gPeak{0};
void* operator new(std::size_t n) {
  void* p = std::malloc(n + 16);
  if (!p) throw std::bad_alloc();
  *static_cast<std::size_t*>(p) = n;
  long long now = gLive += static_cast<long long>(n);
  long long peak = gPeak.load();
  while (now > peak && !gPeak.compare_exchange_weak(peak, now)) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (!p) return;
  char* base = static_cast<char*>(p) - 16;
  gLive -= static_cast<long long>(*reinterpret_cast<std::size_t*>(base));
  std::free(base);
}
void operator delete(void* p, std::size_t) noexcept { operator delete(p); }
