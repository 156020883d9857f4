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
#include <variant>   // std::variant, std::get, std::get_if
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

/// A circle, arc or ellipse in its frame: center + cos(t) axisU + sin(t) axisV, for t from
/// `start` to `end`.
struct ConicArc {
    Point3d center{0, 0, 0};
    Point3d axisU{0, 0, 0};
    Point3d axisV{0, 0, 0};
    double start = 0;
    double end = 0;
};

/// What a polyline adds to its vertices: the bulge from each to the next (none: all straight),
/// and a height for each (none: all at the elevation), for a LINE or a 3D polyline not all at
/// z 0, straight then.
struct VertexBends {
    std::vector<double> bulges;
    std::vector<double> heights;
};

/// One curve of the drawing in its own frame. The model space holds one for each of its curves,
/// so what only some kinds need shares its room: a conic's axes, a polyline's bulges and
/// heights, a path's parts.
struct Shape {
    Source source;
    enum class Kind : std::uint8_t { Polyline, Conic, Nurbs, FitSpline, Path };
    Kind kind = Kind::Polyline;
    bool closed = false;
    /// The frame: the object coordinate system of `extrusion` (`ocs`), or the world's axes.
    bool ocs = false;
    Point3d extrusion{0, 0, 1};
    /// A polyline's vertices in the frame at height `elevation` (or at its heights); a fit
    /// spline's fit points. A NURBS curve's control points are its spline's.
    std::vector<Point2d> points;
    double elevation = 0;
    std::unique_ptr<SplineData> spline;

    /// Makes the shape the conic it returns; or a path of the parts it returns.
    ConicArc& MakeConic() {
        kind = Kind::Conic;
        return m_geometry.emplace<ConicArc>();
    }
    std::vector<Shape>& MakePath() {
        kind = Kind::Path;
        return m_geometry.emplace<std::vector<Shape>>();
    }

    /// A conic's arc; a path's parts; a polyline's or spline's bends (a spline has none).
    /// Asking a shape for what its kind does not hold throws std::bad_variant_access.
    ConicArc& Conic() { return std::get<ConicArc>(m_geometry); }
    const ConicArc& Conic() const { return std::get<ConicArc>(m_geometry); }
    std::vector<Shape>& Parts() { return std::get<std::vector<Shape>>(m_geometry); }
    const std::vector<Shape>& Parts() const { return std::get<std::vector<Shape>>(m_geometry); }
    VertexBends& Bends() { return std::get<VertexBends>(m_geometry); }
    const VertexBends& Bends() const { return std::get<VertexBends>(m_geometry); }
    /// The heights of a polyline's vertices; none for any other kind.
    const std::vector<double>& Heights() const {
        static const std::vector<double> kNone;
        const auto* bends = std::get_if<VertexBends>(&m_geometry);
        return bends ? bends->heights : kNone;
    }
    /// The points that define it: vertices, fit points or control points.
    const std::vector<Point2d>& DefiningPoints() const {
        return kind == Kind::Nurbs ? spline->nurbs.controlPoints : points;
    }

    /// From the shape's frame to its container's coordinates.
    Affine3 Frame() const {
        if (!ocs) return Affine3{};
        const OcsAxes axes = ArbitraryAxes(extrusion);
        return Affine3::Columns(axes.xAxis, axes.yAxis, axes.zAxis);
    }
    bool Straight() const { return kind == Kind::Polyline && Bends().bulges.empty(); }

private:
    std::variant<VertexBends, ConicArc, std::vector<Shape>> m_geometry;
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
