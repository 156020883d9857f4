// The object coordinate system of an entity, from its extrusion direction, and the mapping of
// its points to world coordinates and onto the world xy plane.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::max
#include <cmath>      // std::fabs, std::isfinite, std::sqrt
#include <cstddef>    // std::size_t
#include <vector>     // std::vector

#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// The axes of an object coordinate system in world coordinates, each of length 1, right-handed.
struct OcsAxes {
    Point3d xAxis;
    Point3d yAxis;
    /// The extrusion direction.
    Point3d zAxis;
};

/// a x b.
inline Point3d Cross3d(const Point3d& a, const Point3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

/// `v` scaled to length 1, scaled down first so that no square overflows or underflows; false
/// when `v` is zero or not finite.
inline bool NormalizeDirection(Point3d& v) {
    if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) return false;
    const double scale = std::max({std::fabs(v.x), std::fabs(v.y), std::fabs(v.z)});
    if (scale == 0) return false;
    const Point3d s{v.x / scale, v.y / scale, v.z / scale};
    const double length = std::sqrt(s.x * s.x + s.y * s.y + s.z * s.z);
    v = {s.x / length, s.y / length, s.z / length};
    return true;
}

/// The axes for `extrusion`: z is the extrusion scaled to length 1; x is world y cross z when z
/// lies within 1/64 of the world z axis in both x and y, else world z cross z, scaled to length
/// 1; y is z cross x. An extrusion that is zero or not finite is taken as (0, 0, 1), whose axes
/// are the world axes.
inline OcsAxes ArbitraryAxes(const Point3d& extrusion) {
    Point3d z = extrusion;
    if (!NormalizeDirection(z)) z = {0, 0, 1};
    constexpr double kNearPole = 1.0 / 64;
    const bool nearPole = std::fabs(z.x) < kNearPole && std::fabs(z.y) < kNearPole;
    Point3d x = Cross3d(nearPole ? Point3d{0, 1, 0} : Point3d{0, 0, 1}, z);
    NormalizeDirection(x);  // never zero: z is at least 1/64 away from the axis crossed
    Point3d y = Cross3d(z, x);
    NormalizeDirection(y);
    return {x, y, z};
}

/// The world coordinates of the point (x, y, z) of the object coordinate system `axes`.
inline Point3d OcsToWorld(const OcsAxes& axes, const Point3d& p) {
    return {axes.xAxis.x * p.x + axes.yAxis.x * p.y + axes.zAxis.x * p.z,
            axes.xAxis.y * p.x + axes.yAxis.y * p.y + axes.zAxis.y * p.z,
            axes.xAxis.z * p.x + axes.yAxis.z * p.y + axes.zAxis.z * p.z};
}

/// The points from index `first` on, flattened in the object coordinate system at height
/// `elevation`, replaced by their world positions seen from above: world x and y, z dropped. The
/// mapping keeps distances and the projection shortens none, so a flattening within a tolerance
/// stays within it.
inline void MapOcsToWorldXy(const OcsAxes& axes, double elevation, std::vector<Point2d>& points,
                            std::size_t first = 0) {
    for (std::size_t i = first; i < points.size(); ++i) {
        const Point3d world = OcsToWorld(axes, {points[i].x, points[i].y, elevation});
        points[i] = {world.x, world.y};
    }
}

/// The minor axis of an ellipse in world coordinates, as the drawing implies it: the extrusion,
/// scaled to length 1 (or (0, 0, 1) as for ArbitraryAxes), cross the major axis, scaled by
/// `ratio`. It turns counter-clockwise from the major axis seen against the extrusion.
inline Point3d EllipseMinorAxis(const Point3d& extrusion, const Point3d& majorAxis, double ratio) {
    Point3d z = extrusion;
    if (!NormalizeDirection(z)) z = {0, 0, 1};
    const Point3d minor = Cross3d(z, majorAxis);
    return {minor.x * ratio, minor.y * ratio, minor.z * ratio};
}

}  // namespace Vexlor::Dxf
