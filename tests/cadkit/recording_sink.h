#pragma once
// A DrawSink that keeps every call, for tests of the vectoriser.
#include <cstdint>
#include <string>
#include <vector>

#include "cadkit/vectorize.h"

namespace kelvaro::cad::test {

struct Call {
  enum Kind { Move, Line, Polyline, Pen, True, Weight, Polygon, PolyPolygon, Ttf, Image, Ole, Warning } kind;
  std::vector<PixelPoint> pts;
  std::vector<int> counts;  // rings of a poly-polygon
  int value = 0;            // colour, lineweight, image user data
  std::uint32_t rgb = 0;
  int color = -1;           // pen colour in force (-2: a true colour)
  std::string text;
  double advance = 0;  // of a TrueType run
};

class RecordingSink : public DrawSink {
 public:
  std::vector<Call> calls;
  // Images the sink agrees to prepare (by stored path) and the user data it returns.
  std::vector<std::string> preparable;
  std::vector<std::string> prepared;
  std::vector<std::int32_t> released;  // user data handed back, in order
  bool acceptTtf = false;

  void moveTo(double x, double y) override { add(Call::Move, {{x, y}}); }
  void lineTo(double x, double y) override { add(Call::Line, {{x, y}}); }
  void polyline(const PixelPoint* p, std::size_t n) override { add(Call::Polyline, {p, p + n}); }
  void penColor(int i) override {
    color_ = i;
    add(Call::Pen, {}).value = i;
  }
  void trueColor(std::uint32_t rgb) override {
    color_ = -2;
    add(Call::True, {}).rgb = rgb;
  }
  void lineweight(int w) override { add(Call::Weight, {}).value = w; }
  void paintPolygon(const PixelPoint* p, int n) override { add(Call::Polygon, {p, p + n}); }
  void polyPolygon(const PixelPoint* p, const int* counts, int rings) override {
    int total = 0;
    for (int i = 0; i < rings; ++i) total += counts[i];
    add(Call::PolyPolygon, {p, p + total}).counts.assign(counts, counts + rings);
  }
  bool examineTtf(const std::string&, const std::string&) override { return acceptTtf; }
  void ttfText(const TtfRun& run) override {
    Call& c = add(Call::Ttf, {run.origin, run.xAxis, run.yAxis});
    c.text = run.text;
    c.advance = run.advance;
  }
  bool rawImagePrepare(const std::string& path, std::int32_t& userData) override {
    for (std::size_t i = 0; i < preparable.size(); ++i)
      if (preparable[i] == path) {
        prepared.push_back(path);
        userData = static_cast<std::int32_t>(i);
        return true;
      }
    return false;
  }
  void rawImage(const RawImageRecord& rec) override {
    Call& c = add(Call::Image, {rec.corner, rec.corner + 4});
    c.value = rec.userData;
    for (int k = 0; k < 2; ++k) c.counts.push_back(rec.clipCount[k]);
  }
  void rawImageRelease(std::int32_t userData) override { released.push_back(userData); }
  void olePicData(const OlePicRecord& rec) override {
    Call& c = add(Call::Ole, {rec.rectMin, rec.rectMax});
    c.value = static_cast<int>(rec.size);
    c.rgb = rec.size > 0 ? rec.data[0] : 0;  // the picture's kind
    c.text = rec.name;
  }
  void warning(const std::string& t) override { add(Call::Warning, {}).text = t; }

  // Helpers for the checks.
  std::vector<const Call*> of(Call::Kind k) const {
    std::vector<const Call*> out;
    for (const auto& c : calls)
      if (c.kind == k) out.push_back(&c);
    return out;
  }
  std::size_t count(Call::Kind k) const { return of(k).size(); }
  void clear() { calls.clear(); }

 private:
  Call& add(Call::Kind k, std::vector<PixelPoint> pts) {
    calls.push_back(Call{k, std::move(pts), {}, 0, 0, color_, {}});
    return calls.back();
  }
  int color_ = -1;
};

// A sink that only counts, for benchmarks and the corpus walk.
class CountingSink : public DrawSink {
 public:
  std::size_t points = 0, polylines = 0, polygons = 0, pens = 0;
  void moveTo(double, double) override { ++points; }
  void lineTo(double, double) override { ++points; }
  void polyline(const PixelPoint*, std::size_t n) override {
    points += n;
    ++polylines;
  }
  void penColor(int) override { ++pens; }
  void paintPolygon(const PixelPoint*, int n) override {
    points += static_cast<std::size_t>(n);
    ++polygons;
  }
  void polyPolygon(const PixelPoint*, const int*, int) override { ++polygons; }
};

}  // namespace kelvaro::cad::test
