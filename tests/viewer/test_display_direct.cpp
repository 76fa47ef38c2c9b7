// Lines written straight into the picture's pixels against the same lines drawn by QPainter:
// the two must show the same picture to within a pixel, cost no painter pen per colour change
// and survive coordinates far off the picture or not numbers at all.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <cmath>
#include <filesystem>
#include <functional>
#include <iostream>
#include <limits>
#include <random>

#include "support/qt_app.h"
#include "viewer/Display.h"
#include "viewer/DrawDrawing.h"
#include "viewer/DrawingSession.h"
#include "viewer/TDraftel.h"

namespace kelvaro::viewer {
namespace {

using cad::PixelPoint;
const QRgb kWhite = qRgb(255, 255, 255);

QImage drawn(QSize size, bool direct, const std::function<void(TDisplaySink&)>& f, TDisplaySink* used = nullptr) {
  kelvaro::test::ensureQtApp();
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  TPalette palette;
  TDisplaySink local;
  TDisplaySink& sink = used ? *used : local;
  DisplayOptions opt;
  opt.directPixels = direct;
  QPainter p(&image);
  sink.begin(&p, image.height(), &palette, opt);
  EXPECT_EQ(sink.drawsDirectly(), direct);
  f(sink);
  sink.end();
  return image;
}

// Pixels of `a` (not background) with no pixel of the same colour in the 3 x 3 block about the
// same place in `b`.
int unmatched(const QImage& a, const QImage& b) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb c = a.pixel(x, y);
      if (c == kWhite) continue;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy)
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int u = x + dx, v = y + dy;
          found = u >= 0 && v >= 0 && u < b.width() && v < b.height() && b.pixel(u, v) == c;
        }
      n += !found;
    }
  return n;
}

int lit(const QImage& a) {
  int n = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) n += a.pixel(x, y) != kWhite;
  return n;
}

void expectSamePicture(const QImage& direct, const QImage& painter, const char* what) {
  const int shown = lit(painter);
  ASSERT_GT(shown, 0) << what;
  EXPECT_EQ(unmatched(direct, painter), 0) << what << ": a pixel the painter does not draw nearby";
  EXPECT_EQ(unmatched(painter, direct), 0) << what << ": a painter pixel missing nearby";
  // Both put about as many pixels down.
  EXPECT_NEAR(lit(direct), shown, shown * 0.05 + 2) << what;
}

TEST(DisplayDirectPixels, SegmentsAndPolylinesMatchThePainterWithinAPixel) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> inside(2, 198), along(0, 148), len(-40, 40);
  std::vector<std::array<double, 4>> segs;
  for (int i = 0; i < 60; ++i) {
    const double x = inside(rng), y = along(rng);
    segs.push_back({x, y, x + len(rng), y + len(rng) * 0.5});
  }
  // Level, upright and diagonal lines, each direction.
  for (auto s : std::vector<std::array<double, 4>>{{10, 10, 90, 10}, {90, 20, 10, 20}, {30, 5, 30, 140},
                                                    {40, 140, 40, 5}, {50, 50, 120, 120}, {120, 20, 60, 80}})
    segs.push_back(s);
  // One colour: where lines cross, a pixel's colour would depend on which one came last.
  auto lines = [&](TDisplaySink& s) {
    s.penColor(1);
    for (std::size_t i = 0; i < segs.size(); ++i) {
      s.moveTo(segs[i][0], segs[i][1]);
      s.lineTo(segs[i][2], segs[i][3]);
    }
  };
  expectSamePicture(drawn({200, 150}, true, lines), drawn({200, 150}, false, lines), "separate segments");

  std::vector<PixelPoint> zigzag;
  for (int i = 0; i < 40; ++i) zigzag.push_back({5.0 + i * 4.7, i % 2 ? 30.3 : 110.6});
  auto poly = [&](TDisplaySink& s) {
    s.penColor(5);
    s.polyline(zigzag.data(), zigzag.size());
  };
  expectSamePicture(drawn({200, 150}, true, poly), drawn({200, 150}, false, poly), "a polyline");
}

TEST(DisplayDirectPixels, LinesLeavingThePictureAreCutLikeThePainterCutsThem) {
  auto lines = [](TDisplaySink& s) {
    s.penColor(3);
    s.moveTo(-500, 20);
    s.lineTo(100, 80);  // from far left into the middle
    s.moveTo(50, -1e7);
    s.lineTo(60, 1e7);  // through the whole picture, both ends far off
    s.moveTo(150, 140);
    s.lineTo(260, 170);  // out over the top right corner
  };
  expectSamePicture(drawn({200, 150}, true, lines), drawn({200, 150}, false, lines), "cut lines");
}

TEST(DisplayDirectPixels, BrokenCoordinatesDrawNothingAndLonePointsLeaveADot) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const QImage image = drawn({60, 40}, true, [&](TDisplaySink& s) {
    s.penColor(1);
    s.moveTo(nan, 10);
    s.lineTo(30, 10);
    s.moveTo(10, inf);
    s.lineTo(10, -inf);
    s.moveTo(1e300, -1e300);
    s.lineTo(1e300, 1e300);
    s.moveTo(-1e300, 20);
    s.lineTo(-1e299, 25);
    s.lineTo(nan, nan);
    const PixelPoint broken[3] = {{nan, 5}, {inf, inf}, {5, nan}};
    s.polyline(broken, 3);
  });
  EXPECT_EQ(lit(image), 0);

  const PixelPoint lone[1] = {{20, 30}};
  for (bool direct : {true, false}) {
    const QImage dot = drawn({60, 40}, direct, [&](TDisplaySink& s) {
      s.penColor(5);
      s.polyline(lone, 1);
    });
    EXPECT_EQ(lit(dot), 1) << (direct ? "direct" : "painter");
    EXPECT_EQ(dot.pixel(20, 10), qRgb(0, 0, 255)) << (direct ? "direct" : "painter");
  }
}

TEST(DisplayDirectPixels, ColourChangesHandThePainterAPenOnlyWhenItDraws) {
  // A colour per line, as a drawing whose lines all differ in colour comes.
  auto lines = [](TDisplaySink& s) {
    for (int i = 0; i < 3000; ++i) {
      s.penColor(1 + i % 2);
      s.moveTo(i % 100, 5);
      s.lineTo(i % 100, 35);
    }
  };
  TDisplaySink sink;
  const QImage direct = drawn({100, 40}, true, lines, &sink);
  EXPECT_EQ(sink.penChanges(), 0u) << "no painter pen while pixels are written directly";
  EXPECT_EQ(direct.pixel(10, 20), qRgb(255, 0, 0)) << "the last line at x 10 was red";
  EXPECT_EQ(direct.pixel(11, 20), qRgb(255, 255, 0));

  const QImage painter = drawn({100, 40}, false, lines, &sink);
  EXPECT_LE(sink.penChanges(), sink.bulkCalls()) << "a pen for each bulk call at most";
  EXPECT_EQ(painter.pixel(10, 20), direct.pixel(10, 20));
  EXPECT_EQ(painter.pixel(11, 20), direct.pixel(11, 20));

  // A fill after the lines gets its own colour, not the pen of the last flushed run.
  const PixelPoint square[4] = {{40, 10}, {60, 10}, {60, 30}, {40, 30}};
  const QImage filled = drawn({100, 40}, true, [&](TDisplaySink& s) {
    s.penColor(1);
    s.moveTo(0, 2);
    s.lineTo(90, 2);
    s.penColor(3);
    s.paintPolygon(square, 4);
  }, &sink);
  EXPECT_EQ(filled.pixel(50, 20), qRgb(0, 255, 0));
  EXPECT_EQ(filled.pixel(20, 38), qRgb(255, 0, 0));
  EXPECT_EQ(sink.penChanges(), 1u);
}

TEST(DisplayDirectPixels, PaintersThatClipOrTransformGetEveryLineThroughThePainter) {
  kelvaro::test::ensureQtApp();
  QImage image(50, 50, QImage::Format_RGB32);
  image.fill(Qt::white);
  TPalette palette;
  TDisplaySink sink;
  QPainter p(&image);
  p.setClipRect(0, 0, 25, 50);
  sink.begin(&p, 50, &palette, {});
  EXPECT_FALSE(sink.drawsDirectly()) << "a clip the direct path would ignore";
  sink.penColor(1);
  sink.moveTo(5, 25);
  sink.lineTo(45, 25);
  sink.end();
  p.end();
  EXPECT_EQ(image.pixel(10, 25), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(40, 25), kWhite) << "the clip holds";

  QImage rgb16(50, 50, QImage::Format_RGB16);
  QPainter q(&rgb16);
  sink.begin(&q, 50, &palette, {});
  EXPECT_FALSE(sink.drawsDirectly()) << "only 32-bit pictures are written directly";
  sink.end();
}

// The corpus drawn both ways: what the direct path changes in real drawings.
TEST(DisplayDirectPixels, CorpusDrawingsLookTheSameThroughThePainter) {
  const std::filesystem::path corpus = std::filesystem::path(KELVARO_SHARED_DIR) / "corpus";
  if (!std::filesystem::exists(corpus)) GTEST_SKIP() << "no sample drawings in " << corpus;
  kelvaro::test::ensureQtApp();
  ASSERT_TRUE(startToolkit(KELVARO_BINARY_DIR "/tests/viewer"));
  int compared = 0;
  for (const char* name : {"sample_r14.dxf", "example_r12.dxf", "example_2000.dxf"}) {
    const std::filesystem::path file = corpus / name;
    if (!std::filesystem::exists(file)) continue;
    DrawingSession session;
    session.setPanelSize(800, 600);
    ASSERT_EQ(session.OpenDrawing(QString::fromStdString(file.string())), 1) << name;
    session.ZoomExtents();
    QImage pictures[2];
    for (int k = 0; k < 2; ++k) {
      pictures[k] = QImage(800, 600, QImage::Format_RGB32);
      TDisplaySink sink;
      DrawSettings settings;
      settings.display.directPixels = k == 0;
      QPainter p(&pictures[k]);
      DrawSessionDrawing(session, sink, p, settings);
    }
    const int shown = lit(pictures[1]);
    const int lost = unmatched(pictures[1], pictures[0]), extra = unmatched(pictures[0], pictures[1]);
    std::cout << name << ": " << shown << " pixels drawn, " << lost << " painter pixels with none nearby, " << extra
              << " direct pixels with none nearby\n";
    // Lines agree to a pixel; what may differ is where a line ends under a fill or text.
    EXPECT_LE(lost, shown / 200 + 5) << name;
    EXPECT_LE(extra, shown / 200 + 5) << name;
    ++compared;
  }
  if (compared == 0) GTEST_SKIP() << "none of the sample drawings is in " << corpus;
}

}  // namespace

// A polyline passes over its segments that cross no pixel centre; drawn segment by segment
// (every one through the full line rule) it must leave exactly the same pixels, for tiny
// strokes, ends on pixel centres and edges, and ends far off or not numbers.
TEST(DisplayDirectPixels, PolylinesLeaveExactlyThePixelsOfTheirSegments) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> where(-3, 67), step(-0.9, 0.9);
  std::vector<std::vector<PixelPoint>> lines;
  for (int k = 0; k < 3000; ++k) {
    std::vector<PixelPoint> l{{where(rng), where(rng)}};
    const int n = 2 + k % 9;
    for (int i = 1; i < n; ++i) {
      PixelPoint p{l.back().x + step(rng) * (k % 4 == 0 ? 6 : 1), l.back().y + step(rng)};
      // Some ends exactly on pixel centres and edges, where the rule decides by equality.
      if (i % 3 == 0) p = {std::round(p.x) + (k % 2 ? 0.5 : 0), std::round(p.y) + 0.5};
      l.push_back(p);
    }
    lines.push_back(l);
  }
  const double nan = std::numeric_limits<double>::quiet_NaN();
  lines.push_back({{-2e9, 30.5}, {3e9, 30.5}, {3e9, 31}});
  lines.push_back({{10.5, 10.5}, {10.5, 10.5}, {10.7, 10.6}});
  lines.push_back({{nan, 5}, {20, 20}, {20.2, 20.1}, {1e300, -1e300}, {30, 40}});
  const QSize size(64, 64);
  const QImage whole = drawn(size, true, [&](TDisplaySink& s) {
    for (const auto& l : lines) s.polyline(l.data(), l.size());
  });
  const QImage pieces = drawn(size, true, [&](TDisplaySink& s) {
    for (const auto& l : lines)
      for (std::size_t i = 1; i < l.size(); ++i) {
        s.moveTo(l[i - 1].x, l[i - 1].y);
        s.lineTo(l[i].x, l[i].y);
      }
  });
  ASSERT_GT(lit(whole), 500);
  EXPECT_EQ(whole, pieces);
}

}  // namespace kelvaro::viewer
