#pragma once
// HATCH: boundary paths of polylines or edges, solid fill, pattern lines and gradients.
#include "cadkit/record.h"

namespace kelvaro::cad {

struct HatchEdge {
  std::int16_t type = 1;  // 1 line, 2 arc, 3 ellipse, 4 spline
  Vec2 p1, p2;            // line ends; arc/ellipse centre and major axis end
  double radius = 0, start = 0, end = 360;  // arc radius or ellipse ratio; angles in degrees
  std::int16_t ccw = 1;
  // spline
  std::int32_t degree = 3;
  std::int16_t rational = 0, periodic = 0;
  std::vector<double> knots, weights;
  std::vector<Vec2> control, fit;
  Vec2 startTangent, endTangent;
  template <class V> void describe(V& v) {
    v.field(72, type);
    switch (type) {
      case 1:
        v.field(10, p1);
        v.field(11, p2);
        break;
      case 2:
        v.field(10, p1);
        v.field(40, radius);
        v.field(50, start);
        v.field(51, end);
        v.field(73, ccw);
        break;
      case 3:
        v.field(10, p1);
        v.field(11, p2);
        v.field(40, radius);
        v.field(50, start);
        v.field(51, end);
        v.field(73, ccw);
        break;
      default:
        v.field(94, degree);
        v.field(73, rational);
        v.field(74, periodic);
        v.countOf(95, knots);
        v.countOf(96, control);
        v.values(40, knots);
        v.points(10, control);
        v.values(42, weights);
        v.countOf(97, fit, {.since = R::R2010, .gateRead = true});
        v.points(11, fit, {.since = R::R2010, .gateRead = true});
        v.field(12, startTangent, {.since = R::R2010, .gateRead = true});
        v.field(13, endTangent, {.since = R::R2010, .gateRead = true});
    }
  }
  bool operator==(const HatchEdge&) const = default;
};

struct HatchVertex {
  Vec2 p;
  double bulge = 0;
  bool operator==(const HatchVertex&) const = default;
};

struct HatchPath {
  std::int32_t flags = 1;  // 1 external, 2 polyline, 16 outermost
  std::int16_t hasBulge = 0, closed = 1;
  std::vector<HatchVertex> vertices;
  std::vector<HatchEdge> edges;
  std::vector<Handle> sources;
  bool polyline() const { return (flags & 2) != 0; }
  template <class V> void describe(V& v) {
    v.field(92, flags);
    if (polyline()) {
      v.field(72, hasBulge);
      v.field(73, closed);
      v.list(93, vertices, {}, [this](auto& w, HatchVertex& hv) {
        w.field(10, hv.p);
        if (hasBulge) w.field(42, hv.bulge);
      });
    } else {
      v.list(93, edges);
    }
    v.list(97, sources, {}, [](auto& w, Handle& h) { w.field(330, h); });
  }
  bool operator==(const HatchPath&) const = default;
};

struct PatternLine {
  double angle = 0;
  Vec2 base, offset;
  std::vector<double> dashes;
  template <class V> void describe(V& v) {
    v.field(53, angle);
    v.field(43, base.x);
    v.field(44, base.y);
    v.field(45, offset.x);
    v.field(46, offset.y);
    v.list(79, dashes, {}, [](auto& w, double& d) { w.field(49, d); });
  }
  bool operator==(const PatternLine&) const = default;
};

struct GradientColor {
  double value = 0;
  std::int16_t aci = 5;
  std::int32_t rgb = 0;
  template <class V> void describe(V& v) {
    v.field(463, value);
    v.field(63, aci);
    v.field(421, rgb);
  }
  bool operator==(const GradientColor&) const = default;
};

struct Hatch {
  static constexpr const char* kType = "HATCH";
  Vec3 elevation;
  Vec3 normal{0, 0, 1};
  std::string pattern = "SOLID";
  std::int16_t solid = 1, associative = 0, style = 0, patternType = 1, doubled = 0;
  std::vector<HatchPath> paths;
  double angle = 0, scale = 1, pixelSize = 0;
  std::vector<PatternLine> lines;
  std::vector<Vec2> seeds;
  std::int32_t gradient = 0, gradientSingle = 0, gradientReserved = 0;
  std::vector<GradientColor> gradientColors;
  double gradientAngle = 0, gradientShift = 0, gradientTint = 0;
  std::string gradientName;
  template <class V> void describe(V& v) {
    v.subclass("AcDbHatch");
    v.field(10, elevation);
    v.field(210, normal);
    v.field(2, pattern);
    v.field(70, solid);
    v.field(71, associative);
    v.list(91, paths);
    v.field(75, style);
    v.field(76, patternType);
    if (!solid) {
      v.field(52, angle);
      v.field(41, scale);
      v.field(77, doubled);
      v.list(78, lines);
    }
    v.field(47, pixelSize, kOpt);
    v.list(98, seeds, {}, [](auto& w, Vec2& p) { w.field(10, p); });
    Opt g{.since = R::R2004, .opt = true};
    v.field(450, gradient, g);
    if (gradient || v.reading()) {
      v.field(451, gradientReserved, g);
      v.field(452, gradientSingle, g);
      v.list(453, gradientColors, g, [](auto& w, GradientColor& c) { c.describe(w); });
      v.field(460, gradientAngle, g);
      v.field(461, gradientShift, g);
      v.field(462, gradientTint, g);
      v.field(470, gradientName, g);
    }
  }
  bool operator==(const Hatch&) const = default;
};

}  // namespace kelvaro::cad
