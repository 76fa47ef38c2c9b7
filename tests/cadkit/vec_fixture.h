#pragma once
// Builds small drawings in memory and draws them through a known view: a plan view of
// 100 × 100 drawing units onto 100 × 100 pixels, so a world point (x, y) lands on pixel (x, y).
#include <gtest/gtest.h>

#include <cmath>

#include "cadkit/toolkit.h"
#include "cadkit/vectorize.h"
#include "recording_sink.h"

namespace kelvaro::cad::test {

class VecTest : public testing::Test {
 protected:
  Document doc;
  AdDrawing d = 0;
  AdViewRecord view;
  AdPixelWindow win{0, 0, 100, 100};
  AdTransform xf;
  RecordingSink sink;

  VecTest() {
    addLayer("0", 7);
    view.center = {50, 50};
    view.width = view.height = 100;
  }
  ~VecTest() override {
    if (d) adCloseFile(d);
    adSetInterpolationQuality(10);
  }
  void addLayer(const std::string& name, int color, const std::string& ltype = "CONTINUOUS", int lw = -3) {
    TableEntry<Layer> e;
    e.frame.handle = doc.newHandle();
    e.rec.name = name;
    e.rec.color = static_cast<std::int16_t>(color);
    e.rec.linetype = ltype;
    e.rec.lineweight = static_cast<std::int16_t>(lw);
    doc.layers.entries.push_back(e);
  }
  void addLinetype(const std::string& name, std::vector<double> dashes) {
    TableEntry<Linetype> e;
    e.rec.name = name;
    for (double x : dashes) {
      Dash dd;
      dd.length = x;
      e.rec.dashes.push_back(dd);
      e.rec.length += std::fabs(x);
    }
    doc.linetypes.entries.push_back(e);
  }
  Entity& add(EntityData data, const std::string& layer = "0") {
    doc.modelSpace().entities.push_back(makeEntity(std::move(data), layer));
    return doc.modelSpace().entities.back();
  }
  Block& block(const std::string& name, Vec3 base = {}) {
    Block& b = doc.addBlock(name);
    b.begin.base = base;
    return b;
  }
  // Opens the drawing and draws it through `view` (or the drawing's own view when !fixed).
  void draw(bool fixed = true) {
    if (!d) d = adOpenDocument(doc, "mem.dxf");
    ASSERT_NE(d, 0);
    if (!fixed) adInitVectorize(d, view, win, xf, {});
    ASSERT_EQ(adMakeViewTransform(d, view, win, xf), 1);
    sink.clear();
    ASSERT_EQ(adDrawDrawing(d, sink), 1);
  }
  Document& live() { return *adDocument(d); }
  std::vector<const Call*> lines() const { return sink.of(Call::Polyline); }
};

// An image definition naming `file` and an image of it at `at`, `size` pixels at 0.1 units each.
inline void addImage(Document& doc, const std::string& file, Vec3 at, Vec2 size = {200, 100}) {
  Object def;
  def.frame.handle = doc.newHandle();
  ImageDef id;
  id.fileName = file;
  def.data = id;
  doc.objects.push_back(def);
  Image im;
  im.insert = at;
  im.u = {0.1, 0, 0};
  im.v = {0, 0.1, 0};
  im.size = size;
  im.imageDef = def.frame.handle;
  doc.modelSpace().entities.push_back(makeEntity(im));
}

inline Line lineEnt(Vec3 a, Vec3 b) {
  Line l;
  l.start = a;
  l.end = b;
  return l;
}

}  // namespace kelvaro::cad::test
