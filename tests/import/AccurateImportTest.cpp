// The accurate import, one small drawing per rule, with the geometry worked out by hand.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cmath>    // std::hypot, std::sqrt, std::tan
#include <fstream>  // std::ofstream
#include <sstream>  // std::istringstream
#include <string>   // std::string
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "VexlorDxfContours.h"

namespace {

using Result = Vexlor::Dxf::EContourResult;

using Vexlor::Dxf::ContourImport;
using Vexlor::Dxf::ContourOptions;
using Point = Vexlor::Math::point<double, 2>;

// A drawing of these entities ("0\nLINE\n8\nA\n..." each) in its ENTITIES section, after a
// HEADER that sets $INSUNITS to 4.
std::string Drawing(const std::string& entities) {
    return "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n"
           "0\nSECTION\n2\nENTITIES\n" +
           entities + "0\nENDSEC\n0\nEOF\n";
}

ContourImport Import(const std::string& entities, const ContourOptions& options = {}) {
    return Vexlor::Dxf::ImportContoursFromMemory(Drawing(entities), options);
}

// The largest distance of the points from `center` minus `radius`, either way.
double OffCircle(const std::vector<Point>& points, Point center, double radius) {
    double worst = 0;
    for (const Point& p : points) {
        worst = std::max(worst, std::fabs(std::hypot(p.x - center.x, p.y - center.y) - radius));
    }
    return worst;
}

// Points in hexadecimal floating point: equal texts are equal bits.
std::string Text(const std::vector<Point>& points) {
    std::ostringstream text;
    text << std::hexfloat;
    for (const Point& p : points) text << p.x << ' ' << p.y << '\n';
    return text.str();
}

TEST(AccurateImport, LinesJoinCloseAndKeepTheirFirstPiecesSource) {
    const ContourImport open = Import("0\nLINE\n5\n1A\n8\nWalls\n10\n0\n20\n0\n11\n2\n21\n1\n");
    ASSERT_EQ(Result::eOk, open.result);
    ASSERT_EQ(1u, open.contours.size());
    EXPECT_EQ("LINE", open.contours[0].entity);
    EXPECT_EQ("Walls", open.contours[0].layer);
    EXPECT_EQ("1A", open.contours[0].handle);
    EXPECT_EQ(Text({{0, 0}, {2, 1}}), Text(open.contours[0].polyline.points));
    EXPECT_EQ(4, open.units);
    // Three pieces of a triangle, the second turned round, join into one closed contour that
    // does not repeat its first point; y negated on request.
    ContourOptions yDown;
    yDown.yDown = true;
    const ContourImport ring = Import(
        "0\nLINE\n5\n10\n10\n0\n20\n0\n11\n4\n21\n0\n0\nLINE\n5\n11\n10\n4\n20\n3\n11\n4\n21\n0\n"
        "0\nLINE\n5\n12\n10\n4\n20\n3\n11\n0\n21\n0\n",
        yDown);
    ASSERT_EQ(1u, ring.contours.size());
    EXPECT_TRUE(ring.contours[0].polyline.closed);
    EXPECT_EQ("10", ring.contours[0].handle);
    EXPECT_EQ(Text({{0, -0.0}, {4, -0.0}, {4, -3}}), Text(ring.contours[0].polyline.points));
    EXPECT_EQ(Text({{0, -3}}), Text({ring.minimum}));
    EXPECT_EQ(Text({{4, -0.0}}), Text({ring.maximum}));
}

TEST(AccurateImport, BulgesAreArcsAndTheClosedFlagCloses) {
    ContourOptions options;
    options.tolerance = 1e-4;
    // A bulge of tan(22.5 degrees) from (1, 0) to (0, 1): the quarter of the unit circle.
    const ContourImport quarter =
        Import("0\nLWPOLYLINE\n90\n2\n70\n0\n10\n1\n20\n0\n42\n0.41421356237309503\n10\n0\n20\n1\n",
               options);
    ASSERT_EQ(1u, quarter.contours.size());
    const auto& arc = quarter.contours[0].polyline.points;
    EXPECT_EQ(Text({{1, 0}}), Text({arc.front()}));
    EXPECT_EQ(Text({{0, 1}}), Text({arc.back()}));
    EXPECT_LT(OffCircle(arc, {0, 0}, 1), 1e-12);
    // Chords of a step a rise 1 - cos(a / 2) above the arc: no more than the tolerance.
    for (std::size_t i = 1; i < arc.size(); ++i) {
        const double half = std::hypot(arc[i].x - arc[i - 1].x, arc[i].y - arc[i - 1].y) / 2;
        EXPECT_LE(1 - std::sqrt(1 - half * half), 1e-4);
    }
    EXPECT_GT(arc.size(), 10u);
    // A closed square whose closing side, from (2, 0) back to (0, 0), bulges out by a half
    // circle turning clockwise (bulge -1) below y = 0.
    const ContourImport closed = Import(
        "0\nLWPOLYLINE\n90\n4\n70\n1\n10\n0\n20\n0\n10\n0\n20\n2\n10\n2\n20\n2\n10\n2\n20\n0\n"
        "42\n-1\n",
        options);
    ASSERT_EQ(1u, closed.contours.size());
    const auto& ring = closed.contours[0].polyline;
    EXPECT_TRUE(ring.closed);
    EXPECT_NE(Text({ring.points.front()}), Text({ring.points.back()}));
    EXPECT_EQ(Text({{0, 0}}), Text({ring.points.front()}));
    EXPECT_NEAR(-1, closed.minimum.y, 1e-4);  // the half circle about (1, 0) reaches y = -1
}

TEST(AccurateImport, CirclesArcsAndEllipsesInTheirCoordinateSystems) {
    ContourOptions options;
    options.tolerance = 1e-5;
    // Extrusion (0, 0, -1), the usual mirror: object x is world -x. The arc about (2, 0) of
    // radius 1 from 0 to 90 degrees runs from world (-3, 0) to (-2, 1), clockwise.
    const ContourImport mirrored = Import(
        "0\nARC\n10\n2\n20\n0\n30\n0\n40\n1\n50\n0\n51\n90\n210\n0\n220\n0\n230\n-1\n", options);
    ASSERT_EQ(1u, mirrored.contours.size());
    const auto& arc = mirrored.contours[0].polyline.points;
    EXPECT_NEAR(0, std::hypot(arc.front().x + 3, arc.front().y), 1e-12);
    EXPECT_NEAR(0, std::hypot(arc.back().x + 2, arc.back().y - 1), 1e-12);
    EXPECT_LT(OffCircle(arc, {-2, 0}, 1), 1e-12);
    // A circle is closed.
    const ContourImport circle = Import("0\nCIRCLE\n10\n5\n20\n5\n40\n3\n", options);
    ASSERT_EQ(1u, circle.contours.size());
    EXPECT_TRUE(circle.contours[0].polyline.closed);
    EXPECT_LT(OffCircle(circle.contours[0].polyline.points, {5, 5}, 3), 1e-12);
    // An ellipse whose major axis (length 2) points along y, ratio 0.5, a quarter from the
    // major axis end: from (1, 3) to the minor axis end (0, 1), on (x - 1)^2 + (y - 1)^2 / 4 = 1.
    const ContourImport ellipse =
        Import("0\nELLIPSE\n10\n1\n20\n1\n11\n0\n21\n2\n40\n0.5\n41\n0\n42\n1.5707963267948966\n",
               options);
    ASSERT_EQ(1u, ellipse.contours.size());
    const auto& quarter = ellipse.contours[0].polyline.points;
    EXPECT_EQ(Text({{1, 3}}), Text({quarter.front()}));
    EXPECT_NEAR(0, std::hypot(quarter.back().x, quarter.back().y - 1), 1e-15);
    for (const Point& p : quarter) {
        EXPECT_NEAR(1, (p.x - 1) * (p.x - 1) + (p.y - 1) * (p.y - 1) / 4, 1e-12);
    }
}

TEST(AccurateImport, SplinesAreTheirCurves) {
    ContourOptions options;
    options.tolerance = 1e-6;
    // The rational quadratic with weights 1, sqrt(2)/2, 1 over (1, 0), (1, 1), (0, 1) is the
    // quarter of the unit circle exactly.
    const ContourImport circle = Import(
        "0\nSPLINE\n70\n12\n71\n2\n72\n6\n73\n3\n40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n"
        "41\n1\n41\n0.70710678118654757\n41\n1\n10\n1\n20\n0\n10\n1\n20\n1\n10\n0\n20\n1\n",
        options);
    ASSERT_EQ(1u, circle.contours.size());
    const auto& arc = circle.contours[0].polyline.points;
    EXPECT_EQ(Text({{1, 0}}), Text({arc.front()}));
    EXPECT_EQ(Text({{0, 1}}), Text({arc.back()}));
    EXPECT_LT(OffCircle(arc, {0, 0}, 1), 1e-12);
    // A spline of fit points alone passes through them, in order.
    const ContourImport fitted = Import(
        "0\nSPLINE\n70\n8\n71\n3\n74\n4\n11\n0\n21\n0\n11\n1\n21\n1\n11\n2\n21\n0\n11\n3\n21\n1\n",
        options);
    ASSERT_EQ(1u, fitted.contours.size());
    const auto& curve = fitted.contours[0].polyline.points;
    EXPECT_EQ(Text({{0, 0}}), Text({curve.front()}));
    EXPECT_EQ(Text({{3, 1}}), Text({curve.back()}));
    for (const Point fit : {Point{1, 1}, Point{2, 0}}) {
        bool reached = false;
        for (const Point& p : curve)
            reached = reached || std::hypot(p.x - fit.x, p.y - fit.y) < 1e-9;
        EXPECT_TRUE(reached) << fit.x << " " << fit.y;
    }
}

TEST(AccurateImport, WhatIsNoContourIsReported) {
    const ContourImport import = Import(
        "0\nTEXT\n1\nNote\n0\nLINE\n67\n1\n10\n0\n20\n0\n11\n1\n21\n1\n"
        "0\nPOLYLINE\n70\n8\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n1\n20\n1\n0\nSEQEND\n"
        "0\nPOLYLINE\n70\n4\n0\nVERTEX\n70\n16\n10\n9\n20\n9\n0\nVERTEX\n70\n8\n10\n0\n20\n0\n"
        "0\nVERTEX\n70\n8\n10\n1\n20\n0\n0\nSEQEND\n");
    EXPECT_EQ(1u, import.skipped.at("TEXT"));
    EXPECT_EQ(1u, import.skipped.at("paper space"));
    EXPECT_EQ(1u, import.skipped.at("3D POLYLINE"));
    // The spline-fit polyline keeps its fitted vertices, not its frame control point.
    ASSERT_EQ(1u, import.contours.size());
    EXPECT_EQ(Text({{0, 0}, {1, 0}}), Text(import.contours[0].polyline.points));
}

TEST(AccurateImport, LinkingDistanceCrossingsAndErrors) {
    const std::string nearlyMeeting =
        "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n0\nLINE\n10\n1.001\n20\n0\n11\n2\n21\n1\n";
    EXPECT_EQ(2u, Import(nearlyMeeting).contours.size());
    ContourOptions wide;
    wide.linkingDistance = 0.01;
    EXPECT_EQ(1u, Import(nearlyMeeting, wide).contours.size());
    const std::string crossing =
        "0\nLINE\n10\n0\n20\n0\n11\n2\n21\n2\n0\nLINE\n10\n0\n20\n2\n11\n2\n21\n0\n";
    EXPECT_EQ(Result::eIntersecting, Import(crossing).result);
    ContourOptions apart;
    apart.link = false;
    EXPECT_EQ(Result::eOk, Import(crossing, apart).result);
    EXPECT_EQ(Result::eEmpty, Import("").result);
    // A malformed number names its line and entity (14 lines of sections before the entity,
    // LINE on 15 and 16, the group on 17); a section cut off is result 1.
    const ContourImport bad = Import("0\nLINE\n10\n1.5.2\n20\n0\n11\n1\n21\n1\n");
    EXPECT_EQ(Result::eReadError, bad.result);
    EXPECT_EQ("line 17: LINE: group 10 is not a number: \"1.5.2\"", bad.error);
    EXPECT_EQ(Result::eReadError,
              Vexlor::Dxf::ImportContoursFromMemory("0\nSECTION\n2\nENTITIES\n").result);
    // Complete sections without the end marker are all there is: imported, and said.
    const ContourImport noEnd = Vexlor::Dxf::ImportContoursFromMemory(
        "0\nSECTION\n2\nENTITIES\n0\nLINE\n11\n1\n0\nENDSEC\n");
    EXPECT_EQ(Result::eOk, noEnd.result);
    EXPECT_EQ(1u, noEnd.approximations.at("no EOF marker after the last section"));
    EXPECT_THROW(Import("",
                        [] {
                            ContourOptions negative;
                            negative.tolerance = -1;
                            return negative;
                        }()),
                 std::invalid_argument);
}

TEST(AccurateImport, PathsStreamsAndMemoryGiveTheSame) {
    const std::string text = Drawing("0\nCIRCLE\n10\n0\n20\n0\n40\n1\n");
    const ContourImport memory = Vexlor::Dxf::ImportContoursFromMemory(text);
    std::istringstream stream(text);
    const VexlorDxfTest::TempFile file(".dxf");
    file.Write(text);
    for (const ContourImport& other :
         {Vexlor::Dxf::ImportContours(stream), Vexlor::Dxf::ImportContours(file.WidePath()),
          Vexlor::Dxf::ImportContours(file.Path())}) {
        EXPECT_EQ(memory.result, other.result);
        ASSERT_EQ(memory.contours.size(), other.contours.size());
        EXPECT_EQ(Text(memory.contours[0].polyline.points),
                  Text(other.contours[0].polyline.points));
    }
    EXPECT_EQ(Result::eOpenError, Vexlor::Dxf::ImportContours(L"/nonexistent/folder/x.dxf").result);
}

}  // namespace
