// links: kelvaro_cadkit
// Any drawing that reads also draws: first view, a regeneration, a redraw and a 3D view, with
// nothing but finite pixels reaching the sink.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "cadkit/dxf_io.h"
#include "cadkit/toolkit.h"
#include "cadkit/vectorize.h"

namespace {
using namespace kelvaro::cad;

class CheckingSink : public DrawSink {
 public:
  void moveTo(double x, double y) override { check(x, y); }
  void lineTo(double x, double y) override { check(x, y); }
  void polyline(const PixelPoint* p, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i) check(p[i].x, p[i].y);
  }
  void penColor(int i) override {
    if (i < 0 || i > 255) std::abort();
  }
  void paintPolygon(const PixelPoint* p, int n) override { polyline(p, static_cast<std::size_t>(n)); }
  void polyPolygon(const PixelPoint* p, const int* counts, int rings) override {
    std::size_t total = 0;
    for (int r = 0; r < rings; ++r) total += static_cast<std::size_t>(counts[r]);
    polyline(p, total);
  }

 private:
  static void check(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Document doc;
  try {
    doc = readDxf(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const DxfError&) {
    return 0;
  }
  bool paper = doc.header.tileMode != 1;
  AdDrawing d = adOpenDocument(std::move(doc));
  Handle layout;
  if (paper) adGetBlockHandle(d, layout, 0);
  AdViewRecord v;
  AdTransform t;
  AdPixelWindow w{0, 0, 320, 240};
  CheckingSink sink;
  adInitVectorize(d, v, w, t, layout);
  adDrawDrawing(d, sink);
  adZoomExtents(d, v);
  adRotateCounterClockwise(v, 0.785);
  adRotateForward(v, -0.785);
  adMakeViewTransform(d, v, w, t);
  adDrawDrawing(d, sink);
  adCloseFile(d);
  return 0;
}
