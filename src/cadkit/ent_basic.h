#pragma once
// Simple geometric entities: lines, points, circles, arcs, ellipses, rays, planar fills, faces.
#include "cadkit/record.h"

namespace kelvaro::cad {

struct Line {
  static constexpr const char* kType = "LINE";
  Vec3 start, end;
  double thickness = 0;
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbLine");
    v.field(39, thickness, kOpt);
    v.field(10, start);
    v.field(11, end);
    v.field(210, normal, kNormal);
  }
  bool operator==(const Line&) const = default;
};

struct Point {
  static constexpr const char* kType = "POINT";
  Vec3 location;
  double thickness = 0, xAxisAngle = 0;
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbPoint");
    v.field(10, location);
    v.field(39, thickness, kOpt);
    v.field(210, normal, kNormal);
    v.field(50, xAxisAngle, {.since = R::R10, .opt = true});
  }
  bool operator==(const Point&) const = default;
};

struct Circle {
  static constexpr const char* kType = "CIRCLE";
  Vec3 center;
  double radius = 1, thickness = 0;
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbCircle");
    v.field(39, thickness, kOpt);
    v.field(10, center);
    v.field(40, radius);
    v.field(210, normal, kNormal);
  }
  bool operator==(const Circle&) const = default;
};

struct Arc {
  static constexpr const char* kType = "ARC";
  Vec3 center;
  double radius = 1, thickness = 0, startAngle = 0, endAngle = 360;  // degrees
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbCircle");
    v.field(39, thickness, kOpt);
    v.field(10, center);
    v.field(40, radius);
    v.field(210, normal, kNormal);
    v.subclass("AcDbArc");
    v.field(50, startAngle);
    v.field(51, endAngle);
  }
  bool operator==(const Arc&) const = default;
};

struct Ellipse {
  static constexpr const char* kType = "ELLIPSE";
  Vec3 center, majorAxis{1, 0, 0};  // major axis end point relative to the centre
  Vec3 normal{0, 0, 1};
  double ratio = 1, startParam = 0, endParam = 6.283185307179586;
  template <class V> void describe(V& v) {
    v.subclass("AcDbEllipse");
    v.field(10, center);
    v.field(11, majorAxis);
    v.field(210, normal, kNormal);
    v.field(40, ratio);
    v.field(41, startParam);
    v.field(42, endParam);
  }
  bool operator==(const Ellipse&) const = default;
};

// RAY and XLINE share their layout.
template <const char* Name, const char* Sub>
struct InfiniteLine {
  static constexpr const char* kType = Name;
  Vec3 start, direction{1, 0, 0};
  template <class V> void describe(V& v) {
    v.subclass(Sub);
    v.field(10, start);
    v.field(11, direction);
  }
  bool operator==(const InfiniteLine&) const = default;
};
inline constexpr char kRayName[] = "RAY", kRaySub[] = "AcDbRay", kXLineName[] = "XLINE", kXLineSub[] = "AcDbXline";
using Ray = InfiniteLine<kRayName, kRaySub>;
using XLine = InfiniteLine<kXLineName, kXLineSub>;

// SOLID and TRACE: four corners, the last two swapped against drawing order.
template <const char* Name>
struct Quad {
  static constexpr const char* kType = Name;
  Vec3 p[4];
  double thickness = 0;
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbTrace");
    v.field(10, p[0]);
    v.field(11, p[1]);
    v.field(12, p[2]);
    v.field(13, p[3]);
    v.field(39, thickness, kOpt);
    v.field(210, normal, kNormal);
  }
  bool operator==(const Quad&) const = default;
};
inline constexpr char kSolidName[] = "SOLID", kTraceName[] = "TRACE";
using Solid = Quad<kSolidName>;
using Trace = Quad<kTraceName>;

struct Face3d {
  static constexpr const char* kType = "3DFACE";
  Vec3 p[4];
  std::int16_t invisibleEdges = 0;
  template <class V> void describe(V& v) {
    v.subclass("AcDbFace");
    v.field(10, p[0]);
    v.field(11, p[1]);
    v.field(12, p[2]);
    v.field(13, p[3]);
    v.field(70, invisibleEdges, kOpt);
  }
  bool operator==(const Face3d&) const = default;
};

}  // namespace kelvaro::cad
