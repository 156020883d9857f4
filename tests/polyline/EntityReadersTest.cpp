// Tests of the entity readers: what each entity of the ENTITIES section leaves in the vector.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>    // std::sin, std::cos, std::hypot, std::isfinite
#include <ostream>  // std::ostream
#include <string>   // std::string
#include <tuple>    // std::get, std::tuple
#include <utility>  // std::move
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::Groups;
using VexlorDxfTest::Hex;
using VexlorDxfTest::ImportGroups;
using VexlorDxfTest::RawPolylineReader;
using VexlorDxfTest::SamePolylines;
using VexlorDxfTest::Stof;
using Point = MStlBaseOperatorDXFPolylineReader::Point;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

Polyline Open(std::vector<Point> points) { return Polyline{std::move(points), false}; }
Polyline Closed(std::vector<Point> points) { return Polyline{std::move(points), true}; }

// The vector a reader without post-processing leaves after importing `entities`.
std::vector<Polyline> RawImport(const std::vector<Group>& entities) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    EXPECT_EQ(ImportGroups(reader, EntitiesDrawing(entities)), CDXFReader::eOk);
    return polylines;
}

std::vector<Polyline> RawImport(const std::string& entities) { return RawImport(Groups(entities)); }

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

// The points of an arc exactly as the tessellation computes them, for arcs whose loop ends by
// itself: a quarter turn added to the angles, 30 steps, then the end point.
std::vector<Point> ArcPoints(double s, double e, double r, double cx, double ncy) {
    const double pi = 3.141592653589793;
    if (s > e) e = e + 360.0;
    const double ae = ((e + 90.0) * pi) / 180.0;
    double as = ((s + 90.0) * pi) / 180.0;
    const double step = (ae - as) / 30.0;
    std::vector<Point> points;
    for (; ae > as; as = as + step)
        points.push_back({std::sin(as) * r + cx, std::cos(as) * r + ncy});
    points.push_back({std::sin(ae) * r + cx, std::cos(ae) * r + ncy});
    return points;
}

// --- Lines, lightweight polylines, classic polylines, splines and dispatch ---------------------

struct ShapeRow {
    const char* name;
    std::string entities;
    std::vector<Polyline> expected;
};

std::ostream& operator<<(std::ostream& out, const ShapeRow& row) { return out << row.name; }

class Shapes : public testing::TestWithParam<ShapeRow> {};

TEST_P(Shapes, RawOutputIsExact) {
    EXPECT_TRUE(SamePolylines(RawImport(GetParam().entities), GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    EntityReaders, Shapes,
    testing::Values(
        ShapeRow{
            "LineStartThenEnd", "LINE 8=0 10=1 20=2 30=0 11=3 21=4", {Open({{1, -2}, {3, -4}})}},
        ShapeRow{"LineWithoutCoordinatesIsOrigin", "LINE 8=0", {Open({{0, 0}, {0, 0}})}},
        ShapeRow{"LineLastRepeatedGroupWins",
                 "LINE 10=1 10=5 20=2 11=3 21=4 21=6",
                 {Open({{5, -2}, {3, -6}})}},
        // An extrusion of (0, 0, -1) mirrors x in the entity's own frame; it must not be applied.
        ShapeRow{"LineIgnoresZThicknessAndExtrusion",
                 "LINE 39=2 10=1 20=2 30=9 11=3 21=4 31=9 210=0 220=0 230=-1",
                 {Open({{1, -2}, {3, -4}})}},
        ShapeRow{"LwRepeatedFirstVertexIsClosed",
                 "LWPOLYLINE 90=4 70=0 10=0 20=0 10=10 20=0 10=10 20=10 10=0 20=0",
                 {Closed({{0, 0}, {10, 0}, {10, -10}, {0, 0}})}},
        ShapeRow{"LwClosedOnlyByFlagIsOpen",
                 "LWPOLYLINE 90=3 70=1 10=0 20=0 10=10 20=0 10=10 20=10",
                 {Open({{0, 0}, {10, 0}, {10, -10}})}},
        ShapeRow{"LwWithoutVerticesIsEmptyAndClosed", "LWPOLYLINE 90=0", {Closed({})}},
        ShapeRow{"LwSingleVertexIsClosed", "LWPOLYLINE 10=4 20=5", {Closed({{4, -5}})}},
        ShapeRow{"LwEndJustInsideToleranceIsClosed",
                 "LWPOLYLINE 10=0 20=0 10=5 20=5 10=0.00009 20=0",
                 {Closed({{0, 0}, {5, -5}, {Stof("0.00009"), 0}})}},
        ShapeRow{"LwEndJustOutsideToleranceIsOpen",
                 "LWPOLYLINE 10=0 20=0 10=5 20=5 10=0.00011 20=0",
                 {Open({{0, 0}, {5, -5}, {Stof("0.00011"), 0}})}},
        // 0.0001 in single precision lies just below 0.0001: the squared distance is below 1e-8.
        ShapeRow{"LwEndAtToleranceIsClosed",
                 "LWPOLYLINE 10=0 20=0 10=5 20=5 10=0.0001 20=0",
                 {Closed({{0, 0}, {5, -5}, {Stof("0.0001"), 0}})}},
        ShapeRow{"LwMissingYShiftsPairing",
                 "LWPOLYLINE 10=0 20=0 10=5 10=7 20=8 10=9 20=1",
                 {Open({{0, 0}, {7, 0}, {9, -8}})}},
        // A lone last coordinate brings the current coordinates back onto the first point.
        ShapeRow{"LwClosureUsesFinalCoordinatesNotLastPoint",
                 "LWPOLYLINE 10=0 20=0 10=5 20=0 10=0 20=5 20=0",
                 {Closed({{0, 0}, {5, 0}, {0, -5}})}},
        ShapeRow{"LwBulgesWidthsAndElevationIgnored",
                 "LWPOLYLINE 38=3 43=1 10=0 20=0 40=1 41=2 42=1 10=10 20=0 42=-1",
                 {Open({{0, 0}, {10, 0}})}},
        ShapeRow{"PolylineVerticesKeepClosedWhateverTheFlag",
                 "POLYLINE 66=1 70=0 VERTEX 10=1 20=1 VERTEX 10=2 20=1 42=0.5 "
                 "VERTEX 10=2 20=3 30=7 70=32 SEQEND",
                 {Closed({{1, -1}, {2, -1}, {2, -3}})}},
        // The header's dummy point is no vertex.
        ShapeRow{"PolylineWithoutVertexIsEmpty", "POLYLINE 66=1 10=5 20=5 SEQEND", {Closed({})}},
        ShapeRow{"VertexWithoutCurrentPolylineIsDropped", "VERTEX 10=1 20=1", {}},
        ShapeRow{"VertexAfterLineExtendsTheLine",
                 "LINE 10=1 20=2 11=3 21=4 VERTEX 10=5 20=6",
                 {Open({{1, -2}, {3, -4}, {5, -6}})}},
        ShapeRow{"SeqendEndsNothing",
                 "POLYLINE VERTEX 10=1 20=1 SEQEND VERTEX 10=2 20=2",
                 {Closed({{1, -1}, {2, -2}})}},
        ShapeRow{
            "VertexWithoutCoordinatesIsOrigin", "POLYLINE VERTEX 8=0 SEQEND", {Closed({{0, 0}})}},
        ShapeRow{"LwPolylineBecomesCurrent",
                 "POLYLINE VERTEX 10=1 20=1 LWPOLYLINE 10=5 20=5 10=6 20=6 VERTEX 10=7 20=7",
                 {Closed({{1, -1}}), Open({{5, -5}, {6, -6}, {7, -7}})}},
        ShapeRow{"SplineIsItsControlPolygon",
                 "SPLINE 70=8 71=3 72=8 73=4 74=0 40=0 40=0 40=0 40=0 40=1 40=1 40=1 40=1 "
                 "10=0 20=0 30=0 10=1 20=2 30=0 10=3 20=2 30=0 10=4 20=0 30=0",
                 {Open({{0, 0}, {1, -2}, {3, -2}, {4, 0}})}},
        // Fit points (11, 21) and tangents (12, 22, 13, 23) are no control points.
        ShapeRow{"SplineIgnoresFitPointsAndTangents",
                 "SPLINE 12=9 22=9 13=9 23=9 10=0 20=0 11=8 21=8 10=1 20=2 11=8 21=8",
                 {Open({{0, 0}, {1, -2}})}},
        ShapeRow{"SplineClosedFlagWithDistinctEndsIsOpen",
                 "SPLINE 70=11 10=0 20=0 10=1 20=2 10=3 20=2",
                 {Open({{0, 0}, {1, -2}, {3, -2}})}},
        ShapeRow{"SplineRepeatingFirstControlPointIsClosed",
                 "SPLINE 10=0 20=0 10=1 20=2 10=3 20=2 10=0 20=0",
                 {Closed({{0, 0}, {1, -2}, {3, -2}, {0, 0}})}},
        ShapeRow{"SplineOfFitPointsOnlyIsEmpty",
                 "SPLINE 73=0 74=3 11=0 21=0 11=1 21=2 11=3 21=0",
                 {Closed({})}},
        ShapeRow{"SplineSingleControlPointIsClosed", "SPLINE 10=2 20=3", {Closed({{2, -3}})}},
        ShapeRow{"NamesDifferingInCaseAreSkipped", "line 10=1 20=2 11=3 21=4 Line 10=1", {}},
        // Each name only begins with a known one; a prefix match would read it.
        ShapeRow{"NamesOnlyBeginningWithAKnownNameAreSkipped",
                 "LINES 10=1 POLYLINE2 LWPOLYLINEX 10=1 20=1 ARCS 40=1 CIRCLE3D ELLIPSES 11=1 "
                 "SPLINEX 10=1 20=1",
                 {}},
        ShapeRow{"OtherEntityTypesAreSkipped",
                 "POINT 10=1 20=1 TEXT 10=1 20=1 1=hi 3DFACE 10=0 20=0 11=1 21=0 12=1 22=1 "
                 "SOLID 10=0 20=0 HATCH 10=0 20=0 10=1 20=0 10=1 20=1 INSERT 2=B 10=1 SEQEND",
                 {}}),
    RowName<ShapeRow>);

TEST(EntityReaders, NameWithATrailingBlankIsSkipped) {
    EXPECT_TRUE(SamePolylines(RawImport({{0, "LINE "}, {10, "1"}, {11, "3"}}), {}));
}

// --- Exact single-precision coordinates --------------------------------------------------------

struct NumberText {
    const char* name;
    const char* text;
};

// An entity all of whose points are ($, $).
struct CoordinateEntity {
    const char* name;
    const char* pattern;
};

std::ostream& operator<<(std::ostream& out, const NumberText& row) { return out << row.text; }
std::ostream& operator<<(std::ostream& out, const CoordinateEntity& row) { return out << row.name; }

const CoordinateEntity kCoordinateEntities[] = {
    {"Line", "LINE 10=$ 20=$ 11=$ 21=$"},
    {"LwPolyline", "LWPOLYLINE 10=$ 20=$"},
    {"Spline", "SPLINE 10=$ 20=$ 30=0"},
    {"Vertex", "POLYLINE VERTEX 10=$ 20=$"},
    // Radius 0 puts every point exactly on the centre.
    {"ArcCentre", "ARC 10=$ 20=$ 40=0"},
    {"CircleCentre", "CIRCLE 10=$ 20=$ 40=0"},
};

const NumberText kNumberTexts[] = {
    {"SevenDigits", "1234567.891"},
    {"Tenth", "0.1"},
    {"NegativeExponent", "-2.5e-3"},
    {"LargestFloat", "3.4028234e38"},
    {"BeyondMantissa", "16777217"},
    {"TrailingText", "7.25xyz"},
    {"LeadingPlus", "+.5"},
    {"Hexadecimal", "0x1.8p1"},
    {"Infinity", "inf"},
};

class ExactCoordinates : public testing::TestWithParam<std::tuple<CoordinateEntity, NumberText>> {};

TEST_P(ExactCoordinates, XIsTheFloatValueAndYItsNegation) {
    const CoordinateEntity& entity = std::get<0>(GetParam());
    const std::string text = std::get<1>(GetParam()).text;
    std::string entities = entity.pattern;
    for (std::size_t at; (at = entities.find('$')) != std::string::npos;) {
        entities.replace(at, 1, text);
    }
    const std::vector<Polyline> polylines = RawImport(entities);
    ASSERT_EQ(polylines.size(), 1u);
    ASSERT_FALSE(polylines[0].points.empty());
    for (const Point& p : polylines[0].points) {
        EXPECT_EQ(p.x, Stof(text)) << Hex(p.x) << " from " << text;
        EXPECT_EQ(p.y, -Stof(text)) << Hex(p.y) << " from " << text;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EntityReaders, ExactCoordinates,
    testing::Combine(testing::ValuesIn(kCoordinateEntities), testing::ValuesIn(kNumberTexts)),
    [](const testing::TestParamInfo<std::tuple<CoordinateEntity, NumberText>>& row) {
        return std::string(std::get<0>(row.param).name) + std::get<1>(row.param).name;
    });

TEST(EntityReaders, SevenDigitValueHasSinglePrecision) {
    const std::vector<Polyline> polylines = RawImport("LINE 10=1234567.891 20=1234567.891");
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0].points[0].x, 1234567.875) << Hex(polylines[0].points[0].x);
    EXPECT_EQ(polylines[0].points[0].y, -1234567.875) << Hex(polylines[0].points[0].y);
}

// --- Arcs --------------------------------------------------------------------------------------

struct ArcRow {
    const char* name;
    std::string entity;
    std::size_t count;  // 0: whatever the tessellation gives
    bool closed;
    double start, end, radius, cx, ncy;
};

std::ostream& operator<<(std::ostream& out, const ArcRow& row) { return out << row.name; }

class Arcs : public testing::TestWithParam<ArcRow> {};

TEST_P(Arcs, TessellationIsExact) {
    const ArcRow& row = GetParam();
    const std::vector<Polyline> polylines = RawImport(row.entity);
    ASSERT_EQ(polylines.size(), 1u);
    if (row.count != 0) {
        EXPECT_EQ(polylines[0].points.size(), row.count);
    }
    const Polyline expected{ArcPoints(row.start, row.end, row.radius, row.cx, row.ncy), row.closed};
    EXPECT_TRUE(SamePolylines(polylines, {expected}));
}

INSTANTIATE_TEST_SUITE_P(
    EntityReaders, Arcs,
    testing::Values(
        ArcRow{"QuarterTurn", "ARC 40=1 50=0 51=90", 32, false, 0, 90, 1, 0, 0},
        ArcRow{"FullTurnIsClosed", "ARC 40=1 50=0 51=360", 31, true, 0, 360, 1, 0, 0},
        ArcRow{"StartAboveEndWrapsOnce", "ARC 40=1 50=90 51=0", 31, false, 90, 0, 1, 0, 0},
        ArcRow{"EqualAnglesGiveOnePoint", "ARC 40=2 50=45 51=45", 1, false, 45, 45, 2, 0, 0},
        ArcRow{"WithoutRadiusEveryPointIsTheCentre", "ARC 10=2 20=3 50=0 51=90", 32, false, 0, 90,
               0, 2, -3},
        ArcRow{"ShiftedCentreSinglePrecisionRadius",
               "ARC 10=10 20=20 30=5 40=2.3 50=30 51=200 210=0 230=-1", 0, false, 30, 200,
               Stof("2.3"), 10, -20},
        ArcRow{"NegativeStartAngle", "ARC 40=1 50=-90 51=0", 0, false, -90, 0, 1, 0, 0}),
    RowName<ArcRow>);

TEST(EntityReaders, QuarterArcEndsAsComputedInDoublePrecision) {
    const std::vector<Polyline> polylines = RawImport("ARC 10=0 20=0 40=1 50=0 51=90");
    ASSERT_EQ(polylines.size(), 1u);
    const std::vector<Point>& p = polylines[0].points;
    ASSERT_EQ(p.size(), 32u);
    EXPECT_EQ(p[0].x, 1.0) << Hex(p[0].x);
    EXPECT_EQ(p[0].y, 6.123233995736766e-17) << Hex(p[0].y);
    EXPECT_EQ(p[31].x, 1.2246467991473532e-16) << Hex(p[31].x);
    EXPECT_EQ(p[31].y, -1.0) << Hex(p[31].y);
    EXPECT_EQ(p[30].x, 2.7869999390151108e-15) << Hex(p[30].x);
    EXPECT_EQ(p[30].y, -1.0) << Hex(p[30].y);
}

// Angles where adding the step no longer moves the running angle must not hang the reader.
struct ExtremeArc {
    const char* name;
    const char* angles;
};

class ExtremeArcs : public testing::TestWithParam<ExtremeArc> {};

TEST_P(ExtremeArcs, EndWithFewFinitePointsOnTheCircle) {
    const std::vector<Polyline> polylines =
        RawImport(std::string("ARC 10=3 20=4 40=1 ") + GetParam().angles);
    ASSERT_EQ(polylines.size(), 1u);
    const std::vector<Point>& p = polylines[0].points;
    ASSERT_GE(p.size(), 1u);
    EXPECT_LE(p.size(), 2000u);
    for (const Point& q : p) {
        ASSERT_TRUE(std::isfinite(q.x) && std::isfinite(q.y)) << Hex(q.x) << ", " << Hex(q.y);
        EXPECT_NEAR(std::hypot(q.x - 3, q.y + 4), 1.0, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(EntityReaders, ExtremeArcs,
                         testing::Values(ExtremeArc{"TinySweep", "50=0 51=1e-13"},
                                         ExtremeArc{"HugeEnd", "50=0 51=1e30"},
                                         ExtremeArc{"HugeNeighbours", "50=1e30 51=1.0000002e30"},
                                         ExtremeArc{"HugeBothWays", "50=-1e30 51=1e30"}),
                         RowName<ExtremeArc>);

TEST(EntityReaders, TinySweepStaysAtTheStartAngle) {
    const std::vector<Polyline> polylines = RawImport("ARC 40=1 50=0 51=1e-13");
    ASSERT_EQ(polylines.size(), 1u);
    for (const Point& q : polylines[0].points) {
        EXPECT_NEAR(q.x, 1.0, 1e-12);
        EXPECT_NEAR(q.y, 0.0, 1e-12);
    }
}

// --- Circles and ellipses ----------------------------------------------------------------------

TEST(EntityReaders, CircleHasThirtyPointsFromBelowTheCentre) {
    const std::vector<Polyline> polylines = RawImport("CIRCLE 10=1 20=2 30=9 40=3 230=-1");
    ASSERT_EQ(polylines.size(), 1u);
    const std::vector<Point>& p = polylines[0].points;
    EXPECT_TRUE(polylines[0].closed);
    ASSERT_EQ(p.size(), 30u);
    EXPECT_EQ(p[0].x, 1.0) << Hex(p[0].x);
    EXPECT_EQ(p[0].y, 1.0) << Hex(p[0].y);
    // Point k lies at 12k degrees; the running angle is a sum of steps, hence the tolerance.
    const double twelveDegrees = 3.141592653589793 / 15;
    for (std::size_t k = 0; k < p.size(); ++k) {
        EXPECT_NEAR(p[k].x, 1 + 3 * std::sin(twelveDegrees * k), 1e-12) << "point " << k;
        EXPECT_NEAR(p[k].y, -2 + 3 * std::cos(twelveDegrees * k), 1e-12) << "point " << k;
    }
}

TEST(EntityReaders, CircleWithoutRadiusHasRadiusOne) {
    const std::vector<Polyline> polylines = RawImport("CIRCLE 10=4 20=5");
    ASSERT_EQ(polylines.size(), 1u);
    ASSERT_EQ(polylines[0].points.size(), 30u);
    EXPECT_EQ(polylines[0].points[0].x, 4.0);
    EXPECT_EQ(polylines[0].points[0].y, -4.0);
    for (const Point& q : polylines[0].points) {
        EXPECT_NEAR(std::hypot(q.x - 4, q.y + 5), 1, 1e-12);
    }
}

TEST(EntityReaders, EllipseFirstPointIsTheMinorAxisEnd) {
    const std::vector<Polyline> polylines = RawImport("ELLIPSE 10=10 20=5 11=3 21=4 40=0.5");
    ASSERT_EQ(polylines.size(), 1u);
    const std::vector<Point>& p = polylines[0].points;
    EXPECT_TRUE(polylines[0].closed);
    ASSERT_EQ(p.size(), 30u);
    EXPECT_EQ(p[0].x, 12.0) << Hex(p[0].x);
    EXPECT_EQ(p[0].y, -3.5) << Hex(p[0].y);
    // Every point lies on the ellipse of semi-axes 5 and 2.5 along (0.6, -0.8) and (0.8, 0.6).
    for (const Point& q : p) {
        const double dx = q.x - 10, dy = q.y + 5;
        const double u = (dx * 0.6 - dy * 0.8) / 5, v = (dx * 0.8 + dy * 0.6) / 2.5;
        EXPECT_NEAR(u * u + v * v, 1.0, 1e-12);
    }
}

TEST(EntityReaders, EllipseRatioHasSinglePrecision) {
    const std::vector<Polyline> polylines = RawImport("ELLIPSE 11=3 21=0 40=0.333333333333");
    ASSERT_EQ(polylines.size(), 1u);
    ASSERT_EQ(polylines[0].points.size(), 30u);
    EXPECT_EQ(polylines[0].points[0].x, 0.0) << Hex(polylines[0].points[0].x);
    EXPECT_EQ(polylines[0].points[0].y, 1.0000000298023224) << Hex(polylines[0].points[0].y);
}

TEST(EntityReaders, EllipseWithoutRatioIsACircle) {
    const std::vector<Polyline> polylines = RawImport("ELLIPSE 11=0 21=2");
    ASSERT_EQ(polylines.size(), 1u);
    ASSERT_EQ(polylines[0].points.size(), 30u);
    for (const Point& q : polylines[0].points) {
        EXPECT_NEAR(std::hypot(q.x, q.y), 2.0, 1e-12);
    }
}

TEST(EntityReaders, EllipticalArcGivesTheWholeEllipse) {
    const std::vector<Polyline> expected = RawImport("ELLIPSE 10=1 20=2 11=4 21=1 40=0.3");
    ASSERT_EQ(expected.size(), 1u);
    EXPECT_EQ(expected[0].points.size(), 30u);
    EXPECT_TRUE(
        SamePolylines(RawImport("ELLIPSE 10=1 20=2 11=4 21=1 40=0.3 41=0 42=3.1415926"), expected));
}

// A major axis of length 0 has no direction; such an ellipse adds no point and leaves the box.
TEST(EntityReaders, EllipseWithZeroAxisAddsNoPoint) {
    std::vector<Polyline> polylines;
    RawPolylineReader reader(polylines);
    ASSERT_EQ(ImportGroups(reader, EntitiesDrawing(Groups("ELLIPSE 10=3 20=4 40=0.5"))),
              CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_TRUE(polylines[0].points.empty());
    EXPECT_EQ(reader.GetLeftTopPoint().x, 2147483647.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, 2147483647.0);
    EXPECT_EQ(reader.GetRightBottomPoint().x, -2147483647.0);
    EXPECT_EQ(reader.GetRightBottomPoint().y, -2147483647.0);
}

// --- Comments ----------------------------------------------------------------------------------

TEST(EntityReaders, CommentGroupsInsideEntitiesChangeNothing) {
    const std::vector<Group> entities = Groups(
        "LINE 10=1 20=2 11=3 21=4 LWPOLYLINE 10=0 20=0 10=5 20=0 POLYLINE VERTEX 10=7 20=8 "
        "SEQEND SPLINE 10=1 20=1 10=2 20=3 ARC 10=1 20=1 40=2 50=10 51=100 CIRCLE 10=5 40=2 "
        "ELLIPSE 11=2 21=1 40=0.5 INSERT 2=B 10=1");
    std::vector<Group> commented;
    for (const Group& group : entities) {
        commented.push_back(group);
        commented.push_back({999, "10"});  // a comment whose text looks like a coordinate code
    }
    const std::vector<Polyline> expected = RawImport(entities);
    EXPECT_EQ(expected.size(), 7u);
    EXPECT_TRUE(SamePolylines(RawImport(commented), expected));
}

}  // namespace
