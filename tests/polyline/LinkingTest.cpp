// Tests of the contour post-processing of an import: point reduction, short pieces, linking.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>           // std::size_t
#include <cstdio>            // std::snprintf
#include <initializer_list>  // std::initializer_list
#include <ostream>           // std::ostream
#include <sstream>           // std::ostringstream
#include <string>            // std::string
#include <vector>            // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

namespace {

using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::Join;
using VexlorDxfTest::Line;
using VexlorDxfTest::LwPolyline;
using VexlorDxfTest::TempFile;
using VexlorDxfTest::Text;
using VexlorDxfTest::XY;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;

struct Expected {
    std::vector<XY> points;  // in drawing coordinates
    bool closed;
};

std::string Describe(const std::vector<Polyline>& polylines) {
    std::ostringstream out;
    for (const Polyline& polyline : polylines) {
        out << (polyline.closed ? "\n  closed" : "\n  open  ");
        for (const auto& point : polyline.points) out << " (" << point.x << ", " << -point.y << ")";
    }
    return out.str();
}

// Equal point by point; a closed polyline may start at any of its points.
bool Matches(const Polyline& actual, const Expected& expected) {
    const std::size_t n = expected.points.size();
    if (actual.closed != expected.closed || actual.points.size() != n) return false;
    for (std::size_t shift = 0; shift < (expected.closed ? n : 1); ++shift) {
        bool same = true;
        for (std::size_t k = 0; k < n && same; ++k) {
            const XY& want = expected.points[(k + shift) % n];
            same = actual.points[k].x == want.x && actual.points[k].y == -want.y;
        }
        if (same) return true;
    }
    return false;
}

struct LinkRow {
    const char* name;
    std::vector<Group> entities;
    std::vector<Expected> result;
    int code;
};

std::ostream& operator<<(std::ostream& out, const LinkRow& row) { return out << row.name; }

const XY a{0, 0}, b{10, 0}, c{10, 10}, d{0, 10};
const XY p{1, 2}, q{3, 5}, r{6, 4}, s{3, 9};
const XY e{20, 20}, f{30, 20};

std::vector<LinkRow> LinkRows() {
    return {
        {"EmptyDrawing", {}, {}, 3},
        {"OnlyZeroLengthLines", Join({Line(a, a), Line(q, q)}), {}, 3},
        {"SquareHeadToTail",
         Join({Line(a, b), Line(b, c), Line(c, d), Line(d, a)}),
         {{{a, b, c, d, a}, false}},
         0},
        // The joins are back to back, back to front, then front to front.
        {"SquareInMixedDirections",
         Join({Line(a, b), Line(c, b), Line(c, d), Line(a, d)}),
         {{{d, a, b, c, d}, false}},
         0},
        // Both the front ends and the back ends meet: the front-to-front join decides.
        {"FrontToFrontBeforeBackToBack",
         Join({LwPolyline({a, {5, 5}, b}), LwPolyline({a, {5, -5}, b})}),
         {{{b, {5, -5}, a, {5, 5}, b}, false}},
         0},
        {"BackToFrontBeforeFrontToBack",
         Join({LwPolyline({a, {5, 5}, b}), LwPolyline({b, {5, -5}, a})}),
         {{{a, {5, 5}, b, {5, -5}, a}, false}},
         0},
        {"ReversedLineIsDuplicate", Join({Line(p, q), Line(q, p)}), {{{p, q}, false}}, 0},
        {"ReversedThreePointPieceIsJoined",
         Join({LwPolyline({p, q, r}), LwPolyline({r, q, p})}),
         {{{p, q, r, q, p}, false}},
         0},
        // Only as many points as the first piece has are compared: r is lost.
        {"LongerSecondPieceCountsAsDuplicate",
         Join({Line(p, q), LwPolyline({p, q, r})}),
         {{{p, q}, false}},
         0},
        {"ShorterSecondPieceIsJoined",
         Join({LwPolyline({p, q, r}), Line(p, q)}),
         {{{q, p, q, r}, false}},
         0},
        // The joint keeps the point of the lower-indexed piece, not the other's.
        {"GapOfFiftyMillionthsJoinedKeepingFirstPiecesPoint",
         Join({Line({0, 0}, {1.00005f, 0}), Line({1, 0}, {2, 0})}),
         {{{{0, 0}, {1.00005f, 0}, {2, 0}}, false}},
         0},
        {"GapOfTwoHundredMillionthsNotJoined",
         Join({Line({0, 0}, {1, 0}), Line({1.0002f, 0}, {2, 0})}),
         {{{{0, 0}, {1, 0}}, false}, {{{1.0002f, 0}, {2, 0}}, false}},
         0},
        // 0.00007 on both axes is 0.000099 apart: a sum of the two offsets would miss it.
        {"DiagonalGapWithinToleranceJoined",
         Join({Line({0, 0}, {1, 1}), Line({1.00007f, 1.00007f}, {2, 2})}),
         {{{{0, 0}, {1, 1}, {2, 2}}, false}},
         0},
        // 0.00008 on both axes is 0.000113 apart: a test per axis would join them.
        {"DiagonalGapBeyondToleranceNotJoined",
         Join({Line({0, 0}, {1, 1}), Line({1.00008f, 1.00008f}, {2, 2})}),
         {{{{0, 0}, {1, 1}}, false}, {{{1.00008f, 1.00008f}, {2, 2}}, false}},
         0},
        {"ClosedShapeBesideTouchingLinesStaysApart",
         Join({LwPolyline({a, b, c, d, a}), Line(a, b), Line(c, e)}),
         {{{a, b, c, d}, true}, {{a, b}, false}, {{c, e}, false}},
         0},
        {"ClosedShapeBesideIdenticalOpenPieceStaysApart",
         Join({LwPolyline({a, b, c, d, a}), LwPolyline({a, b, c, d})}),
         {{{a, b, c, d}, true}, {{a, b, c, d}, false}},
         0},
        {"ChainStaysAtPlaceOfItsFirstPiece",
         Join({Line(a, b), Line(e, f), Line(b, c)}),
         {{{a, b, c}, false}, {{e, f}, false}},
         0},
        // The second join is front to back: the later piece goes in front.
        {"ChainAfterUnrelatedPiece",
         Join({Line(e, f), Line(b, c), Line(a, b)}),
         {{{e, f}, false}, {{a, b, c}, false}},
         0},
        // After the first join neither end of q-s meets p or r.
        {"ThirdPieceAtSharedPointStaysApart",
         Join({Line(p, q), Line(q, r), Line(q, s)}),
         {{{p, q, r}, false}, {{q, s}, false}},
         0},
        {"RepeatedPointCollapses", LwPolyline({p, p, q}), {{{p, q}, false}}, 0},
        // Dropped before linking: joined first, it would leave b, a, a.
        {"ZeroLengthLineDroppedBeforeLinking",
         Join({Line(a, a), Line(a, b)}),
         {{{a, b}, false}},
         0},
        {"ClosingRepetitionRemoved", LwPolyline({a, b, c, a}), {{{a, b, c}, true}}, 0},
        {"NearlyRepeatedPointsStay",
         LwPolyline({{1, 1}, {1.00005f, 1}, {2, 1}}),
         {{{{1, 1}, {1.00005f, 1}, {2, 1}}, false}},
         0},
    };
}

class Linking : public testing::TestWithParam<LinkRow> {};

TEST_P(Linking, CallersVectorAndResultCode) {
    const LinkRow& row = GetParam();
    TempFile file;
    file.Write(DxfText(EntitiesDrawing(row.entities)));
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    EXPECT_EQ(static_cast<int>(reader.Import(file.WidePath())), row.code);
    bool same = polylines.size() == row.result.size();
    for (std::size_t k = 0; same && k < polylines.size(); ++k) {
        same = Matches(polylines[k], row.result[k]);
    }
    EXPECT_TRUE(same) << "got (y as written):" << Describe(polylines);
}

INSTANTIATE_TEST_SUITE_P(Import, Linking, testing::ValuesIn(LinkRows()),
                         [](const testing::TestParamInfo<LinkRow>& param) {
                             return std::string(param.param.name);
                         });

// A second import links over the whole vector, the first file's result included.
TEST(LinkingResult, SecondImportJoinsFirstFilesChain) {
    TempFile first(".first.dxf");
    TempFile second(".second.dxf");
    first.Write(DxfText(EntitiesDrawing(Join({Line(a, b), Line(b, c)}))));
    second.Write(DxfText(EntitiesDrawing(Line(c, d))));
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    ASSERT_EQ(reader.Import(first.WidePath()), CDXFReader::eOk);
    ASSERT_EQ(reader.Import(second.WidePath()), CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u) << Describe(polylines);
    EXPECT_TRUE(Matches(polylines[0], {{a, b, c, d}, false})) << Describe(polylines);
}

// Linking removes points but never shrinks the box of everything read.
TEST(LinkingResult, DroppedPiecesStillCountInTheBox) {
    TempFile file;
    file.Write(DxfText(EntitiesDrawing(Join({Line(a, b), Line({-7, 40}, {-7, 40})}))));
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    ASSERT_EQ(reader.Import(file.WidePath()), CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(reader.GetLeftTopPoint().x, -7.0);
    EXPECT_EQ(reader.GetLeftTopPoint().y, -40.0);
}

}  // namespace
