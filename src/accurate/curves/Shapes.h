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

#include "accurate/curves/Curves.h"
#include "accurate/curves/Ocs.h"

namespace Vexlor::Dxf {

/// Where a contour's first piece came from: its entity kind and layer as indices into the
/// import's names (a drawing has few of them, and many pieces), and its handle as an index into
/// the import's handles (0: none). Every piece carries one, and every copy a block placement
/// makes: it is kept small and copied without allocating.
struct Source {
    std::uint32_t entity = 0;
    std::uint32_t layer = 0;
    std::uint32_t handle = 0;
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
    /// vertex, for a LINE or a 3D polyline not all at z 0; straight then), and the bulge from
    /// each to the next (none: all straight). The defining points of a spline.
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
    Affine3 Frame() const {
        return ocs ? Affine3::Columns(axes.xAxis, axes.yAxis, axes.zAxis) : Affine3{};
    }
    bool Straight() const { return kind == Kind::Polyline && bulges.empty(); }
};

/// Notes what an approximation gave up, by what it was.
using ApproximationNote = void (*)(void* context, const std::string& what);

/// The points of `shape` placed by `placement` (container to world), seen from above, within
/// `tolerance` in the world; appended to `out`. False, with `out` as it was, when its curve could
/// not be evaluated. `note` hears of bulges drawn straight.
bool FlattenShape(const Shape& shape, const Affine3& placement, double tolerance,
                  std::vector<Point2d>& out, ApproximationNote note, void* context);

/// The points that define `shape`, its parts' included: what placing it costs before it is
/// flattened.
std::size_t DefiningSize(const Shape& shape);

/// What flattening `shape` costs beyond the points it gives, in points: a NURBS curve's spans
/// cost of the order of the cube of its degree each.
std::size_t EvaluationCost(const Shape& shape);

/// Widens `box` by the points that define `shape` placed by `placement`: vertices, control
/// points, the box of a conic's whole ellipse.
void NoteExtent(const Shape& shape, const Affine3& placement, Box2d& box);

}  // namespace Vexlor::Dxf
