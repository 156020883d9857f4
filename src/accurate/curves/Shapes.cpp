// Placing and flattening the accurate import's curves.
// SPDX-License-Identifier: MIT
#include "accurate/curves/Shapes.h"

#include <algorithm>  // std::min, std::max
#include <cmath>      // std::cos, std::sin, std::sqrt, std::hypot
#include <cstddef>    // std::ptrdiff_t

namespace Vexlor::Dxf {

namespace {

// The vertices of a polyline and the arcs of its bulges, in the frame, within `tolerance`.
void PolylinePoints(const Shape& shape, double tolerance, std::vector<Point2d>& out,
                    ApproximationNote note, void* context) {
    const std::size_t count = shape.points.size();
    if (count == 0) return;
    const std::vector<double>& bulges = shape.Bends().bulges;
    out.push_back(shape.points[0]);
    const std::size_t segments = shape.closed ? count : count - 1;
    for (std::size_t i = 0; i < segments; ++i) {
        const Point2d& to = shape.points[(i + 1) % count];
        const double bulge = bulges.empty() ? 0 : bulges[i];
        if (bulge == 0) {
            out.push_back(to);
            continue;
        }
        if (!AppendBulgeArc(shape.points[i], to, bulge, tolerance, out, CurveStart::Skip)) {
            out.push_back(to);
            note(context, "bulge that could not be drawn: straight segment");
        }
    }
}

}  // namespace

bool FlattenShape(const Shape& shape, const Affine3& placement, double tolerance,
                  std::vector<Point2d>& out, ApproximationNote note, void* context) {
    const Affine3 map = shape.ocs ? placement * shape.Frame() : placement;
    const std::size_t first = out.size();
    switch (shape.kind) {
        case Shape::Kind::Conic: {
            // The placed conic is again one: its center and axes carry the whole transform.
            const ConicArc& conic = shape.Conic();
            return AppendConjugateArc(map.ApplyXy(conic.center.x, conic.center.y, conic.center.z),
                                      map.DirectionXy(conic.axisU), map.DirectionXy(conic.axisV),
                                      conic.start, conic.end, tolerance, out);
        }
        case Shape::Kind::Nurbs: {
            if (map.IsIdentity()) return AppendNurbs(shape.spline->nurbs, tolerance, out);
            // A NURBS curve placed is the curve of its placed control points.
            NurbsCurve placed = shape.spline->nurbs;
            const std::vector<double>& heights = shape.spline->heights;
            for (std::size_t i = 0; i < placed.controlPoints.size(); ++i) {
                const Point2d& p = placed.controlPoints[i];
                placed.controlPoints[i] =
                    map.ApplyXy(p.x, p.y, i < heights.size() ? heights[i] : shape.elevation);
            }
            return AppendNurbs(placed, tolerance, out);
        }
        case Shape::Kind::Path: {
            // Each part from where the one before ended: a joint within the tolerance is one
            // point; a part that cannot be evaluated leaves a straight gap.
            std::vector<Point2d> part;
            for (const Shape& piece : shape.Parts()) {
                part.clear();
                if (!FlattenShape(piece, placement, tolerance, part, note, context)) {
                    note(context, "hatch edge that could not be evaluated: left out");
                    continue;
                }
                std::size_t from = 0;
                if (out.size() > first && !part.empty()) {
                    const double dx = part[0].x - out.back().x, dy = part[0].y - out.back().y;
                    if (dx * dx + dy * dy <= tolerance * tolerance) from = 1;
                }
                out.insert(out.end(), part.begin() + static_cast<std::ptrdiff_t>(from), part.end());
            }
            return true;
        }
        case Shape::Kind::FitSpline:
        case Shape::Kind::Polyline:
            break;
    }
    // Flattened in the frame, closer by the placement's stretch, then placed point by point: a
    // point of the curve placed is a point of the placed curve.
    const bool identity = map.IsIdentity();
    const double local = identity ? tolerance : tolerance / map.Stretch();
    if (shape.kind == Shape::Kind::FitSpline) {
        if (!AppendFitPointSpline(shape.points, shape.spline->startTangent,
                                  shape.spline->endTangent, local, out)) {
            return false;
        }
    } else {
        PolylinePoints(shape, local, out, note, context);
    }
    const std::vector<double>& heights = shape.Bends().heights;
    if (identity && heights.empty()) return true;
    for (std::size_t i = first; i < out.size(); ++i) {
        // A closed polyline's last point is its first again.
        const double z = heights.empty() ? shape.elevation : heights[(i - first) % heights.size()];
        out[i] = map.ApplyXy(out[i].x, out[i].y, z);
    }
    return true;
}

std::size_t DefiningSize(const Shape& shape) {
    if (shape.kind != Shape::Kind::Path) return shape.DefiningPoints().size();
    std::size_t size = 0;
    for (const Shape& part : shape.Parts()) size += std::max<std::size_t>(1, DefiningSize(part));
    return size;
}

std::size_t EvaluationCost(const Shape& shape) {
    std::size_t cost = 0;
    if (shape.kind == Shape::Kind::Path) {
        for (const Shape& part : shape.Parts()) cost += EvaluationCost(part);
    }
    if (shape.kind != Shape::Kind::Nurbs) return cost;
    const NurbsCurve& nurbs = shape.spline->nurbs;
    if (nurbs.degree < 1 || nurbs.degree > kMaxNurbsDegree) return cost;  // refused at once
    const auto degree = static_cast<std::size_t>(nurbs.degree);
    const std::size_t spans =
        nurbs.controlPoints.size() > degree ? nurbs.controlPoints.size() - degree : 0;
    // About 64 operations of a span's conversion cost what a point of the curve does.
    return cost + spans * (degree + 1) * (degree + 1) * (degree + 1) / 64;
}

void NoteExtent(const Shape& shape, const Affine3& placement, Box2d& box) {
    const auto note = [&](const Point2d& p) { box.Extend(p); };
    if (shape.kind == Shape::Kind::Path) {
        for (const Shape& part : shape.Parts()) NoteExtent(part, placement, box);
        return;
    }
    const Affine3 map = shape.ocs ? placement * shape.Frame() : placement;
    if (shape.kind == Shape::Kind::Conic) {
        // The box of the whole ellipse center + cos(t) u + sin(t) v: x reaches as far as
        // |(u.x, v.x)| from the center, y as far as |(u.y, v.y)|.
        const ConicArc& conic = shape.Conic();
        const Point2d center = map.ApplyXy(conic.center.x, conic.center.y, conic.center.z);
        const Point2d u = map.DirectionXy(conic.axisU);
        const Point2d v = map.DirectionXy(conic.axisV);
        const double reachX = std::hypot(u.x, v.x);
        const double reachY = std::hypot(u.y, v.y);
        note({center.x - reachX, center.y - reachY});
        note({center.x + reachX, center.y + reachY});
        return;
    }
    const bool identity = map.IsIdentity();
    const std::vector<double>& heights = shape.spline ? shape.spline->heights : shape.Heights();
    const std::vector<Point2d>& points = shape.DefiningPoints();
    for (std::size_t i = 0; i < points.size(); ++i) {
        const Point2d& p = points[i];
        const double z = i < heights.size() ? heights[i] : shape.elevation;
        note(identity ? p : map.ApplyXy(p.x, p.y, z));
    }
}

}  // namespace Vexlor::Dxf
