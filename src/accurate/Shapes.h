// The curves of a drawing as the accurate import holds them until the chord tolerance is known:
// each in its own frame (an object coordinate system, or the world's), placed by an affine
// transform (a block's insertion, the unit conversion) and flattened onto the world xy plane.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>   // std::size_t
#include <cstdint>   // std::uint32_t
#include <memory>    // std::unique_ptr
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

#include "accurate/Curves.h"
#include "accurate/Ocs.h"

namespace Vexlor::Dxf {

/// An affine transform of space: p' = m p + t, rows of m then t.
struct Affine3 {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static Affine3 Translation(const Point3d& t) {
        Affine3 a;
        a.m[0][3] = t.x;
        a.m[1][3] = t.y;
        a.m[2][3] = t.z;
        return a;
    }
    static Affine3 Scaling(double x, double y, double z) {
        Affine3 a;
        a.m[0][0] = x;
        a.m[1][1] = y;
        a.m[2][2] = z;
        return a;
    }
    /// A turn by `radians` about the z axis.
    static Affine3 Rotation(double radians);
    /// From the object coordinate system `axes` to the world.
    static Affine3 Axes(const OcsAxes& axes);

    bool IsIdentity() const;
    /// The world xy of the point (x, y, z).
    Point2d ApplyXy(double x, double y, double z) const {
        return {m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3],
                m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]};
    }
    /// The world xy of the direction (x, y, z): the translation left out.
    Point2d DirectionXy(const Point3d& d) const {
        return {m[0][0] * d.x + m[0][1] * d.y + m[0][2] * d.z,
                m[1][0] * d.x + m[1][1] * d.y + m[1][2] * d.z};
    }
    /// The largest factor by which the map of a frame's xy plane onto the world xy plane
    /// stretches a length: a curve flattened in the frame within tolerance / Stretch() is within
    /// the tolerance in the world.
    double Stretch() const;
};

/// a after b: (a * b)(p) = a(b(p)).
Affine3 operator*(const Affine3& a, const Affine3& b);

/// Where a contour's first piece came from: its entity kind and layer as indices into the
/// import's names (a drawing has few of them, and many pieces), and its handle.
struct Source {
    std::uint32_t entity = 0;
    std::uint32_t layer = 0;
    std::string handle;
};

/// What a spline adds to a shape.
struct SplineData {
    NurbsCurve nurbs;
    /// The control points' heights (z), for a spline placed under a tilted frame.
    std::vector<double> heights;
    std::optional<Point2d> startTangent;
    std::optional<Point2d> endTangent;
};

/// One curve of the drawing in its own frame.
struct Shape {
    Source source;
    enum class Kind { Polyline, Conic, Nurbs, FitSpline, Path } kind = Kind::Polyline;
    bool closed = false;
    /// The frame: an object coordinate system (`ocs`) or the world's axes.
    bool ocs = false;
    OcsAxes axes{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    /// A polyline: its vertices in the frame at height `elevation` (or at `heights`, one per
    /// vertex, for a LINE whose ends differ in z), and the bulge from each to the next (none: all
    /// straight). The defining points of a spline.
    std::vector<Point2d> points;
    std::vector<double> bulges;
    std::vector<double> heights;
    double elevation = 0;
    /// A circle, arc or ellipse in the frame: center + cos(t) axisU + sin(t) axisV.
    Point3d center{0, 0, 0};
    Point3d axisU{0, 0, 0};
    Point3d axisV{0, 0, 0};
    double start = 0;
    double end = 0;
    std::unique_ptr<SplineData> spline;
    /// A path: curves end to end in the same frame (the edges of a hatch boundary).
    std::vector<Shape> parts;

    /// From the shape's frame to its container's coordinates.
    Affine3 Frame() const { return ocs ? Affine3::Axes(axes) : Affine3{}; }
    bool Straight() const { return kind == Kind::Polyline && bulges.empty(); }
};

/// Notes what an approximation gave up, by what it was.
using ApproximationNote = void (*)(void* context, const std::string& what);

/// The points of `shape` placed by `placement` (container to world), seen from above, within
/// `tolerance` in the world; appended to `out`. False, with `out` as it was, when its curve could
/// not be evaluated. `note` hears of bulges drawn straight.
bool FlattenShape(const Shape& shape, const Affine3& placement, double tolerance,
                  std::vector<Point2d>& out, ApproximationNote note, void* context);

/// Widens the box (minimum, maximum; `any` false while empty) by the points that define `shape`
/// placed by `placement`: vertices, control points, the box of a conic's whole ellipse.
void NoteExtent(const Shape& shape, const Affine3& placement, bool& any, Point2d& minimum,
                Point2d& maximum);

}  // namespace Vexlor::Dxf
