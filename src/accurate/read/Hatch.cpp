// The boundary paths of a HATCH: its groups read in their order, where counts say how many of
// each follow; fills and patterns add no lines.
// SPDX-License-Identifier: MIT
#include <cmath>   // std::atan2, std::cos, std::sin, std::fabs
#include <memory>  // std::make_unique

#include "accurate/read/EntityReaders.h"

namespace Vexlor::Dxf {

namespace {

// Reads a HATCH's groups in their order: counts say how many of each follow.
class HatchReader {
public:
    explicit HatchReader(const Entity& entity) : m_entity(entity), m_groups(entity.Groups()) {}

    std::vector<Shape> Boundaries() {
        std::vector<Shape> shapes;
        while (m_at < m_groups.size() && m_groups[m_at].code != 91) ++m_at;
        if (m_at == m_groups.size()) return shapes;
        const long long paths = Count(91);
        for (long long p = 0; p < paths; ++p) {
            const long long flags = Integer(92);
            if (flags & 2) {
                PolylinePath(shapes);
            } else {
                // The edges of a path run end to end round one loop: one closed shape.
                Shape path;
                std::vector<Shape>& parts = path.MakePath();
                path.closed = true;
                const long long edges = Count(93);
                for (long long e = 0; e < edges; ++e) Edge(parts);
                if (!parts.empty()) shapes.push_back(std::move(path));
            }
            // The boundary objects it came from: handles, no geometry.
            if (At(97)) {
                const long long objects = Count(97);
                for (long long k = 0; k < objects && At(330); ++k) ++m_at;
            }
        }
        return shapes;
    }

private:
    bool At(int code) const { return m_at < m_groups.size() && m_groups[m_at].code == code; }
    const Group& Expect(int code) {
        if (!At(code)) {
            if (m_at < m_groups.size()) {
                m_entity.Fail(m_groups[m_at], "group " + std::to_string(code) +
                                                  " expected in a boundary path, not " +
                                                  std::to_string(m_groups[m_at].code));
            }
            m_entity.Fail("the boundary paths end early: group " + std::to_string(code) +
                          " expected");
        }
        return m_groups[m_at++];
    }
    double Number(int code) { return m_entity.Number(Expect(code)); }
    double NumberOr(int code, double fallback) { return At(code) ? Number(code) : fallback; }
    long long Integer(int code) { return m_entity.Integer(Expect(code)); }
    // A count of what follows: each takes a group at least, so no count beyond the groups
    // that are left is believed.
    long long Count(int code) {
        const Group& group = Expect(code);
        const long long count = m_entity.Integer(group);
        if (count < 0 || static_cast<unsigned long long>(count) > m_groups.size() - m_at) {
            m_entity.Fail(group, "group " + std::to_string(code) + " counts " +
                                     std::to_string(count) + ", more than follow");
        }
        return count;
    }
    Point2d Point(int x, int y) {
        const double px = Number(x);
        return {px, Number(y)};
    }

    void PolylinePath(std::vector<Shape>& shapes) {
        const bool bulged = Integer(72) != 0;
        Integer(73);  // closed or not: a boundary is a loop either way
        const long long vertices = Count(93);
        Shape shape;
        shape.closed = true;
        std::vector<double>& bulges = shape.Bends().bulges;
        for (long long v = 0; v < vertices; ++v) {
            shape.points.push_back(Point(10, 20));
            bulges.push_back(bulged ? NumberOr(42, 0) : 0);
        }
        DropStraightBulges(shape);
        shapes.push_back(std::move(shape));
    }

    void Edge(std::vector<Shape>& shapes) {
        const long long type = Integer(72);
        Shape shape;
        if (type == 1) {
            const Point2d from = Point(10, 20);
            shape.points = {from, Point(11, 21)};
        } else if (type == 2) {
            const Point2d center = Point(10, 20);
            const double radius = Number(40);
            const double start = Number(50) * kDegree;
            const double end = Number(51) * kDegree;
            const bool counterClockwise = Integer(73) != 0;
            ConicArc& conic = CircleShape(shape, {center.x, center.y, 0}, radius, start, end, true);
            // A clockwise edge gives its angles as seen mirrored in x: it runs from -start
            // clockwise to -end.
            if (!counterClockwise) conic.axisV = {0, -radius, 0};
            shape.closed = false;
        } else if (type == 3) {
            const Point2d center = Point(10, 20);
            const Point2d major = Point(11, 21);
            const double ratio = Number(40);
            ConicArc& conic = shape.MakeConic();
            conic.center = {center.x, center.y, 0};
            conic.axisU = {major.x, major.y, 0};
            conic.axisV = {-major.y * ratio, major.x * ratio, 0};
            // The edge gives angles, in degrees, seen from the center: the parameter of
            // angle a has the direction (cos a, sin a / ratio). A sweep of a whole turn or
            // more is the whole ellipse.
            const double start = Number(50);
            const double end = Number(51);
            const auto parameter = [ratio](double degrees) {
                const double a = degrees * kDegree;
                return std::atan2(std::sin(a) / ratio, std::cos(a));
            };
            conic.start = parameter(start);
            conic.end = std::fabs(end - start) >= 360 ? conic.start + 2 * kPi : parameter(end);
            if (Integer(73) == 0) conic.axisV = {-conic.axisV.x, -conic.axisV.y, 0};
        } else if (type == 4) {
            SplineEdge(shape);
        } else {
            m_entity.Fail(m_groups[m_at - 1],
                          "boundary edge of unknown type " + std::to_string(type));
        }
        shapes.push_back(std::move(shape));
    }

    void SplineEdge(Shape& shape) {
        shape.spline = std::make_unique<SplineData>();
        NurbsCurve& nurbs = shape.spline->nurbs;
        nurbs.degree = static_cast<int>(Integer(94));
        const bool rational = Integer(73) != 0;
        Integer(74);  // periodic: the knots and control points carry it
        const long long knots = Count(95);
        const long long controls = Count(96);
        for (long long k = 0; k < knots; ++k) nurbs.knots.push_back(Number(40));
        for (long long c = 0; c < controls; ++c) {
            nurbs.controlPoints.push_back(Point(10, 20));
            if (At(42)) {
                const double weight = Number(42);
                if (rational) nurbs.weights.push_back(weight);
            }
        }
        std::vector<Point2d> fit;
        if (At(97)) {
            const long long fits = Count(97);
            for (long long f = 0; f < fits; ++f) fit.push_back(Point(11, 21));
            if (At(12)) shape.spline->startTangent = Point(12, 22);
            if (At(13)) shape.spline->endTangent = Point(13, 23);
        }
        if (!nurbs.controlPoints.empty()) {
            shape.kind = Shape::Kind::Nurbs;
        } else {
            shape.kind = Shape::Kind::FitSpline;
            shape.points = std::move(fit);
        }
    }

    const Entity& m_entity;
    const std::vector<Group>& m_groups;
    std::size_t m_at = 0;
};

}  // namespace

std::vector<Shape> ReadHatchBoundaries(const Entity& entity) {
    return HatchReader(entity).Boundaries();
}

}  // namespace Vexlor::Dxf
