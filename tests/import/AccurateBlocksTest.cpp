// The accurate import's placing of blocks, hatch boundaries, layers and units: one small drawing
// per rule, with the geometry worked out by hand.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>  // std::min, std::max
#include <cmath>      // std::hypot, std::lround, std::sqrt
#include <cstdio>     // std::snprintf
#include <cstring>    // std::memcpy
#include <string>     // std::string
#include <vector>     // std::vector

#include "VexlorDxfContours.h"

namespace {

using Result = Vexlor::Dxf::EContourResult;

using Vexlor::Dxf::ContourImport;
using Vexlor::Dxf::ContourOptions;
using Point = Vexlor::Math::point<double, 2>;

// Points in hexadecimal floating point: equal texts are equal bits.
std::string Text(const std::vector<Point>& points) {
    std::string text;
    char buffer[64];
    for (const Point& p : points) {
        std::snprintf(buffer, sizeof buffer, "%a %a\n", p.x, p.y);
        text += buffer;
    }
    return text;
}

// A drawing with a LAYER table of `layers`, the block definitions `blocks` and the model space
// `entities`, each given as their groups ("0\nLINE\n...").
std::string Drawing(const std::string& blocks, const std::string& entities,
                    const std::string& layers = "", const std::string& header = "") {
    return "0\nSECTION\n2\nHEADER\n" + header + "0\nENDSEC\n" +
           "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n" + layers + "0\nENDTAB\n0\nENDSEC\n" +
           "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n" + entities +
           "0\nENDSEC\n0\nEOF\n";
}

std::string Block(const std::string& name, double baseX, double baseY, const std::string& body) {
    return "0\nBLOCK\n2\n" + name + "\n10\n" + std::to_string(baseX) + "\n20\n" +
           std::to_string(baseY) + "\n" + body + "0\nENDBLK\n";
}

ContourImport Import(const std::string& text, ContourOptions options = {}) {
    if (options.tolerance == 0) options.tolerance = 1e-6;
    return Vexlor::Dxf::ImportContoursFromMemory(text, options);
}

struct Box {
    Point min{1e300, 1e300};
    Point max{-1e300, -1e300};
};

Box BoxOf(const std::vector<Point>& points) {
    Box box;
    for (const Point& p : points) {
        box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
        box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
    }
    return box;
}

TEST(AccurateBlocks, InsertsTurnScaleAndMirrorAboutTheBasePoint) {
    // Block B, base (1, 1): a line from the base to (2, 1) and a circle of radius 1 about the
    // base. Placed at (10, 0), turned 90 degrees, scaled 2 in x and -1 in y (a mirror): a point
    // p goes to (10, 0) + turn90((2 (px - 1), -(py - 1))) = (10 + (py - 1), 2 (px - 1)).
    const std::string blocks = Block("B", 1, 1,
                                     "0\nLINE\n8\n0\n10\n1\n20\n1\n11\n2\n21\n1\n"
                                     "0\nCIRCLE\n8\nRings\n10\n1\n20\n1\n40\n1\n");
    const ContourImport import = Import(
        Drawing(blocks, "0\nINSERT\n8\nParts\n2\nb\n10\n10\n20\n0\n41\n2\n42\n-1\n50\n90\n"));
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    ASSERT_EQ(2u, import.contours.size());
    const auto& line = import.contours[0].polyline.points;
    ASSERT_EQ(2u, line.size());
    EXPECT_NEAR(0, std::hypot(line[0].x - 10, line[0].y), 1e-12);
    EXPECT_NEAR(0, std::hypot(line[1].x - 10, line[1].y - 2), 1e-12);
    EXPECT_EQ("Parts", import.contours[0].layer);  // layer "0" takes the INSERT's
    EXPECT_EQ("Rings", import.contours[1].layer);
    // The circle becomes the ellipse (x - 10)^2 + (y / 2)^2 = 1: its points on it, its box
    // 2 by 4 about (10, 0), its chords within the tolerance of an ellipse no rounder than a
    // circle of radius 2.
    const auto& ellipse = import.contours[1].polyline.points;
    EXPECT_TRUE(import.contours[1].polyline.closed);
    for (const Point& p : ellipse) {
        EXPECT_NEAR(1, (p.x - 10) * (p.x - 10) + p.y * p.y / 4, 1e-12);
    }
    const Box box = BoxOf(ellipse);
    EXPECT_NEAR(9, box.min.x, 1e-5);
    EXPECT_NEAR(11, box.max.x, 1e-5);
    EXPECT_NEAR(-2, box.min.y, 1e-5);
    EXPECT_NEAR(2, box.max.y, 1e-5);
}

TEST(AccurateBlocks, TolerancesHoldInTheWorld) {
    // The default tolerance is 1e-5 of the drawing's extent: a lone circle of radius 1 spans 2.
    const ContourImport circle =
        Vexlor::Dxf::ImportContoursFromMemory(Drawing("", "0\nCIRCLE\n10\n5\n20\n5\n40\n1\n"));
    EXPECT_EQ(2e-5, circle.tolerance);
    // A half circle of radius 1 (bulge 1 from (-1, 0) to (1, 0), below the chord) placed 10
    // times wider is half the ellipse (x / 10)^2 + y^2 = 1: every chord's middle lies within the
    // tolerance of it, though the block's own curve is ten times narrower.
    ContourOptions options;
    options.tolerance = 1e-3;
    const ContourImport wide = Import(
        Drawing(
            Block("ARC", 0, 0, "0\nLWPOLYLINE\n90\n2\n70\n0\n10\n-1\n20\n0\n42\n1\n10\n1\n20\n0\n"),
            "0\nINSERT\n2\nARC\n41\n10\n"),
        options);
    ASSERT_EQ(1u, wide.contours.size());
    const auto& points = wide.contours[0].polyline.points;
    EXPECT_EQ(Text({{-10, 0}}), Text({points.front()}));
    EXPECT_EQ(Text({{10, 0}}), Text({points.back()}));
    std::vector<Point> ellipse;
    for (int k = 0; k <= 200000; ++k) {
        const double t = 3.141592653589793 * (1 + k / 200000.0);
        ellipse.push_back({10 * std::cos(t), std::sin(t)});
    }
    double worst = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        const Point middle{(points[i - 1].x + points[i].x) / 2,
                           (points[i - 1].y + points[i].y) / 2};
        double nearest = 1e300;
        for (const Point& e : ellipse)
            nearest = std::min(nearest, std::hypot(e.x - middle.x, e.y - middle.y));
        worst = std::max(worst, nearest);
    }
    EXPECT_LT(worst, 1e-3);
}

TEST(AccurateBlocks, ArraysAndNestingPlaceEveryCopy) {
    // A unit square placed by a MINSERT of 3 columns 5 apart and 2 rows 7 apart, turned 90
    // degrees at (100, 0): copy (c, r) lies at (100, 0) + turn90((5 c, 7 r)) = (100 - 7 r, 5 c),
    // the square itself turned, so its box runs from x - 1 to x and y to y + 1.
    const std::string square = Block(
        "SQ", 0, 0,
        "0\nLWPOLYLINE\n90\n4\n70\n1\n10\n0\n20\n0\n10\n1\n20\n0\n10\n1\n20\n1\n10\n0\n20\n1\n");
    const ContourImport array = Import(
        Drawing(square, "0\nINSERT\n2\nSQ\n10\n100\n20\n0\n50\n90\n70\n3\n71\n2\n44\n5\n45\n7\n"));
    ASSERT_EQ(Result::eOk, array.result) << array.error;
    ASSERT_EQ(6u, array.contours.size());
    std::vector<bool> seen(6, false);
    for (const auto& contour : array.contours) {
        const Box box = BoxOf(contour.polyline.points);
        const long r = std::lround((100 - box.max.x) / 7);
        const long c = std::lround(box.min.y / 5);
        ASSERT_TRUE(r >= 0 && r < 2 && c >= 0 && c < 3) << box.max.x << " " << box.min.y;
        EXPECT_NEAR(100 - 7 * r, box.max.x, 1e-12);
        EXPECT_NEAR(5 * c, box.min.y, 1e-12);
        EXPECT_NEAR(1, box.max.x - box.min.x, 1e-12);
        seen[r * 3 + c] = true;
    }
    EXPECT_EQ(std::vector<bool>(6, true), seen);
    // Two levels: INNER's line (0, 0)-(1, 0) placed twice as large in OUTER at (1, 0), OUTER
    // placed at (5, 5) on layer "Parts": the line runs from (6, 5) to (8, 5), on "Parts" through
    // both levels of layer "0". A block nothing reaches gives nothing.
    const std::string nested =
        Block("INNER", 0, 0, "0\nLINE\n8\n0\n10\n0\n20\n0\n11\n1\n21\n0\n") +
        Block("OUTER", 0, 0, "0\nINSERT\n8\n0\n2\nINNER\n10\n1\n20\n0\n41\n2\n42\n2\n") +
        Block("UNUSED", 0, 0, "0\nCIRCLE\n10\n0\n20\n0\n40\n50\n");
    const ContourImport two =
        Import(Drawing(nested, "0\nINSERT\n8\nParts\n2\nOUTER\n10\n5\n20\n5\n"));
    ASSERT_EQ(1u, two.contours.size());
    EXPECT_EQ("Parts", two.contours[0].layer);
    EXPECT_EQ(Text({{6, 5}, {8, 5}}), Text(two.contours[0].polyline.points));
}

TEST(AccurateBlocks, CyclesAndBombsEndWithAnError) {
    const std::string cycle = Block("A", 0, 0, "0\nINSERT\n2\nB\n") +
                              Block("B", 0, 0, "0\nLINE\n11\n1\n0\nINSERT\n2\nA\n");
    const ContourImport looped = Import(Drawing(cycle, "0\nINSERT\n2\nA\n"));
    EXPECT_EQ(Result::eReadError, looped.result);
    EXPECT_NE(std::string::npos, looped.error.find("block \"A\" inserts itself")) << looped.error;
    // Eight levels of ten copies each would place 10^8 lines: the budget stops it.
    std::string bomb = Block("L0", 0, 0, "0\nLINE\n11\n1\n");
    for (int level = 1; level <= 8; ++level) {
        std::string body;
        for (int copy = 0; copy < 10; ++copy) {
            body += "0\nINSERT\n2\nL" + std::to_string(level - 1) + "\n10\n" +
                    std::to_string(copy) + "\n";
        }
        bomb += Block("L" + std::to_string(level), 0, 0, body);
    }
    ContourOptions small;
    small.maxPoints = 100000;
    const ContourImport stopped = Import(Drawing(bomb, "0\nINSERT\n2\nL8\n"), small);
    EXPECT_EQ(Result::eReadError, stopped.result);
    EXPECT_NE(std::string::npos, stopped.error.find("maxPoints")) << stopped.error;
}

TEST(AccurateBlocks, HatchBoundariesOfEveryEdgeKind) {
    // One edge path, counter-clockwise round: a line (0, 0)-(2, 0); the arc about (2, 1) of
    // radius 1 from -90 to 90 degrees; the elliptic arc about (1, 2), major axis (1, 0), ratio
    // 0.5, from 0 to 180 degrees, over the top at (1, 2.5); a straight spline of degree 1 from
    // (0, 2) down to (0, 0). A polyline path: a unit square at (10, 0) whose top bulges out by a
    // half circle (bulge 1 from (11, 1) to (10, 1)), reaching y = 1.5.
    const std::string hatch =
        "0\nHATCH\n8\nFill\n10\n0\n20\n0\n30\n0\n2\nSOLID\n70\n1\n71\n0\n91\n2\n"
        "92\n1\n93\n4\n"
        "72\n1\n10\n0\n20\n0\n11\n2\n21\n0\n"
        "72\n2\n10\n2\n20\n1\n40\n1\n50\n-90\n51\n90\n73\n1\n"
        "72\n3\n10\n1\n20\n2\n11\n1\n21\n0\n40\n0.5\n50\n0\n51\n180\n73\n1\n"
        "72\n4\n94\n1\n73\n0\n74\n0\n95\n4\n96\n2\n40\n0\n40\n0\n40\n1\n40\n1\n"
        "10\n0\n20\n2\n10\n0\n20\n0\n97\n0\n"
        "92\n2\n72\n1\n73\n1\n93\n4\n10\n10\n20\n0\n42\n0\n10\n11\n20\n0\n42\n0\n10\n11\n20\n1\n"
        "42\n1\n10\n10\n20\n1\n42\n0\n97\n0\n"
        "75\n0\n76\n1\n98\n1\n10\n1\n20\n1\n";
    const ContourImport import = Import(Drawing("", hatch));
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    ASSERT_EQ(2u, import.contours.size());
    const auto& edges = import.contours[0].polyline;
    EXPECT_TRUE(edges.closed);
    EXPECT_EQ("HATCH", import.contours[0].entity);
    EXPECT_EQ("Fill", import.contours[0].layer);
    const Box box = BoxOf(edges.points);
    EXPECT_NEAR(0, box.min.x, 1e-12);
    EXPECT_NEAR(3, box.max.x, 1e-6);    // the arc's right end
    EXPECT_NEAR(2.5, box.max.y, 1e-6);  // the ellipse's top
    for (const Point& p : edges.points) {
        if (p.x > 2 && p.y > 0 && p.y < 2) {
            EXPECT_NEAR(1, std::hypot(p.x - 2, p.y - 1), 1e-12);
        }
        if (p.y > 2) {
            EXPECT_NEAR(1, (p.x - 1) * (p.x - 1) + (p.y - 2) * (p.y - 2) * 4, 1e-12);
        }
    }
    const Box bulged = BoxOf(import.contours[1].polyline.points);
    EXPECT_TRUE(import.contours[1].polyline.closed);
    EXPECT_NEAR(1.5, bulged.max.y, 1e-6);
    // A clockwise arc edge gives its angles mirrored: 0 to 90 runs from (1, 0) clockwise to
    // (0, -1).
    const ContourImport clockwise = Import(
        Drawing("",
                "0\nHATCH\n91\n1\n92\n0\n93\n1\n72\n2\n10\n0\n20\n0\n40\n1\n50\n0\n51\n90\n73\n0\n"
                "97\n0\n"));
    ASSERT_EQ(1u, clockwise.contours.size());
    const auto& arc = clockwise.contours[0].polyline.points;
    EXPECT_NEAR(0, std::hypot(arc.front().x - 1, arc.front().y), 1e-12);
    EXPECT_NEAR(0, std::hypot(arc.back().x, arc.back().y + 1), 1e-12);
    // A boundary that repeats an outline of four LINEs is a contour of its own, its edges joined
    // round their loop before any linking, and sharing every side with the outline is no
    // crossing.
    std::string outline, sides;
    const double corners[5][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    for (int i = 0; i < 4; ++i) {
        const std::string ends = "10\n" + std::to_string(corners[i][0]) + "\n20\n" +
                                 std::to_string(corners[i][1]) + "\n11\n" +
                                 std::to_string(corners[i + 1][0]) + "\n21\n" +
                                 std::to_string(corners[i + 1][1]) + "\n";
        outline += "0\nLINE\n" + ends;
        sides += "72\n1\n" + ends;
    }
    const ContourImport twice =
        Import(Drawing("", outline + "0\nHATCH\n91\n1\n92\n1\n93\n4\n" + sides + "97\n0\n"));
    EXPECT_EQ(Result::eOk, twice.result);
    ASSERT_EQ(2u, twice.contours.size());
    EXPECT_EQ(4u, twice.contours[0].polyline.points.size());
    EXPECT_EQ(4u, twice.contours[1].polyline.points.size());
    // An elliptic edge gives angles seen from its center, not parameters: on the ellipse of
    // semi-axes 2 and 1, the ray at 45 degrees meets it at x = y = 2 / sqrt(5).
    const ContourImport elliptic =
        Import(Drawing("",
                       "0\nHATCH\n91\n1\n92\n0\n93\n1\n72\n3\n10\n0\n20\n0\n11\n2\n21\n0\n40\n0.5\n"
                       "50\n45\n51\n90\n73\n1\n97\n0\n"));
    ASSERT_EQ(1u, elliptic.contours.size());
    const Point first = elliptic.contours[0].polyline.points.front();
    EXPECT_NEAR(0, std::hypot(first.x - 2 / std::sqrt(5.0), first.y - 2 / std::sqrt(5.0)), 1e-12);
}

TEST(AccurateBlocks, LayersHideChooseAndUnitsConvert) {
    const std::string layers =
        "0\nLAYER\n2\nFrozen\n70\n1\n62\n7\n0\nLAYER\n2\nOff\n70\n0\n62\n-7\n"
        "0\nLAYER\n2\nWalls\n70\n0\n62\n1\n";
    const auto line = [](const std::string& layer, int y) {
        return "0\nLINE\n8\n" + layer + "\n10\n0\n20\n" + std::to_string(y) + "\n11\n1\n21\n" +
               std::to_string(y) + "\n";
    };
    // An INSERT on a frozen layer hides the block it places.
    const std::string text = Drawing(Block("B", 0, 0, line("0", 9)),
                                     line("Frozen", 0) + line("Off", 2) + line("Walls", 4) +
                                         line("Other", 6) + "0\nINSERT\n8\nFrozen\n2\nB\n",
                                     layers, "9\n$INSUNITS\n70\n1\n");
    const ContourImport shown = Import(text);
    ASSERT_EQ(2u, shown.contours.size());
    EXPECT_EQ("Walls", shown.contours[0].layer);
    EXPECT_EQ("Other", shown.contours[1].layer);
    EXPECT_EQ(3u, shown.skipped.at("frozen or off layer"));
    ContourOptions all;
    all.hiddenLayers = true;
    EXPECT_EQ(5u, Import(text, all).contours.size());
    ContourOptions chosen;
    chosen.layers = {"walls", "FROZEN"};  // hidden stays hidden unless asked for
    const ContourImport walls = Import(text, chosen);
    ASSERT_EQ(1u, walls.contours.size());
    EXPECT_EQ("Walls", walls.contours[0].layer);
    EXPECT_EQ(1u, walls.skipped.at("layer not chosen"));
    // Inches to millimetres: 25.4 times.
    ContourOptions millimetres;
    millimetres.units = 4;
    const ContourImport converted = Import(text, millimetres);
    EXPECT_EQ(1, converted.units);
    EXPECT_EQ(25.4, converted.scale);
    EXPECT_EQ(Text({{0, 4 * 25.4}, {25.4, 4 * 25.4}}), Text(converted.contours[0].polyline.points));
}

TEST(AccurateBlocks, NamesComeOutAsUtf8) {
    // "Слой" in code page 1251 (С D1, л EB, о EE, й E9) in an R2000 drawing; an escape
    // (\U+0416 is Ж) and UTF-8 in an R2007 drawing.
    const std::string line = "0\nLINE\n8\n{}\n10\n0\n20\n0\n11\n1\n21\n0\n";
    const auto on = [&](const std::string& layer) {
        std::string text = line;
        return text.replace(text.find("{}"), 2, layer);
    };
    // A frozen layer "Ж" (C6) hides its line: the table and the entities name it alike.
    const ContourImport cyrillic =
        Import(Drawing("", on("\xD1\xEB\xEE\xE9") + on("\xC6"), "0\nLAYER\n2\n\xC6\n70\n1\n",
                       "9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_1251\n"));
    ASSERT_EQ(1u, cyrillic.contours.size());
    EXPECT_EQ("\xD0\xA1\xD0\xBB\xD0\xBE\xD0\xB9", cyrillic.contours[0].layer);
    ContourOptions chosen;  // layers are chosen by their UTF-8 names
    chosen.layers = {"\xD0\xA1\xD0\xBB\xD0\xBE\xD0\xB9"};
    EXPECT_EQ(1u, Import(Drawing("", on("\xD1\xEB\xEE\xE9"), "",
                                 "9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\nANSI_1251\n"),
                         chosen)
                      .contours.size());
    const ContourImport escaped =
        Import(Drawing("", on("\\U+0416\xC3\xA9"), "", "9\n$ACADVER\n1\nAC1021\n"));
    ASSERT_EQ(1u, escaped.contours.size());
    EXPECT_EQ("\xD0\x96\xC3\xA9", escaped.contours[0].layer);  // Жé
}

TEST(AccurateBlocks, BinaryDrawingsReadAsTheirText) {
    // Codes of two bytes, little-endian; strings end with NUL; coordinates are 8-byte doubles.
    std::string data("AutoCAD Binary DXF\r\n\x1a\0", 22);
    const auto code = [&](int c) {
        data += static_cast<char>(c & 0xFF);
        data += static_cast<char>(c >> 8);
    };
    const auto text = [&](int c, const std::string& value) {
        code(c);
        data += value;
        data += '\0';
    };
    const auto number = [&](int c, double value) {
        code(c);
        unsigned char bytes[8];
        std::memcpy(bytes, &value, 8);  // the tests run on little-endian machines
        data.append(reinterpret_cast<const char*>(bytes), 8);
    };
    text(0, "SECTION");
    text(2, "ENTITIES");
    text(0, "LINE");
    text(8, "Cut");
    number(10, 0.1);
    number(20, 0);
    const std::size_t badAt = data.size();
    number(11, 1.5);
    number(21, 0.25);
    text(0, "ENDSEC");
    text(0, "EOF");
    const ContourImport import = Import(data);
    ASSERT_EQ(Result::eOk, import.result) << import.error;
    EXPECT_TRUE(import.binary);
    ASSERT_EQ(1u, import.contours.size());
    EXPECT_EQ("Cut", import.contours[0].layer);
    EXPECT_EQ(Text({{0.1, 0}, {1.5, 0.25}}), Text(import.contours[0].polyline.points));
    // A NaN where 11 should be a number: the error names the group's byte offset.
    std::string broken = data;
    const double nan = std::nan("");
    std::memcpy(&broken[badAt + 2], &nan, 8);
    const ContourImport bad = Import(broken);
    EXPECT_EQ(Result::eReadError, bad.result);
    EXPECT_EQ(0u, bad.error.find("binary DXF: byte " + std::to_string(badAt) + ": LINE: group 11"))
        << bad.error;
    EXPECT_EQ(Result::eReadError, Import(data.substr(0, badAt + 3)).result);  // cut inside a group
}

}  // namespace
