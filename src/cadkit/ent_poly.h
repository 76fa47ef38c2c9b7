#pragma once
// Polylines (light-weight and heavy, with VERTEX/SEQEND), splines and multilines.
#include "cadkit/record.h"

namespace kelvaro::cad {

struct LwVertex {
  Vec2 p;
  double startWidth = 0, endWidth = 0, bulge = 0;
  std::int32_t id = 0;
  template <class V> void describe(V& v) {
    v.field(10, p);
    v.field(91, id, {.since = R::R2010, .opt = true});
    v.field(40, startWidth, kOpt);
    v.field(41, endWidth, kOpt);
    v.field(42, bulge, kOpt);
  }
  bool operator==(const LwVertex&) const = default;
};

struct LwPolyline {
  static constexpr const char* kType = "LWPOLYLINE";
  std::int16_t flags = 0;  // 1 closed, 128 linetype generation
  double constWidth = 0, elevation = 0, thickness = 0;
  std::vector<LwVertex> vertices;
  Vec3 normal{0, 0, 1};
  template <class V> void describe(V& v) {
    v.subclass("AcDbPolyline");
    v.countOf(90, vertices);
    v.field(70, flags);
    v.field(43, constWidth, kOpt);
    v.field(38, elevation, kOpt);
    v.field(39, thickness, kOpt);
    v.seq(10, vertices);
    v.field(210, normal, kNormal);
  }
  bool operator==(const LwPolyline&) const = default;
};

struct VertexData {
  Vec3 location;
  double startWidth = 0, endWidth = 0, bulge = 0, tangent = 0;
  std::int16_t flags = 0;  // 32 3D, 64 mesh/face vertex, 128 face record
  std::int16_t index[4] = {0, 0, 0, 0};  // face record vertex numbers (71-74)
  const char* subclassName() const {
    if (flags & 128) return (flags & 64) ? "AcDbPolyFaceMeshVertex" : "AcDbFaceRecord";
    if (flags & 32) return "AcDb3dPolylineVertex";
    if (flags & 64) return "AcDbPolygonMeshVertex";
    return "AcDb2dVertex";
  }
  template <class V> void describe(V& v) {
    if (!((flags & 128) && !(flags & 64))) v.subclass("AcDbVertex");
    v.subclass(subclassName());
    v.field(10, location);
    v.field(40, startWidth, kOpt);
    v.field(41, endWidth, kOpt);
    v.field(42, bulge, kOpt);
    v.field(70, flags);
    v.field(50, tangent, kOpt);
    v.field(71, index[0], kOpt);
    v.field(72, index[1], kOpt);
    v.field(73, index[2], kOpt);
    v.field(74, index[3], kOpt);
  }
  bool operator==(const VertexData&) const = default;
};
using Vertex = Sub<VertexData>;
using SeqEnd = Sub<Empty>;

struct Polyline {
  static constexpr const char* kType = "POLYLINE";
  std::int16_t follow = 1;  // "vertices follow"
  Vec3 elevation;           // only z is meaningful
  double thickness = 0, startWidth = 0, endWidth = 0;
  std::int16_t flags = 0;  // 1 closed, 8 3D, 16 mesh, 64 polyface
  std::int16_t m = 0, n = 0, mDensity = 0, nDensity = 0, smooth = 0;
  Vec3 normal{0, 0, 1};
  std::vector<Vertex> vertices;
  SeqEnd seqend;
  const char* subclassName() const {
    if (flags & 64) return "AcDbPolyFaceMesh";
    if (flags & 16) return "AcDbPolygonMesh";
    if (flags & 8) return "AcDb3dPolyline";
    return "AcDb2dPolyline";
  }
  template <class V> void describe(V& v) {
    v.subclass(subclassName());
    v.field(66, follow, {.until = R::R12});
    v.field(10, elevation);
    v.field(39, thickness, kOpt);
    v.field(70, flags, kOpt);
    v.field(40, startWidth, kOpt);
    v.field(41, endWidth, kOpt);
    v.field(71, m, kOpt);
    v.field(72, n, kOpt);
    v.field(73, mDensity, kOpt);
    v.field(74, nDensity, kOpt);
    v.field(75, smooth, kOpt);
    v.field(210, normal, kNormal);
  }
  bool operator==(const Polyline&) const = default;
};

struct Spline {
  static constexpr const char* kType = "SPLINE";
  Vec3 normal{0, 0, 1};
  std::int16_t flags = 0;  // 1 closed, 2 periodic, 4 rational, 8 planar
  std::int16_t degree = 3;
  double knotTol = 1e-10, ctrlTol = 1e-10, fitTol = 1e-10;
  Vec3 startTangent, endTangent;
  std::vector<double> knots, weights;
  std::vector<Vec3> control, fit;
  template <class V> void describe(V& v) {
    v.subclass("AcDbSpline");
    v.field(210, normal, kNormal);
    v.field(70, flags);
    v.field(71, degree);
    v.countOf(72, knots);
    v.countOf(73, control);
    v.countOf(74, fit);
    v.field(42, knotTol, kOpt);
    v.field(43, ctrlTol, kOpt);
    v.field(44, fitTol, kOpt);
    v.field(12, startTangent, kOpt);
    v.field(13, endTangent, kOpt);
    v.values(40, knots);
    v.values(41, weights);
    v.points(10, control);
    v.points(11, fit);
  }
  bool operator==(const Spline&) const = default;
};

struct MLineElement {
  std::vector<double> params, fill;
  template <class V> void describe(V& v) {
    v.countOf(74, params);
    v.values(41, params);
    v.countOf(75, fill);
    v.values(42, fill);
  }
  bool operator==(const MLineElement&) const = default;
};

struct MLineVertex {
  Vec3 location, direction{1, 0, 0}, miter{0, 1, 0};
  std::vector<MLineElement> elements;
  template <class V> void describe(V& v) {
    v.field(11, location);
    v.field(12, direction);
    v.field(13, miter);
    v.seq(74, elements);
  }
  bool operator==(const MLineVertex&) const = default;
};

struct MLine {
  static constexpr const char* kType = "MLINE";
  std::string style = "STANDARD";
  Handle styleHandle;
  double scale = 1;
  std::int16_t justification = 0, flags = 1;
  std::int16_t styleElements = 2;
  Vec3 start, normal{0, 0, 1};
  std::vector<MLineVertex> vertices;
  template <class V> void describe(V& v) {
    v.subclass("AcDbMline");
    v.field(2, style);
    v.field(340, styleHandle);
    v.field(40, scale);
    v.field(70, justification);
    v.field(71, flags);
    v.countOf(72, vertices);
    v.field(73, styleElements);
    v.field(10, start);
    v.field(210, normal);
    v.seq(11, vertices);
  }
  bool operator==(const MLine&) const = default;
};

}  // namespace kelvaro::cad
