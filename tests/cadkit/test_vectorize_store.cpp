// The display list's block storage: runs stay contiguous and in place while the store grows.
#include <gtest/gtest.h>

#include <vector>

#include "cadkit/vec_internal.h"

namespace {
using kelvaro::cad::Vec2;
using kelvaro::cad::vec::BlockStore;
using Store = BlockStore<Vec2>;

void fill(Store& s, std::size_t n, double tag, std::size_t& first) {
  Vec2* p = s.append(n, first);
  for (std::size_t i = 0; i < n; ++i) p[i] = {tag, static_cast<double>(i)};
}

bool holds(const Store& s, std::size_t first, std::size_t n, double tag) {
  const Vec2* p = s.at(first);
  for (std::size_t i = 0; i < n; ++i)
    if (p[i].x != tag || p[i].y != static_cast<double>(i)) return false;
  return true;
}

TEST(VectorizeStore, RunsStayContiguousAcrossBlockEdgesAndGrowth) {
  Store s;
  struct Run {
    std::size_t first, n;
    double tag;
    const Vec2* where;
  };
  std::vector<Run> runs;
  // Sizes that straddle block edges, exactly fill the rest of one, and exceed a whole block.
  const std::size_t sizes[] = {7, Store::kBlock - 10, 20, 1, Store::kBlock, 3, 3 * Store::kBlock + 5, 2, 0, 9};
  double tag = 1;
  std::size_t total = 0;
  for (int round = 0; round < 3; ++round)
    for (std::size_t n : sizes) {
      std::size_t first;
      fill(s, n, tag, first);
      runs.push_back({first, n, tag, n ? s.at(first) : nullptr});
      tag += 1, total += n;
    }
  EXPECT_EQ(s.size(), total);
  for (const Run& r : runs) {
    if (!r.n) continue;
    EXPECT_TRUE(holds(s, r.first, r.n, r.tag)) << "run " << r.tag;
    EXPECT_EQ(s.at(r.first), r.where) << "run " << r.tag << " moved";
  }
  // Runs never overlap: each index range is its own.
  for (std::size_t i = 1; i < runs.size(); ++i)
    if (runs[i].n && runs[i - 1].n) EXPECT_GE(runs[i].first, runs[i - 1].first + runs[i - 1].n);
}

TEST(VectorizeStore, SinglesAreDenseAndClearStartsOver) {
  Store s;
  const std::size_t n = 2 * Store::kBlock + 17;
  for (std::size_t i = 0; i < n; ++i) s.push_back({static_cast<double>(i), -1});
  ASSERT_EQ(s.size(), n);
  for (std::size_t i = 0; i < n; i += 4099) EXPECT_EQ(s.at(i)->x, static_cast<double>(i));
  EXPECT_EQ(s.at(n - 1)->x, static_cast<double>(n - 1));
  s.clear();
  EXPECT_TRUE(s.empty());
  std::size_t first;
  fill(s, 5, 42, first);
  EXPECT_EQ(first, 0u);
  EXPECT_TRUE(holds(s, 0, 5, 42));
  // A moved store keeps its points where they were.
  const Vec2* before = s.at(0);
  Store moved = std::move(s);
  EXPECT_EQ(moved.at(0), before);
  EXPECT_TRUE(holds(moved, 0, 5, 42));
}

}  // namespace
