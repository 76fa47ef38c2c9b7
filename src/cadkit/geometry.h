#pragma once
// Curve sampling used when a curve must become a polyline for an older release.
#include <vector>

#include "cadkit/types.h"

namespace kelvaro::cad {

Vec3 add(Vec3 a, Vec3 b);
Vec3 scale(Vec3 a, double s);
Vec3 cross(Vec3 a, Vec3 b);

// Points of an ellipse (centre, major axis vector, ratio, normal) between two parameters.
std::vector<Vec3> ellipsePoints(Vec3 c, Vec3 major, double ratio, Vec3 normal, double t0, double t1, int segments);
// Points of an arc in its plane's coordinates (angles in degrees, counter-clockwise).
std::vector<Vec3> arcPoints(Vec3 c, double r, double a0, double a1, int segments);
// Points of a (rational) B-spline; falls back to the control polygon when the knots are unusable.
std::vector<Vec3> splinePoints(int degree, const std::vector<double>& knots, const std::vector<Vec3>& control,
                               const std::vector<double>& weights, int segmentsPerSpan);

}  // namespace kelvaro::cad
