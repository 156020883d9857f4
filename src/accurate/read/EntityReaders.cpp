// The entities that give contours: polylines with their bulges, circles and arcs, ellipses and
// splines, each read into a Shape in its frame; and the INSERT that places a block.
// SPDX-License-Identifier: MIT
#include "accurate/read/EntityReaders.h"

#include <algorithm>  // std::all_of, std::any_of, std::max
#include <memory>     // std::make_unique
#include <optional>   // std::optional

#include "accurate/curves/Ocs.h"

namespace Vexlor::Dxf {

void SetFrame(Shape& shape, const Point3d& extrusion) {
    shape.ocs = !WorldAxes(extrusion);
    if (shape.ocs) shape.extrusion = extrusion;
}

namespace {

// Whether bulges all zero: they say no more than none.
bool AllStraight(const std::vector<double>& bulges) {
    return std::all_of(bulges.begin(), bulges.end(), [](double bulge) { return bulge == 0; });
}

}  // namespace

void DropStraightBulges(Shape& shape) {
    std::vector<double>& bulges = shape.Bends().bulges;
    if (AllStraight(bulges)) bulges.clear();
}

ConicArc& CircleShape(Shape& shape, const Point3d& center, double radius, double start, double end,
                      bool arc) {
    ConicArc& conic = shape.MakeConic();
    conic.center = center;
    conic.axisU = {radius, 0, 0};
    conic.axisV = {0, radius, 0};
    shape.closed = !arc;
    conic.start = arc ? start : 0;
    conic.end = arc ? end : 2 * kPi;
    return conic;
}

Insert ReadInsert(const Entity& entity) {
    Insert insert;
    insert.block = std::string(entity.RawText(2));
    insert.position = entity.Position();
    insert.at = entity.PointOr(10, {0, 0, 0});
    insert.scale = {entity.NumberOr(41, 1), entity.NumberOr(42, 1), entity.NumberOr(43, 1)};
    insert.rotation = entity.NumberOr(50, 0) * kDegree;
    insert.extrusion = entity.Extrusion();
    insert.columns = std::max<long long>(1, entity.IntegerOr(70, 1));
    insert.rows = std::max<long long>(1, entity.IntegerOr(71, 1));
    insert.columnSpacing = entity.NumberOr(44, 0);
    insert.rowSpacing = entity.NumberOr(45, 0);
    return insert;
}

namespace {

const char* LightPolyline(Entity& entity, const std::vector<Entity>&, Shape& shape) {
    shape.closed = (entity.IntegerOr(70, 0) & 1) != 0;
    shape.elevation = entity.NumberOr(38, 0);
    SetFrame(shape, entity.Extrusion());
    // The vertices take exactly their room: a drawing's polylines can hold most of its points.
    shape.points = entity.TakeVertices();
    // Straight ones are dropped before they are copied.
    const std::vector<double>& bulges = entity.Bulges();
    if (!AllStraight(bulges)) shape.Bends().bulges.assign(bulges.begin(), bulges.end());
    return nullptr;
}

const char* Polyline(Entity& entity, const std::vector<Entity>& vertices, Shape& shape) {
    const long long flags = entity.IntegerOr(70, 0);
    if (flags & 16) return "POLYGON MESH";
    if (flags & 64) return "POLYFACE MESH";
    shape.closed = (flags & 1) != 0;
    if (flags & 8) {
        // A 3D polyline: its vertices are in world coordinates, straight from one to the next.
        // Seen from above, as a LINE with z is; its heights count where a block is placed tilted.
        bool raised = false;
        std::vector<double>& heights = shape.Bends().heights;
        for (const Entity& vertex : vertices) {
            if (vertex.IntegerOr(70, 0) & 16) continue;
            shape.points.push_back({vertex.NumberOr(10, 0), vertex.NumberOr(20, 0)});
            heights.push_back(vertex.NumberOr(30, 0));
            raised = raised || heights.back() != 0;
        }
        if (!raised) heights.clear();
        return nullptr;
    }
    shape.elevation = entity.NumberOr(30, 0);
    SetFrame(shape, entity.Extrusion());
    std::vector<double>& bulges = shape.Bends().bulges;
    for (const Entity& vertex : vertices) {
        // Frame control points of a spline-fit polyline are not on the curve.
        if (vertex.IntegerOr(70, 0) & 16) continue;
        shape.points.push_back({vertex.NumberOr(10, 0), vertex.NumberOr(20, 0)});
        bulges.push_back(vertex.NumberOr(42, 0));
    }
    DropStraightBulges(shape);
    return nullptr;
}

// A circle or arc in its object coordinate system: center (10, 20, 30), radius, angles. Its
// groups are found in one pass, the first of each code as everywhere.
const char* Circle(const Entity& entity, bool arc, Shape& shape) {
    static constexpr auto kSlots = SlotsByCode<231>(CircleNumbers::kCodes);
    const Group* found[CircleNumbers::kCount];
    entity.FindFirst(kSlots, found);
    return CircleFrom(
        arc,
        [&](int slot, double fallback) {
            return found[slot] ? entity.Number(*found[slot]) : fallback;
        },
        [&](const char* what) { entity.Fail(what); }, shape);
}

const char* Ellipse(Entity& entity, const std::vector<Entity>&, Shape& shape) {
    ConicArc& conic = shape.MakeConic();
    const double ratio = entity.NumberOr(40, 1);
    if (!(ratio > 0)) entity.Fail("the axis ratio is not positive");
    // In world coordinates: the frame is the world's.
    conic.axisU = entity.PointOr(11, {0, 0, 0});
    conic.center = entity.PointOr(10, {0, 0, 0});
    conic.axisV = EllipseMinorAxis(entity.Extrusion(), conic.axisU, ratio);
    conic.start = entity.NumberOr(41, 0);
    conic.end = entity.NumberOr(42, 2 * kPi);
    shape.closed = ArcSpan(conic.start, conic.end) >= 2 * kPi;
    return nullptr;
}

const char* Spline(Entity& entity, const std::vector<Entity>&, Shape& shape) {
    const long long flags = entity.IntegerOr(70, 0);
    shape.spline = std::make_unique<SplineData>();
    NurbsCurve& nurbs = shape.spline->nurbs;
    std::vector<double>& heights = shape.spline->heights;
    nurbs.degree = static_cast<int>(entity.IntegerOr(71, 3));
    std::vector<Point2d> fit;
    nurbs.knots.reserve(entity.Count(40));
    // The control points were read as they came; a value of theirs that is no number fails
    // where it stood among these.
    const std::vector<Group>& groups = entity.Groups();
    for (std::size_t i = 0; i < groups.size(); ++i) {
        entity.CheckControlPoints(i);
        const Group& group = groups[i];
        switch (group.code) {
            case 40:
                nurbs.knots.push_back(entity.Number(group));
                break;
            case 41:
                nurbs.weights.push_back(entity.Number(group));
                break;
            case 11:
                fit.push_back({entity.Number(group), 0});
                break;
            case 21:
                if (!fit.empty()) fit.back().y = entity.Number(group);
                break;
            default:
                break;
        }
    }
    nurbs.controlPoints = entity.TakeControlPoints(heights);  // or its error, last of all
    // Heights all 0 are the plane's: none.
    const bool raised =
        std::any_of(heights.begin(), heights.end(), [](double z) { return z != 0; });
    if (!raised) std::vector<double>().swap(heights);
    // Weights of a spline that is not rational are all 1, whatever is written.
    if (!(flags & 4)) nurbs.weights.clear();
    if (!nurbs.controlPoints.empty()) {
        shape.kind = Shape::Kind::Nurbs;
    } else if (!fit.empty()) {
        shape.kind = Shape::Kind::FitSpline;
        shape.points = fit;
        const auto tangent = [&](int x, int y) -> std::optional<Point2d> {
            if (!entity.Find(x)) return std::nullopt;
            return Point2d{entity.NumberOr(x, 0), entity.NumberOr(y, 0)};
        };
        shape.spline->startTangent = tangent(12, 22);
        shape.spline->endTangent = tangent(13, 23);
    } else {
        return "SPLINE without points";
    }
    shape.closed = (flags & 1) != 0;
    return nullptr;
}

struct Reader {
    std::string_view type;
    ShapeReader read;
};

constexpr Reader kReaders[] = {
    {"LWPOLYLINE", LightPolyline},
    {"POLYLINE", Polyline},
    {"ARC", [](Entity& e, const std::vector<Entity>&, Shape& s) { return Circle(e, true, s); }},
    {"CIRCLE", [](Entity& e, const std::vector<Entity>&, Shape& s) { return Circle(e, false, s); }},
    {"ELLIPSE", Ellipse},
    {"SPLINE", Spline},
};

}  // namespace

ShapeReader ShapeReaderOf(std::string_view type) {
    for (const Reader& reader : kReaders) {
        if (reader.type == type) return reader.read;
    }
    return nullptr;
}

}  // namespace Vexlor::Dxf
