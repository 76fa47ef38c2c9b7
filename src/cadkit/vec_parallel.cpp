// The walks of a large drawing on several threads: its bounds on every core, its kept lists in
// parts, and the sink those walks share.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "cadkit/vec_walk.h"

namespace kelvaro::cad::vec {

bool SharedSink::examineTtf(const std::string& fontFile, const std::string& family) {
  const std::string key = fontFile + '\n' + family;
  if (auto it = ttf_.find(key); it != ttf_.end()) return it->second;
  std::lock_guard<std::mutex> hold(lock_);
  return ttf_[key] = real_.examineTtf(fontFile, family);
}

std::string SharedSink::findFile(FileKind kind, const std::string& storedPath) {
  std::lock_guard<std::mutex> hold(lock_);
  return real_.findFile(kind, storedPath);
}

bool SharedSink::cancelled() {
  if (stop.load(std::memory_order_relaxed)) return true;
  if (!askCancel_) return false;
  std::lock_guard<std::mutex> hold(lock_);
  return real_.cancelled();
}

namespace {

std::size_t g_parallelFrom = 8192;

// The state a walk of part k fills: the drawing's own for the first (its layer list), a copy
// of its view for the others.
DrawingState& partState(DrawingState& st, DrawingState& scratch, unsigned k) {
  if (k == 0) return st;
  scratch.view = st.view;
  scratch.win = st.win;
  scratch.xf = st.xf;
  return scratch;
}

// What another part's walk found that the drawing's state keeps: bounds and what it asked.
void mergePart(DrawingState& st, const DrawingState& part, const DisplayList& walked) {
  if (walked.lo.x <= walked.hi.x) st.space.grow(walked.lo), st.space.grow(walked.hi);
  st.ttfAsked = st.ttfAsked || part.ttfAsked;
  st.pointViewHeight = std::max(st.pointViewHeight, part.pointViewHeight);
}

}  // namespace

// Model space walked for its bounds alone on every core: bounds do not depend on the order
// the entities are walked in, so chunks of the space are handed out to whichever walk is free.
// False when the space is too small to be worth it (the caller walks it alone).
bool parallelBounds(const Document& doc, DrawingState& st, const Block& model, bool& full) {
  const unsigned cores = std::min(4u, std::thread::hardware_concurrency());
  const std::size_t n = model.entities.size();
  if (cores < 2 || n < g_parallelFrom) return false;
  constexpr std::size_t kChunk = 2048;
  std::atomic<std::size_t> next[2] = {0, 0};
  std::atomic<unsigned> passDone{0};
  struct Part {
    DrawingState scratch;
    bool full = false;
    std::exception_ptr error;
  };
  std::vector<Part> parts(cores);
  // The first pass's bounds, gathered from every walk before the second pass starts.
  std::mutex lock;
  std::condition_variable changed;
  Vec3 innerLo{1e300, 1e300, 1e300}, innerHi{-1e300, -1e300, -1e300};
  auto work = [&](unsigned k) {
    Part& part = parts[k];
    DrawingState& own = partState(st, part.scratch, k);
    bool counted = false;
    try {
      Walk w(doc, own, nullptr);
      w.limitVisits(Walk::maxVisits / cores);
      w.streamTo(&boundsOnlyStream(), true);
      for (int pass = 0; pass < 2; ++pass) {
        // The first pass tests nothing against it; the second reads it under the lock.
        Vec3 lo{1e300, 1e300, 1e300}, hi{-1e300, -1e300, -1e300};
        if (pass == 1) {
          std::unique_lock<std::mutex> hold(lock);
          innerLo = {std::min(innerLo.x, own.space.lo.x), std::min(innerLo.y, own.space.lo.y),
                     std::min(innerLo.z, own.space.lo.z)};
          innerHi = {std::max(innerHi.x, own.space.hi.x), std::max(innerHi.y, own.space.hi.y),
                     std::max(innerHi.z, own.space.hi.z)};
          counted = true;
          if (++passDone == cores) changed.notify_all();
          changed.wait(hold, [&] { return passDone == cores; });
          lo = innerLo, hi = innerHi;
        }
        for (;;) {
          const std::size_t from = next[pass].fetch_add(kChunk);
          if (from >= n || w.full()) break;
          w.boundsRange(model, own.space, from, from + kChunk, pass, lo, hi);
        }
      }
      part.full = w.full();
    } catch (...) {
      part.error = std::current_exception();
      next[0] = n, next[1] = n;  // the others stop at their next chunk
      std::lock_guard<std::mutex> hold(lock);
      if (!counted && ++passDone == cores) changed.notify_all();
    }
  };
  std::vector<std::thread> helpers;
  unsigned started = 1;
  try {
    for (unsigned k = 1; k < cores; ++k, ++started) helpers.emplace_back(work, k);
  } catch (...) {
    // Fewer threads to be had: the missing walks count as done with the first pass.
    std::lock_guard<std::mutex> hold(lock);
    passDone += cores - started;
  }
  work(0);
  for (auto& t : helpers) t.join();
  for (const Part& p : parts)
    if (p.error) std::rethrow_exception(p.error);
  for (unsigned k = 1; k < started; ++k) mergePart(st, parts[k].scratch, parts[k].scratch.space);
  full = false;
  for (const Part& p : parts) full = full || p.full;
  return true;
}

// Model space walked into kept lists in as many parts as there are cores, each a run of
// entities in the order of the space; drawn one after the other they give what one walk gives.
// False when the space is too small to be worth it.
bool parallelKept(const Document& doc, DrawingState& st, DrawSink* sink, const Block& model, bool& full, bool& cancelled) {
  const unsigned cores = std::min(4u, std::thread::hardware_concurrency());
  const std::size_t n = model.entities.size();
  if (cores < 2 || n < g_parallelFrom) return false;
  struct Part {
    DrawingState scratch;
    std::unique_ptr<SharedSink> side;
    bool full = false, cancelled = false;
    std::exception_ptr error;
  };
  std::mutex sinkLock;
  std::vector<Part> parts(cores);
  st.spaceMore.resize(cores - 1);
  auto work = [&](unsigned k) {
    Part& part = parts[k];
    DrawingState& own = partState(st, part.scratch, k);
    try {
      Walk w(doc, own, part.side.get());
      w.limitVisits(Walk::maxVisits / cores);
      w.limitPoints(Walk::maxPoints / cores);
      w.space(model, k == 0 ? st.space : st.spaceMore[k - 1], false, n * k / cores, n * (k + 1) / cores);
      part.full = w.full();
      part.cancelled = w.cancelled();
    } catch (...) {
      part.error = std::current_exception();
    }
  };
  for (Part& p : parts)
    if (sink) p.side = std::make_unique<SharedSink>(*sink, sinkLock, true);
  std::vector<std::thread> helpers;
  try {
    for (unsigned k = 1; k < cores; ++k) helpers.emplace_back(work, k);
  } catch (...) {
    for (auto& t : helpers) t.join();
    st.spaceMore.clear();
    return false;  // no threads to be had: one walk does it all
  }
  work(0);
  for (auto& t : helpers) t.join();
  for (const Part& p : parts)
    if (p.error) std::rethrow_exception(p.error);
  full = cancelled = false;
  for (unsigned k = 0; k < cores; ++k) {
    full = full || parts[k].full;
    cancelled = cancelled || parts[k].cancelled;
    if (k != 0) mergePart(st, parts[k].scratch, st.spaceMore[k - 1]);
  }
  // Warnings of the walks reach the sink from this thread, in the order of the parts.
  if (sink)
    for (const Part& p : parts)
      for (const auto& w : p.side->warnings) sink->warning(w);
  return true;
}

void setParallelFrom(std::size_t entities) { g_parallelFrom = entities; }
std::size_t parallelFrom() { return g_parallelFrom; }

}  // namespace kelvaro::cad::vec
