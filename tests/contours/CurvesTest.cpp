// The accurate import's curve flattening and object coordinate systems against the rules that
// define the curves: points on the circle, ellipse or polynomial of the input, chords within the
// tolerance and no finer than needed, and what degenerate and refused input gives.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::max, std::min
#include <cmath>       // std::atan2, std::cos, std::hypot, std::remainder, std::sin, ...
#include <cstddef>     // std::size_t
#include <functional>  // std::function
#include <limits>      // std::numeric_limits
#include <memory>      // std::make_unique
#include <optional>    // std::nullopt
#include <ostream>     // std::ostream
#include <string>      // std::string
#include <vector>      // std::vector

#include "accurate/curves/Curves.h"
#include "accurate/curves/Ocs.h"
#include "accurate/curves/Shapes.h"

namespace {

using Vexlor::Dxf::CurveStart;
using Vexlor::Dxf::NurbsCurve;
using Vexlor::Dxf::Point2d;
using Vexlor::Dxf::Point3d;
using Points = std::vector<Point2d>;
constexpr double kPi = 3.141592653589793;
constexpr double kDegree = kPi / 180;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double Distance(const Point2d& a, const Point2d& b) { return std::hypot(a.x - b.x, a.y - b.y); }

double SegmentDistance(const Point2d& p, const Point2d& a, const Point2d& b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double lengthSquared = dx * dx + dy * dy;
    double t = lengthSquared > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / lengthSquared : 0;
    t = t < 0 ? 0 : (t > 1 ? 1 : t);
    return Distance(p, {a.x + t * dx, a.y + t * dy});
}

Point2d OnCircle(const Point2d& center, double radius, double angle) {
    return {center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)};
}

// Checks points against the circle about `center` of `radius`: each on it within 1e-12 of the
// radius, each step turning the same way by less than a half turn and rising at most
// `tolerance`, r (1 - cos(step / 2)); with `equalSteps`, one step fewer of the same sweep would
// rise above it. Returns the signed angle swept.
double CheckCircleArc(const Points& points, const Point2d& center, double radius, double tolerance,
                      bool equalSteps) {
    double sweep = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        EXPECT_NEAR(Distance(points[i], center), radius, 1e-12 * radius) << "point " << i;
        if (i == 0) continue;
        const Point2d a{points[i - 1].x - center.x, points[i - 1].y - center.y};
        const Point2d b{points[i].x - center.x, points[i].y - center.y};
        const double step = std::atan2(a.x * b.y - a.y * b.x, a.x * b.x + a.y * b.y);
        EXPECT_LE(radius * (1 - std::cos(step / 2)), tolerance) << "step " << i;
        if (i > 1) {
            EXPECT_GT(step * sweep, 0) << "step " << i << " turns back";
        }
        sweep += step;
    }
    const double segments = static_cast<double>(points.size()) - 1;
    if (equalSteps && segments > 1) {
        EXPECT_GT(radius * (1 - std::cos(sweep / (segments - 1) / 2)), tolerance) << "too fine";
    }
    return sweep;
}

// The largest distance from `curve`, sampled 64 times between neighbouring points at the
// parameters `at` gives for them, to the segment between those points.
double ChordError(const Points& points, const std::function<double(const Point2d&)>& at,
                  const std::function<Point2d(double)>& curve) {
    double worst = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const double t0 = at(points[i - 1]);
        const double t1 = at(points[i]);
        for (int k = 1; k < 64; ++k) {
            const Point2d p = curve(t0 + (t1 - t0) * k / 64);
            worst = std::max(worst, SegmentDistance(p, points[i - 1], points[i]));
        }
    }
    return worst;
}

struct BulgeCase {
    std::string name;
    Point2d from;
    Point2d to;
    double bulge;
    double radius;  // of the circle about the origin the ends lie on
    double sweep;
};

void PrintTo(const BulgeCase& c, std::ostream* os) { *os << c.name; }

class BulgeArc : public testing::TestWithParam<BulgeCase> {};

TEST_P(BulgeArc, FollowsItsCircle) {
    const BulgeCase& c = GetParam();
    for (const double tolerance : {1e-2, 1e-3, 1e-6}) {
        Points out{{7, 7}};
        ASSERT_TRUE(Vexlor::Dxf::AppendBulgeArc(c.from, c.to, c.bulge, tolerance, out));
        ASSERT_GE(out.size(), 3u);
        EXPECT_EQ(out[1].x, c.from.x);  // the ends are copies, the caller's point kept before
        EXPECT_EQ(out[1].y, c.from.y);
        EXPECT_EQ(out.back().x, c.to.x);
        EXPECT_EQ(out.back().y, c.to.y);
        out.erase(out.begin());
        const double sweep = CheckCircleArc(out, {0, 0}, c.radius, tolerance, true);
        EXPECT_NEAR(sweep, c.sweep, 1e-12);
        Points skipped;
        Vexlor::Dxf::AppendBulgeArc(c.from, c.to, c.bulge, tolerance, skipped, CurveStart::Skip);
        EXPECT_EQ(skipped.size(), out.size() - 1);
    }
}

const double kQuarter = std::tan(kPi / 8);
INSTANTIATE_TEST_SUITE_P(
    Curves, BulgeArc,
    testing::Values(
        BulgeCase{"QuarterCircle", {1, 0}, {0, 1}, kQuarter, 1, kPi / 2},
        BulgeCase{"NegativeBulgeTurnsClockwise", {0, 1}, {1, 0}, -kQuarter, 1, -kPi / 2},
        BulgeCase{"HalfCircleBelowItsChord", {-1, 0}, {1, 0}, 1, 1, kPi},
        BulgeCase{
            "ThreeQuartersClockwise", {3, 0}, {0, 3}, -std::tan(3 * kPi / 8), 3, -3 * kPi / 2},
        BulgeCase{"NearlyFullCircle", OnCircle({0, 0}, 2, 1), OnCircle({0, 0}, 2, 0.99),
                  std::tan((2 * kPi - 0.01) / 4), 2, 2 * kPi - 0.01},
        BulgeCase{"FlatArcOfLargeRadius", OnCircle({0, 0}, 1e4, 1), OnCircle({0, 0}, 1e4, 1.002),
                  std::tan(0.002 / 4), 1e4, 0.002}),
    [](const testing::TestParamInfo<BulgeCase>& info_) { return info_.param.name; });

TEST(Curves, ArcSpanWrapsAndKeepsFullTurns) {
    const struct {
        double start, end, span;
    } rows[] = {{0, 2 * kPi, 2 * kPi},
                {1, 1, 0},
                {kPi, -kPi, 2 * kPi},
                {0, -kPi / 2, 1.5 * kPi},
                {350 * kDegree, 10 * kDegree, 20 * kDegree},
                {0, 4 * kPi, 2 * kPi},
                {1, 1 + 1e-13, 0},
                {-1, 1, 2},
                {3, 1, 2 * kPi - 2},
                {1, 1 + 2 * kPi + 1e-13, 2 * kPi}};
    for (const auto& row : rows) {
        EXPECT_NEAR(Vexlor::Dxf::ArcSpan(row.start, row.end), row.span, 1e-14)
            << row.start << " to " << row.end;
    }
}

TEST(Curves, ArcsRunCounterClockwiseAndWrap) {
    const struct {
        Point2d center;
        double radius, start, end, sweep;
    } rows[] = {{{2, 3}, 2, 350 * kDegree, 10 * kDegree, 20 * kDegree},
                {{-1, 0}, 5, 3, 1, 2 * kPi - 2},
                {{0, 0}, 1, -kPi / 2, kPi / 2, kPi},
                {{1e3, -1e3}, 0.5, 0, 2 * kPi, 2 * kPi}};
    for (const auto& row : rows) {
        Points out;
        ASSERT_TRUE(Vexlor::Dxf::AppendArc(row.center, row.radius, row.start, row.end, 1e-4, out));
        EXPECT_NEAR(CheckCircleArc(out, row.center, row.radius, 1e-4, true), row.sweep, 1e-12);
        EXPECT_LT(Distance(out.front(), OnCircle(row.center, row.radius, row.start)), 1e-12);
        EXPECT_LT(Distance(out.back(), OnCircle(row.center, row.radius, row.end)), 1e-12);
    }
    Points circle;
    ASSERT_TRUE(Vexlor::Dxf::AppendCircle({4, 5}, 3, 1e-3, circle));
    EXPECT_NEAR(CheckCircleArc(circle, {4, 5}, 3, 1e-3, true), 2 * kPi, 1e-12);
    EXPECT_EQ(circle.front().x, 7);  // starts at angle 0, and a full turn ends on its start
    EXPECT_EQ(circle.back().x, circle.front().x);
    EXPECT_EQ(circle.back().y, circle.front().y);
}

TEST(Curves, EllipticArcsStayOnTheirEllipse) {
    // Major axis (3, 4), 5 long, at a slant; minor axis (-4, 3) * ratio, 2.5 long.
    const Point2d center{1, 2};
    const Point2d major{3, 4};
    const struct {
        double start, end, sweep;
    } rows[] = {{0.3, 2.5, 2.2}, {5, 1, 2 * kPi - 4}, {0, 2 * kPi, 2 * kPi}};
    for (const auto& row : rows) {
        Points out;
        ASSERT_TRUE(
            Vexlor::Dxf::AppendEllipticArc(center, major, 0.5, row.start, row.end, 1e-4, out));
        // Coordinates along the unit axes, over the semi-axes 5 and 2.5: on the unit circle.
        const auto parameter = [&](const Point2d& p) {
            const double u = ((p.x - center.x) * 0.6 + (p.y - center.y) * 0.8) / 5;
            const double v = (-(p.x - center.x) * 0.8 + (p.y - center.y) * 0.6) / 2.5;
            EXPECT_NEAR(u * u + v * v, 1, 1e-12);
            return std::atan2(v, u);
        };
        const auto ellipse = [&](double t) {
            return Point2d{center.x + 3 * std::cos(t) - 2 * std::sin(t),
                           center.y + 4 * std::cos(t) + 1.5 * std::sin(t)};
        };
        EXPECT_LT(Distance(out.front(), ellipse(row.start)), 1e-12);
        EXPECT_LT(Distance(out.back(), ellipse(row.end)), 1e-12);
        double sweep = 0;
        for (std::size_t i = 1; i < out.size(); ++i) {
            const double step = std::remainder(parameter(out[i]) - parameter(out[i - 1]), 2 * kPi);
            EXPECT_GT(step, 0);
            sweep += step;
        }
        EXPECT_NEAR(sweep, row.sweep, 1e-12);
        double last = row.start;  // parameters unwrapped along the arc
        const auto unwrapped = [&](const Point2d& p) {
            return last += std::remainder(parameter(p) - last, 2 * kPi);
        };
        EXPECT_LE(ChordError(out, unwrapped, ellipse), 1e-4);
    }
}

// The standard rational quadratic circle of radius 1: four quarters, corner weights sqrt(2) / 2.
NurbsCurve UnitCircle() {
    const double w = std::sqrt(0.5);
    return {2,
            {0, 0, 0, 0.25, 0.25, 0.5, 0.5, 0.75, 0.75, 1, 1, 1},
            {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}},
            {1, w, 1, w, 1, w, 1, w, 1}};
}

TEST(Curves, RationalNurbsCircleIsExact) {
    for (const double tolerance : {1e-2, 1e-5}) {
        Points out;
        ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(UnitCircle(), tolerance, out));
        EXPECT_NEAR(CheckCircleArc(out, {0, 0}, 1, tolerance, false), 2 * kPi, 1e-12);
        EXPECT_EQ(out.front().x, 1);
        EXPECT_EQ(out.back().x, 1);
        EXPECT_EQ(out.back().y, 0);
    }
}

TEST(Curves, PolynomialNurbsMatchTheirPolynomials) {
    // A cubic Bezier with control x 0, 1, 2, 3 is the graph x = 3 t; knots left out are clamped.
    const NurbsCurve bezier{3, {}, {{0, 0}, {1, 3}, {2, -3}, {3, 1}}, {}};
    const auto bezierAt = [](double t) {
        const double s = 1 - t;
        return Point2d{3 * t, 3 * 3 * s * s * t - 3 * 3 * s * t * t + t * t * t};
    };
    // Uniform knots 0 to 7 without clamping: one span, x = 1 + s there by linear precision.
    const NurbsCurve uniform{3, {0, 1, 2, 3, 4, 5, 6, 7}, {{0, 0}, {1, 3}, {2, -3}, {3, 1}}, {}};
    const auto uniformAt = [](double s) {
        const double y = 3 * (3 * s * s * s - 6 * s * s + 4) / 6 -
                         3 * (-3 * s * s * s + 3 * s * s + 3 * s + 1) / 6 + s * s * s / 6;
        return Point2d{1 + s, y};
    };
    const struct {
        const NurbsCurve& curve;
        std::function<Point2d(double)> at;
        double offset, scale;  // x = offset + scale * parameter
    } rows[] = {{bezier, bezierAt, 0, 3}, {uniform, uniformAt, 1, 1}};
    for (const auto& row : rows) {
        Points out;
        ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(row.curve, 1e-4, out));
        const auto parameter = [&](const Point2d& p) { return (p.x - row.offset) / row.scale; };
        for (const Point2d& p : out) EXPECT_NEAR(p.y, row.at(parameter(p)).y, 1e-12);
        EXPECT_LT(Distance(out.front(), row.at(0)), 1e-15);
        EXPECT_LT(Distance(out.back(), row.at(1)), 1e-15);
        EXPECT_LE(ChordError(out, parameter, row.at), 1e-4);
        EXPECT_GT(ChordError(out, parameter, row.at), 0.1e-4);  // not far finer than needed
    }
}

// The point of `curve` at parameter t, from the Cox-de Boor basis functions: an evaluation of
// its own, sharing nothing with the flattening's Bezier pieces and halvings.
Point2d CoxDeBoor(const NurbsCurve& curve, double t) {
    const auto& u = curve.knots;
    const std::size_t p = static_cast<std::size_t>(curve.degree);
    const std::size_t n = curve.controlPoints.size();
    std::vector<double> basis(u.size() - 1);
    for (std::size_t i = 0; i + 1 < u.size(); ++i) {
        // The span holding t; the last span holds the end of the domain.
        basis[i] = (u[i] <= t && t < u[i + 1]) || (t == u[n] && u[i] < t && u[i + 1] == t) ? 1 : 0;
    }
    for (std::size_t d = 1; d <= p; ++d) {
        for (std::size_t i = 0; i + d + 1 < u.size(); ++i) {
            const double left = u[i + d] > u[i] ? (t - u[i]) / (u[i + d] - u[i]) * basis[i] : 0;
            const double right = u[i + d + 1] > u[i + 1]
                                     ? (u[i + d + 1] - t) / (u[i + d + 1] - u[i + 1]) * basis[i + 1]
                                     : 0;
            basis[i] = left + right;
        }
    }
    double x = 0, y = 0, w = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double weight = curve.weights.empty() ? 1 : curve.weights[i];
        x += basis[i] * weight * curve.controlPoints[i].x;
        y += basis[i] * weight * curve.controlPoints[i].y;
        w += basis[i] * weight;
    }
    return {x / w, y / w};
}

TEST(Curves, CubicNurbsOfUnevenKnotsFollowTheirCurve) {
    // Spans of different lengths, one knot doubled. The control points' x are the averages of
    // three knots in turn (their Greville abscissae), so that x = t along the polynomial curve;
    // x grows with t along the rational ones too, and bisection finds a point's parameter.
    const std::vector<double> knots{0, 0, 0, 0, 0.5, 2, 2, 3.25, 7, 7, 7, 7};
    NurbsCurve polynomial{3, knots, {}, {}};
    const double heights[] = {0, 4, -3, 5, 1, -2, 6, 0};
    for (std::size_t i = 0; i + 4 < knots.size(); ++i) {
        polynomial.controlPoints.push_back(
            {(knots[i + 1] + knots[i + 2] + knots[i + 3]) / 3, heights[i]});
    }
    NurbsCurve evenWeights = polynomial;
    evenWeights.weights.assign(polynomial.controlPoints.size(), 2);
    NurbsCurve unevenWeights = polynomial;
    unevenWeights.weights = {1, 3, 0.5, 2, 1, 4, 0.25, 1};
    for (const NurbsCurve* curve : {&polynomial, &evenWeights, &unevenWeights}) {
        Points out;
        ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(*curve, 1e-4, out));
        // Some hundred points; a flattening gone wrong makes up to a million, which the checks
        // below would take minutes over.
        ASSERT_LT(out.size(), 2000u);
        const auto parameter = [&](const Point2d& p) {
            double low = 0, high = 7;
            for (int k = 0; k < 200 && low < high; ++k) {
                const double middle = (low + high) / 2;
                if (middle == low || middle == high) break;
                (CoxDeBoor(*curve, middle).x < p.x ? low : high) = middle;
            }
            return low;
        };
        const auto at = [&](double t) { return CoxDeBoor(*curve, t); };
        for (const Point2d& p : out) EXPECT_NEAR(p.y, at(parameter(p)).y, 1e-9) << p.x;
        EXPECT_LT(Distance(out.front(), at(0)), 1e-12);
        EXPECT_LT(Distance(out.back(), at(7)), 1e-12);
        EXPECT_LE(ChordError(out, parameter, at), 1e-4);
        if (curve == &polynomial) {
            // x = t: the curve's own abscissa is its parameter.
            for (const Point2d& p : out) EXPECT_NEAR(p.y, at(p.x).y, 1e-12) << p.x;
        }
    }
}

TEST(Curves, PeriodicNurbsCloses) {
    // A unit square's corners, the first three repeated, uniform knots: a closed curve starting
    // at (P0 + 4 P1 + P2) / 6.
    const NurbsCurve curve{3,
                           {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
                           {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}},
                           {}};
    Points out;
    ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(curve, 1e-4, out));
    EXPECT_LT(Distance(out.front(), {5.0 / 6, 1.0 / 6}), 1e-15);
    EXPECT_LT(Distance(out.back(), out.front()), 1e-15);
    // Four knot spans of the same shape turned a quarter each: the corners' points are on it.
    for (const Point2d& corner :
         Points{{5.0 / 6, 5.0 / 6}, {1.0 / 6, 5.0 / 6}, {1.0 / 6, 1.0 / 6}}) {
        double nearest = 1;
        for (const Point2d& p : out) nearest = std::min(nearest, Distance(p, corner));
        EXPECT_LT(nearest, 1e-15);
    }
}

TEST(Curves, NurbsBrokenByAFullKnotJoinsItsParts) {
    // Degree 2, knot 1 repeated three times: two separate parabolas from (0,0) and (5,5).
    const NurbsCurve curve{
        2, {0, 0, 0, 1, 1, 1, 2, 2, 2}, {{0, 0}, {1, 1}, {2, 0}, {5, 5}, {6, 6}, {7, 5}}, {}};
    Points out;
    ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(curve, 1e-3, out));
    std::size_t join = 0;
    while (join < out.size() && !(out[join].x == 2 && out[join].y == 0)) ++join;
    ASSERT_LT(join + 1, out.size());
    EXPECT_EQ(out[join + 1].x, 5);
    EXPECT_EQ(out[join + 1].y, 5);
}

TEST(Curves, FitPointsGiveTheCubicSplineThroughThem) {
    // Two points and both end directions: the Bezier whose inner points lie a third of the
    // chord, 3, along them.
    NurbsCurve curve;
    ASSERT_TRUE(
        Vexlor::Dxf::InterpolateFitPoints({{0, 0}, {3, 0}}, Point2d{0, 2}, Point2d{0, -1}, curve));
    const Points expected{{0, 0}, {0, 1}, {3, 1}, {3, 0}};
    ASSERT_EQ(curve.controlPoints.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(Distance(curve.controlPoints[i], expected[i]), 0, 1e-15) << i;
    }
    EXPECT_EQ(curve.knots, (std::vector<double>{0, 0, 0, 0, 3, 3, 3, 3}));

    // Three points without directions: the parabola through them at equal steps leaves along
    // 3 (1, 1) - (1, -1) = (2, 4) and arrives along (1, -2).
    ASSERT_TRUE(Vexlor::Dxf::InterpolateFitPoints({{0, 0}, {1, 1}, {2, 0}}, std::nullopt,
                                                  std::nullopt, curve));
    const Points& c = curve.controlPoints;
    EXPECT_NEAR(c[1].x, std::sqrt(2) / 3 / std::sqrt(5), 1e-15);
    EXPECT_NEAR(c[1].y, 2 * std::sqrt(2) / 3 / std::sqrt(5), 1e-15);
    EXPECT_NEAR(c[5].x, 2 - std::sqrt(2) / 3 / std::sqrt(5), 1e-15);
    EXPECT_NEAR(c[5].y, 2 * std::sqrt(2) / 3 / std::sqrt(5), 1e-15);
    // Chords (1, 0) then (1, 1): the parabola leaves along 3 (1, 0) - (1, 1) = (2, -1).
    ASSERT_TRUE(Vexlor::Dxf::InterpolateFitPoints({{0, 0}, {1, 0}, {2, 1}}, std::nullopt,
                                                  std::nullopt, curve));
    EXPECT_NEAR(c[1].x, 2.0 / 3 / std::sqrt(5), 1e-15);
    EXPECT_NEAR(c[1].y, -1.0 / 3 / std::sqrt(5), 1e-15);

    // Several points: equal first and second derivatives by the running chord length where the
    // pieces meet, the given end directions, and repeated points counted once. The start
    // direction is slanted, so that both of its coordinates enter the system.
    const Points fit{{0, 0}, {1, 2}, {1, 2}, {3, 3}, {4, 0}, {6, 1}, {5, 4}};
    const Points distinct{{0, 0}, {1, 2}, {3, 3}, {4, 0}, {6, 1}, {5, 4}};
    ASSERT_TRUE(Vexlor::Dxf::InterpolateFitPoints(fit, Point2d{2, 1}, Point2d{0, 3}, curve));
    ASSERT_EQ(c.size(), 16u);
    EXPECT_GT(c[1].x, 0);
    EXPECT_EQ(c[1].y * 2, c[1].x);
    EXPECT_EQ(c[14].x, c[15].x);
    EXPECT_LT(c[14].y, c[15].y);
    for (std::size_t k = 1; k + 1 < distinct.size(); ++k) {
        const double hb = Distance(distinct[k], distinct[k - 1]);
        const double ha = Distance(distinct[k + 1], distinct[k]);
        const std::size_t i = 3 * k;
        for (const auto part : {&Point2d::x, &Point2d::y}) {
            const auto at = [&](std::size_t j) { return c[j].*part; };
            EXPECT_NEAR((at(i) - at(i - 1)) / hb, (at(i + 1) - at(i)) / ha, 1e-12) << k;
            EXPECT_NEAR((at(i) - 2 * at(i - 1) + at(i - 2)) / (hb * hb),
                        (at(i + 2) - 2 * at(i + 1) + at(i)) / (ha * ha), 1e-12)
                << k;
        }
    }
    Points out;
    ASSERT_TRUE(Vexlor::Dxf::AppendFitPointSpline(fit, Point2d{2, 1}, Point2d{0, 3}, 1e-3, out));
    for (const Point2d& f : fit) {
        std::size_t found = 0;
        for (const Point2d& p : out) found += p.x == f.x && p.y == f.y;
        EXPECT_GE(found, 1u) << f.x << ", " << f.y;
    }
    // Points along a line give the line itself: the fit points and nothing between.
    Points line;
    const Points onLine{{0, 0}, {1, 0}, {3, 0}, {4, 0}};
    ASSERT_TRUE(Vexlor::Dxf::AppendFitPointSpline(onLine, std::nullopt, std::nullopt, 1e-9, line));
    ASSERT_EQ(line.size(), onLine.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        EXPECT_NEAR(Distance(line[i], onLine[i]), 0, 1e-15);
}

TEST(Curves, DegenerateAndRefusedInput) {
    const auto arc = [](Point2d c, double r, double s, double e, double tol, CurveStart start) {
        return [=](Points& out) { return Vexlor::Dxf::AppendArc(c, r, s, e, tol, out, start); };
    };
    const auto bulge = [](Point2d a, Point2d b, double value, double tol, CurveStart start) {
        return
            [=](Points& out) { return Vexlor::Dxf::AppendBulgeArc(a, b, value, tol, out, start); };
    };
    const auto ellipse = [](double ratio) {
        return [=](Points& out) {
            return Vexlor::Dxf::AppendEllipticArc({0, 0}, {1, 0}, ratio, 0, 1, 1e-3, out);
        };
    };
    const auto fit = [](Points points) {
        return [=](Points& out) {
            return Vexlor::Dxf::AppendFitPointSpline(points, std::nullopt, std::nullopt, 1e-3, out);
        };
    };
    const auto nurbs = [](NurbsCurve curve, double tol) {
        return [=](Points& out) { return Vexlor::Dxf::AppendNurbs(curve, tol, out); };
    };
    NurbsCurve nanPoint = UnitCircle(), zeroWeight = UnitCircle(), fewWeights = UnitCircle(),
               decreasing = UnitCircle(), noDomain = UnitCircle(), degree0 = UnitCircle(),
               tooHigh = UnitCircle(), fewKnots = UnitCircle(), manyKnots = UnitCircle(),
               infiniteKnot = UnitCircle(), tooFewPoints = UnitCircle();
    nanPoint.controlPoints[3].y = kNaN;
    zeroWeight.weights[1] = 0;
    fewWeights.weights.pop_back();
    decreasing.knots[4] = 0.2;
    noDomain.knots.assign(12, 1);
    degree0.degree = 0;
    tooHigh.degree = Vexlor::Dxf::kMaxNurbsDegree + 1;
    fewKnots.knots.pop_back();
    manyKnots.knots.push_back(manyKnots.knots.back());
    infiniteKnot.knots.back() = HUGE_VAL;  // the last knot, which no span uses
    tooFewPoints = {3, {}, {{0, 0}, {1, 1}, {2, 0}}, {}};
    const NurbsCurve onePoint{2, {}, {{4, 4}, {4, 4}, {4, 4}}, {}};
    const auto skip = CurveStart::Skip;
    const auto append = CurveStart::Append;
    const struct {
        std::string name;
        std::function<bool(Points&)> call;
        bool result;
        Points points;
    } rows[] = {
        {"ZeroRadiusIsItsCenter", arc({1, 2}, 0, 0, 1, 1e-3, append), true, {{1, 2}}},
        {"ZeroRadiusSkippedIsNothing", arc({1, 2}, 0, 0, 1, 1e-3, skip), true, {}},
        {"EqualAnglesAreOnePoint", arc({0, 0}, 2, 0, 0, 1e-3, append), true, {{2, 0}}},
        {"CoincidentBulgeEnds", bulge({1, 1}, {1, 1}, 0.5, 1e-3, append), true, {{1, 1}}},
        {"ZeroBulgeIsStraight", bulge({0, 0}, {2, 1}, 0, 1e-9, append), true, {{0, 0}, {2, 1}}},
        {"BulgeUnderTheTolerance", bulge({0, 0}, {1, 0}, 1e-9, 1e-6, skip), true, {{1, 0}}},
        {"CoincidentControlPoints", nurbs(onePoint, 1e-3), true, {{4, 4}}},
        {"NaNBulge", bulge({0, 0}, {1, 0}, kNaN, 1e-3, append), false, {}},
        {"InfiniteEnd", bulge({0, 0}, {HUGE_VAL, 0}, 0.5, 1e-3, append), false, {}},
        {"EndsBeyondDoubleApart", bulge({-1e308, 0}, {1e308, 0}, 0, 1e-3, append), false, {}},
        {"ZeroTolerance", arc({0, 0}, 1, 0, 1, 0, append), false, {}},
        {"NaNTolerance", bulge({0, 0}, {1, 0}, 0.5, kNaN, append), false, {}},
        {"NegativeRadius", arc({0, 0}, -1, 0, 1, 1e-3, append), false, {}},
        {"NaNAngle", arc({0, 0}, 1, kNaN, 1, 1e-3, append), false, {}},
        {"NaNControlPoint", nurbs(nanPoint, 1e-3), false, {}},
        {"ZeroWeight", nurbs(zeroWeight, 1e-3), false, {}},
        {"WeightMissing", nurbs(fewWeights, 1e-3), false, {}},
        {"DecreasingKnots", nurbs(decreasing, 1e-3), false, {}},
        {"KnotsWithoutDomain", nurbs(noDomain, 1e-3), false, {}},
        {"KnotMissing", nurbs(fewKnots, 1e-3), false, {}},
        {"KnotTooMany", nurbs(manyKnots, 1e-3), false, {}},
        {"InfiniteKnot", nurbs(infiniteKnot, 1e-3), false, {}},
        {"DegreeZero", nurbs(degree0, 1e-3), false, {}},
        {"DegreeTooHigh", nurbs(tooHigh, 1e-3), false, {}},
        {"FewerPointsThanTheDegreeNeeds", nurbs(tooFewPoints, 1e-3), false, {}},
        {"NegativeNurbsTolerance", nurbs(UnitCircle(), -1), false, {}},
        {"ZeroNurbsTolerance", nurbs(UnitCircle(), 0), false, {}},
        {"ZeroRatio", ellipse(0), false, {}},
        {"NoFitPoint", fit({}), false, {}},
        {"OneFitPoint", fit({{3, 1}, {3, 1}}), true, {{3, 1}}},
    };
    for (const auto& row : rows) {
        Points out{{-9, -9}};  // the caller's earlier points stay
        EXPECT_EQ(row.call(out), row.result) << row.name;
        ASSERT_EQ(out.size(), row.points.size() + 1) << row.name;
        for (std::size_t i = 0; i < row.points.size(); ++i) {
            EXPECT_LT(Distance(out[i + 1], row.points[i]), 1e-15) << row.name << " point " << i;
        }
    }
}

// What placing a shape is charged before it is flattened: the points that define it (a NURBS
// curve's control points, a path's parts at least one each); and beyond the points it gives, a
// NURBS curve's spans, (degree + 1)^3 / 64 points each, rounded down over the curve.
TEST(Curves, ShapesAreChargedTheirDefiningPointsAndSpans) {
    using Vexlor::Dxf::Shape;
    const auto nurbs = [](int degree, std::size_t controls) {
        Shape shape;
        shape.kind = Shape::Kind::Nurbs;
        shape.spline = std::make_unique<Vexlor::Dxf::SplineData>();
        shape.spline->nurbs.degree = degree;
        shape.spline->nurbs.controlPoints = Points(controls);
        return shape;
    };
    Shape polyline;
    polyline.points = Points(5);
    Shape conic;
    conic.MakeConic();
    Shape fit;
    fit.kind = Shape::Kind::FitSpline;
    fit.spline = std::make_unique<Vexlor::Dxf::SplineData>();
    fit.points = Points(4);
    Shape path;
    std::vector<Shape>& parts = path.MakePath();
    parts.push_back(Shape{});
    parts.back().points = Points(3);
    parts.push_back(Shape{});
    parts.back().MakeConic();
    parts.push_back(nurbs(3, 10));
    struct Row {
        const char* name;
        const Shape* shape;
        std::size_t defining;
        std::size_t evaluation;
    };
    const Shape cubic = nurbs(3, 10);     // 7 spans of 64 / 64
    const Shape quintic = nurbs(5, 13);   // 8 spans of 216 / 64: 27
    const Shape refused = nurbs(0, 6);    // refused at once, nothing to evaluate
    const Shape tooHigh = nurbs(33, 40);  // beyond the highest degree: refused too
    const Row rows[] = {
        {"polyline", &polyline, 5, 0}, {"conic", &conic, 0, 0},
        {"cubic", &cubic, 10, 7},      {"quintic", &quintic, 13, 27},
        {"degree 0", &refused, 6, 0},  {"degree 33", &tooHigh, 40, 0},
        {"fit points", &fit, 4, 0},    {"path", &path, 3 + 1 + 10, 7},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Vexlor::Dxf::DefiningSize(*row.shape), row.defining) << row.name;
        EXPECT_EQ(Vexlor::Dxf::EvaluationCost(*row.shape), row.evaluation) << row.name;
    }
}

TEST(Curves, SegmentsStopAtTheBound) {
    // Bulge 1e12 over a chord of 1: radius 2.5e11, nearly a full turn, far beyond the bound at
    // a tolerance of 1e-9. The center lies (1 / bulge - bulge) / 4 to the left of the middle.
    const double b = 1e12;
    const Point2d center{0.5, (1 / b - b) / 4};
    const double radius = (b + 1 / b) / 4;
    Points out;
    ASSERT_TRUE(Vexlor::Dxf::AppendBulgeArc({0, 0}, {1, 0}, b, 1e-9, out));
    ASSERT_EQ(out.size(), Vexlor::Dxf::kMaxCurveSegments + 1);
    for (std::size_t i = 0; i < out.size(); i += 4099) {
        EXPECT_NEAR(Distance(out[i], center), radius, 1e-12 * radius) << i;
    }
    out.clear();
    ASSERT_TRUE(Vexlor::Dxf::AppendCircle({0, 0}, 1, 1e-300, out));
    EXPECT_EQ(out.size(), Vexlor::Dxf::kMaxCurveSegments + 1);
    // A NURBS curve halves its first piece down to the resolution of its parameter, the most
    // pieces it ever holds waiting, before the bound stops it: one segment per halving.
    out.clear();
    const Vexlor::Dxf::NurbsCurve cubic{
        3, {0, 0, 0, 0, 1, 1, 1, 1}, {{0, 0}, {1, 2}, {2, -2}, {3, 0}}, {}};
    ASSERT_TRUE(Vexlor::Dxf::AppendNurbs(cubic, 1e-300, out));
    EXPECT_EQ(out.size(), Vexlor::Dxf::kMaxCurveSegments + 1);
    EXPECT_EQ(out.back().x, 3);
    EXPECT_EQ(out.back().y, 0);
}

TEST(Curves, ObjectCoordinateSystems) {
    const double h = std::sqrt(0.5);
    const struct {
        Point3d extrusion, x, y;
    } rows[] = {{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}},           {{0, 0, -1}, {-1, 0, 0}, {0, 1, 0}},
                {{0, 0, 5}, {1, 0, 0}, {0, 1, 0}},           {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}},
                {{kNaN, 0, 1}, {1, 0, 0}, {0, 1, 0}},        {{0, kNaN, 1}, {1, 0, 0}, {0, 1, 0}},
                {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}},           {{1, 0, 1}, {0, 1, 0}, {-h, 0, h}},
                {{1e-300, 0, 1e-300}, {0, 1, 0}, {-h, 0, h}}};
    const auto near = [](const Point3d& a, const Point3d& b) {
        return std::fabs(a.x - b.x) + std::fabs(a.y - b.y) + std::fabs(a.z - b.z) < 1e-15;
    };
    for (const auto& row : rows) {
        const auto axes = Vexlor::Dxf::ArbitraryAxes(row.extrusion);
        EXPECT_TRUE(near(axes.xAxis, row.x)) << row.extrusion.x << " " << row.extrusion.z;
        EXPECT_TRUE(near(axes.yAxis, row.y)) << row.extrusion.x << " " << row.extrusion.z;
    }
    // Either side of 1/64: world y crossed with z has no y part, world z crossed with it no z.
    for (const double x : {1.0 / 65, 1.0 / 63}) {
        const auto axes = Vexlor::Dxf::ArbitraryAxes({x, 0, 1});
        EXPECT_EQ(x < 1.0 / 64 ? axes.xAxis.y : axes.xAxis.z, 0);
        EXPECT_TRUE(near(Vexlor::Dxf::Cross3d(axes.xAxis, axes.yAxis), axes.zAxis));
    }
    EXPECT_TRUE(near(Vexlor::Dxf::EllipseMinorAxis({0, 0, -2}, {2, 0, 0}, 0.5), {0, -1, 0}));

    // An arc seen against extrusion (0, 0, -1) is mirrored: x negated, turning clockwise.
    Points arc;
    ASSERT_TRUE(Vexlor::Dxf::AppendArc({2, 1}, 1, 0, kPi / 2, 1e-3, arc));
    Points world = arc;
    Vexlor::Dxf::MapOcsToWorldXy(Vexlor::Dxf::ArbitraryAxes({0, 0, -1}), 7, world);
    for (std::size_t i = 0; i < arc.size(); ++i) {
        EXPECT_EQ(world[i].x, -arc[i].x);
        EXPECT_EQ(world[i].y, arc[i].y);
    }
    EXPECT_NEAR(CheckCircleArc(world, {-2, 1}, 1, 1e-3, true), -kPi / 2, 1e-12);
}

}  // namespace
