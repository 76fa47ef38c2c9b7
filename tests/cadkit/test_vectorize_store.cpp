// The display list's block storage: runs stay contiguous and in place while the store grows.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "cadkit/vec_internal.h"
#include "vec_fixture.h"

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
    if (runs[i].n && runs[i - 1].n) {
      EXPECT_GE(runs[i].first, runs[i - 1].first + runs[i - 1].n);
    }
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

// Drawing without kept display lists walks the drawing straight into the sink: the sink must
// see exactly the calls a kept list gives, across many hand-overs of the buffer.
using kelvaro::cad::test::Call;
using kelvaro::cad::test::VecTest;
using kelvaro::cad::test::lineEnt;
using namespace kelvaro::cad;

class VecStream : public VecTest {
 protected:
  ~VecStream() override { adSetKeepDisplayLists(1); }
  void fillDrawing() {
    addLayer("RED", 1);
    addLinetype("DASHED", {2, -1});
    Block& b = block("MARK");
    b.entities.push_back(makeEntity(lineEnt({0, 0, 0}, {1, 1, 0})));
    Circle ring;
    ring.radius = 0.5;
    b.entities.push_back(makeEntity(ring));
    for (int i = 0; i < 6000; ++i) {
      const double x = (i % 100) * 1.0, y = (i / 100) * 1.6;
      switch (i % 5) {
        case 0: add(lineEnt({x, y, 0}, {x + 0.8, y + 0.4, 0}), i % 2 ? "RED" : "0").common.color = 1 + i % 7; break;
        case 1: {
          Circle c;
          c.center = {x, y, 0};
          c.radius = 0.4;
          add(c, "RED");
          break;
        }
        case 2: {
          Text t;
          t.insert = {x, y, 0};
          t.height = 0.3;
          t.text = "N" + std::to_string(i);
          add(t);
          break;
        }
        case 3: {
          Insert ins;
          ins.block = "MARK";
          ins.insert = {x, y, 0};
          ins.sx = ins.sy = 0.5;
          add(ins, "RED");
          break;
        }
        default: add(lineEnt({x, y, 0}, {x, y + 1.2, 0})).common.linetype = "DASHED";
      }
    }
    // One polyline longer than a block of the store.
    LwPolyline p;
    for (int k = 0; k < 70000; ++k) p.vertices.push_back({.p = {50 + 40 * std::cos(k * 1e-4), 50 + 40 * std::sin(k * 1e-4)}});
    add(p);
  }
  static void expectSame(const std::vector<Call>& a, const std::vector<Call>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      ASSERT_EQ(a[i].kind, b[i].kind) << i;
      ASSERT_EQ(a[i].value, b[i].value) << i;
      ASSERT_EQ(a[i].rgb, b[i].rgb) << i;
      ASSERT_EQ(a[i].text, b[i].text) << i;
      ASSERT_EQ(a[i].pts.size(), b[i].pts.size()) << i;
      for (std::size_t k = 0; k < a[i].pts.size(); ++k) {
        ASSERT_EQ(a[i].pts[k].x, b[i].pts[k].x) << i << "/" << k;
        ASSERT_EQ(a[i].pts[k].y, b[i].pts[k].y) << i << "/" << k;
      }
    }
  }
};

TEST_F(VecStream, UnkeptDrawGivesTheSinkWhatAKeptListGives) {
  fillDrawing();
  draw(false);
  const std::vector<Call> kept = sink.calls;
  AdViewRecord keptView = view;
  ASSERT_GT(kept.size(), 10000u);
  adCloseFile(d);
  d = 0;

  adSetKeepDisplayLists(0);
  view = AdViewRecord{};
  draw(false);  // the extents, then the picture, each from a walk of its own
  EXPECT_EQ(view.center.x, keptView.center.x);
  EXPECT_EQ(view.center.y, keptView.center.y);
  EXPECT_EQ(view.width, keptView.width);
  EXPECT_EQ(view.height, keptView.height);
  expectSame(kept, sink.calls);
  // A second draw walks again and still agrees; so does one after lists are kept again.
  draw();
  expectSame(kept, sink.calls);
  adSetKeepDisplayLists(1);
  draw();
  expectSame(kept, sink.calls);
  draw();
  expectSame(kept, sink.calls);
}

TEST_F(VecStream, UnkeptDrawFollowsChangesOfTheDrawing) {
  add(lineEnt({10, 10, 0}, {20, 10, 0}));
  adSetKeepDisplayLists(0);
  draw();
  ASSERT_EQ(lines().size(), 1u);
  live().modelSpace().entities.push_back(makeEntity(lineEnt({10, 20, 0}, {20, 20, 0})));
  draw();
  EXPECT_EQ(lines().size(), 2u);
  live().layers.entries[0].rec.color = -7;  // layer 0 off
  adForceRegen(d);
  draw();
  EXPECT_EQ(lines().size(), 0u);
}

// Large drawings are walked on several threads (bounds alone on every core, a draw on a
// second thread handing its lists over): the sink must see what a walk on one thread gives.
class VecThreads : public VecStream {
 protected:
  ~VecThreads() override {
    vec::setParallelFrom(8192);
    vec::setRegenLimits(16'000'000, 50'000'000);
  }
  void addImage(const char* name, Vec3 at) { kelvaro::cad::test::addImage(doc, name, at, {20, 10}); }
};

TEST_F(VecThreads, ThreadedWalksGiveWhatOneThreadGives) {
  fillDrawing();
  addImage("photo.png", {20, 20, 0});
  addLayer("FROZEN", 3);
  doc.layers.entries.back().rec.flags = 1;
  add(lineEnt({-500, -500, 0}, {-400, -400, 0}), "FROZEN");  // must not widen the extents
  Text far;
  far.insert = {130, 140, 0};
  far.height = 2;
  far.rotation = 30;
  far.text = "EDGE%%u text";
  add(far);
  sink.preparable = {"photo.png"};
  draw(false);
  const std::vector<Call> one = sink.calls;
  const AdViewRecord oneView = view;
  Vec3 lo1, hi1;
  ASSERT_TRUE(adComputeExtents(d, kModelSpace, lo1, hi1));
  adCloseFile(d);
  d = 0;

  vec::setParallelFrom(1);
  adSetKeepDisplayLists(0);
  Vec3 lo2, hi2;
  view = AdViewRecord{};
  draw(false);
  ASSERT_TRUE(adComputeExtents(d, kModelSpace, lo2, hi2));
  EXPECT_EQ(lo1.x, lo2.x);
  EXPECT_EQ(lo1.y, lo2.y);
  EXPECT_EQ(hi1.x, hi2.x);
  EXPECT_EQ(hi1.y, hi2.y);
  EXPECT_EQ(view.center.x, oneView.center.x);
  EXPECT_EQ(view.center.y, oneView.center.y);
  EXPECT_EQ(view.width, oneView.width);
  expectSame(one, sink.calls);
  // Every image prepared in a draw is released again.
  EXPECT_EQ(sink.prepared.size(), sink.released.size());
  EXPECT_FALSE(sink.prepared.empty());
}

class StoppingSink : public kelvaro::cad::test::RecordingSink {
 public:
  std::size_t cancelAfter = SIZE_MAX, throwAfter = SIZE_MAX, polylines = 0;
  void polyline(const PixelPoint* p, std::size_t n) override {
    if (polylines >= throwAfter) throw std::runtime_error("sink failed");
    ++polylines;
    RecordingSink::polyline(p, n);
  }
  bool cancelled() override { return polylines >= cancelAfter; }
};

TEST_F(VecThreads, AThreadedDrawStopsCleanlyAndTheNextOneIsWhole) {
  fillDrawing();
  vec::setParallelFrom(1);
  adSetKeepDisplayLists(0);
  draw();
  const std::size_t whole = lines().size();
  ASSERT_GT(whole, 10000u);

  StoppingSink cancelling;
  cancelling.cancelAfter = 100;
  ASSERT_EQ(adDrawDrawing(d, cancelling), 1);
  EXPECT_GE(cancelling.count(Call::Polyline), 100u);
  EXPECT_LT(cancelling.count(Call::Polyline), whole);

  StoppingSink failing;
  failing.throwAfter = 5000;
  EXPECT_THROW(adDrawDrawing(d, failing), std::runtime_error);
  EXPECT_EQ(failing.count(Call::Polyline), 5000u);

  draw();
  EXPECT_EQ(lines().size(), whole);

  // A walk cut short by the visit limit still tells the sink so, once, from the drawing thread.
  vec::setRegenLimits(16'000'000, 2000);
  draw();
  ASSERT_EQ(sink.count(Call::Warning), 1u);
  EXPECT_EQ(sink.of(Call::Warning)[0]->text, "The drawing is too large to show completely.");
  EXPECT_LT(lines().size(), whole);
}


// The bounds walk skips what cannot widen the bounds; on drawings whose edges are made by every
// kind of entity it skips, the extents must still be exactly those of a walk of everything.
TEST_F(VecThreads, SkippingBoundsWalkFindsTheExactExtents) {
  addLinetype("DASHED", {2, -1});
  addLayer("OFF", -3);
  for (unsigned seed = 1; seed <= 12; ++seed) {
    doc.modelSpace().entities.clear();
    unsigned x = seed * 2654435761u;
    auto rnd = [&] {
      x ^= x << 13, x ^= x >> 17, x ^= x << 5;
      return (x % 100000) / 100000.0;
    };
    for (int i = 0; i < 400; ++i) add(lineEnt({rnd() * 100, rnd() * 100, 0}, {rnd() * 100, rnd() * 100, 0}));
    for (int i = 0; i < 300; ++i) {
      const double cx = rnd() * 120 - 10, cy = rnd() * 120 - 10;
      switch (i % 5) {
        case 0: {
          Circle c;
          c.center = {cx, cy, rnd() * 2};
          c.radius = rnd() * 8;
          add(c).common.linetype = i % 2 ? "DASHED" : "";
          break;
        }
        case 1: {
          Arc a;
          a.center = {cx, cy, 0};
          a.radius = rnd() * 9;
          a.startAngle = rnd() * 360;
          a.endAngle = rnd() * 360;
          add(a);
          break;
        }
        case 2: {
          LwPolyline p;
          for (int k = 0; k < 4; ++k) p.vertices.push_back({.p = {cx + rnd() * 6, cy + rnd() * 6}, .bulge = rnd() * 4 - 2});
          p.flags = i % 2;
          p.elevation = rnd() - 0.5;
          add(p, i % 7 == 0 ? "OFF" : "0");
          break;
        }
        default: {
          Text t;
          t.insert = {cx, cy, 0};
          t.align = {cx + 1, cy + 1, 0};
          t.height = rnd() * 5;
          t.rotation = rnd() * 360;
          t.oblique = rnd() * 40 - 20;
          t.halign = static_cast<std::int16_t>(i % 6);
          t.valign = static_cast<std::int16_t>((i / 6) % 4);
          t.text = i % 2 ? "Wide %%uline%%u" : "gj";
          add(t);
        }
      }
    }
    d = adOpenDocument(doc, "mem.dxf");
    vec::setParallelFrom(SIZE_MAX);
    Vec3 lo1, hi1, lo2, hi2;
    ASSERT_TRUE(adComputeExtents(d, kModelSpace, lo1, hi1));
    vec::setParallelFrom(1);
    ASSERT_TRUE(adComputeExtents(d, kModelSpace, lo2, hi2));
    EXPECT_EQ(lo1.x, lo2.x) << seed;
    EXPECT_EQ(lo1.y, lo2.y) << seed;
    EXPECT_EQ(lo1.z, lo2.z) << seed;
    EXPECT_EQ(hi1.x, hi2.x) << seed;
    EXPECT_EQ(hi1.y, hi2.y) << seed;
    EXPECT_EQ(hi1.z, hi2.z) << seed;
    adCloseFile(d);
    d = 0;
  }
}


// Kept lists built in parts on several threads draw, and redraw, what one walk's list draws;
// TrueType questions, cancelling and the size warning still reach the sink.
TEST_F(VecThreads, KeptListsBuiltInPartsDrawWhatOneListDraws) {
  fillDrawing();
  addImage("photo.png", {20, 20, 0});
  TableEntry<TextStyle> ttf;
  ttf.rec.name = "SANS";
  ttf.rec.font = "arial.ttf";
  doc.styles.entries.push_back(ttf);
  Text t;
  t.insert = {5, 95, 0};
  t.height = 3;
  t.style = "SANS";
  t.text = "TrueType";
  add(t);
  sink.preparable = {"photo.png"};
  sink.acceptTtf = true;
  draw(false);
  const std::vector<Call> one = sink.calls;
  const AdViewRecord oneView = view;
  ASSERT_EQ(sink.count(Call::Ttf), 1u);
  adCloseFile(d);
  d = 0;

  vec::setParallelFrom(1);
  view = AdViewRecord{};
  draw(false);
  EXPECT_EQ(view.center.x, oneView.center.x);
  EXPECT_EQ(view.width, oneView.width);
  expectSame(one, sink.calls);
  draw();  // a redraw of the kept parts
  expectSame(one, sink.calls);

  StoppingSink cancelling;
  cancelling.cancelAfter = 0;
  adForceRegen(d);
  ASSERT_EQ(adDrawDrawing(d, cancelling), 1);
  EXPECT_LT(cancelling.count(Call::Polyline), lines().size());
  draw();  // the cancelled regeneration is done again
  expectSame(one, sink.calls);

  vec::setRegenLimits(16'000'000, 3000);
  adForceRegen(d);
  draw();
  ASSERT_EQ(sink.count(Call::Warning), 1u);
  EXPECT_EQ(sink.of(Call::Warning)[0]->text, "The drawing is too large to show completely.");
}

}  // namespace
