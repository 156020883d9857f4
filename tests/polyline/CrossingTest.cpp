// Tests of the crossing test: the result code of an import, and PolylinesCross on its own.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>           // std::size_t
#include <cstdio>            // std::snprintf
#include <initializer_list>  // std::initializer_list
#include <limits>            // std::numeric_limits
#include <ostream>           // std::ostream
#include <string>            // std::string
#include <vector>            // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "polyline/PolylineLinking.h"

namespace {

using Vexlor::Dxf::Polyline2d;
using Vexlor::Dxf::PolylinesCross;
using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::Join;
using VexlorDxfTest::Line;
using VexlorDxfTest::LwPolyline;
using VexlorDxfTest::TempFile;
using VexlorDxfTest::Text;
using VexlorDxfTest::Vertices;
using VexlorDxfTest::XY;

// A closed polyline of exactly these points: the POLYLINE header leaves `closed` set.
std::vector<Group> ClosedPolyline(const std::vector<XY>& vertices) {
    std::vector<Group> groups{{0, "POLYLINE"}, {66, "1"}};
    for (const XY& v : vertices) {
        const std::vector<Group> vertex = Vertices("VERTEX", {v});
        groups.insert(groups.end(), vertex.begin(), vertex.end());
    }
    groups.push_back({0, "SEQEND"});
    return groups;
}

std::vector<Group> Square(double x, double y, double size) {
    return LwPolyline({{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}});
}

struct ImportRow {
    const char* name;
    std::vector<Group> entities;
    int code;
    std::size_t polylines;  // after linking; a crossing removes nothing
};

std::ostream& operator<<(std::ostream& out, const ImportRow& row) { return out << row.name; }

const XY a{0, 0}, b{10, 0}, c{10, 10}, d{0, 10};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<ImportRow> ImportRows() {
    return {
        {"FigureEightAlone", LwPolyline({{0, 0}, {2, 2}, {2, 0}, {0, 2}, {0, 0}}), 0, 1},
        // Four lines make one chain that crosses itself; as separate pieces they would cross.
        {"SelfCrossingChainOfLinesAlone",
         Join({Line({0, 0}, {2, 2}), Line({2, 2}, {2, 0}), Line({2, 0}, {0, 2}),
               Line({0, 2}, {0, 0})}),
         0, 1},
        // With a second polyline present a polyline still is not tested against itself.
        {"FigureEightBesideAnotherShape",
         Join({LwPolyline({{0, 0}, {2, 2}, {2, 0}, {0, 2}, {0, 0}}), Square(5, 5, 1)}), 0, 2},
        {"TwoCrossingLines", Join({Line({0, 0}, {2, 2}), Line({0, 2}, {2, 0})}), 4, 2},
        {"OverlappingSquares", Join({Square(0, 0, 10), Square(5, 5, 10)}), 4, 2},
        {"SquaresSharingOneCorner", Join({Square(0, 0, 10), Square(10, 10, 10)}), 0, 2},
        {"SquaresSharingAnEdge", Join({Square(0, 0, 10), Square(10, 0, 10)}), 0, 2},
        {"SegmentEndingInsideAnEdge", Join({Square(0, 0, 10), Line({5, 0}, {5, -5})}), 0, 2},
        {"SquareInsideSquare", Join({Square(0, 0, 10), Square(2, 2, 3)}), 0, 2},
        // Every edge it cuts has a corner exactly on its line: no proper crossing anywhere.
        {"DiagonalThroughTwoCorners", Join({Square(0, 0, 10), Line({-5, -5}, {15, 15})}), 0, 2},
        {"SegmentCrossingOnlyTheClosingEdge",
         Join({Line({-1, 5}, {1, 5}), ClosedPolyline({a, b, c, d})}), 4, 2},
        {"SamePointsOpenHaveNoClosingEdge", Join({Line({-1, 5}, {1, 5}), LwPolyline({a, b, c, d})}),
         0, 2},
        {"OnlySecondAndThirdCross",
         Join({Square(0, 0, 10), Line({20, 0}, {30, 10}), Line({20, 10}, {30, 0})}), 4, 3},
        // The first segment of the one and the second of the other have boxes that meet only on
        // one line, yet rounding makes both side tests negative: a search that passed over
        // touching boxes would answer 0.
        {"BoxesThatOnlyTouchInXAreStillTested",
         Join({LwPolyline(
                   {{-1011.79132f, 59064.3125f}, {0.00146853365f, 2.75240109e-06f}, {-2000, 0}}),
               LwPolyline(
                   {{200, 0}, {0.00146853365f, 2.75240131e-06f}, {131.50827f, 0.521630824f}})}),
         4, 2},
        {"BoxesThatOnlyTouchInYAreStillTested",
         Join({LwPolyline(
                   {{59064.3125f, -1011.79132f}, {2.75240109e-06f, 0.00146853365f}, {0, -2000}}),
               LwPolyline(
                   {{0, 200}, {2.75240131e-06f, 0.00146853365f}, {0.521630824f, 131.50827f}})}),
         4, 2},
        {"NaNCoordinateNeverCrosses", Join({Line({0, 0}, {2, 2}), Line({0, 2}, {kNaN, 0})}), 0, 2},
        // Segments with NaN must not upset the search for the crossing pair among the others.
        {"CrossingFoundAmongNaNSegments",
         Join({Line({kNaN, 1}, {3, 1}), Line({0, 0}, {2, 2}), Line({1, kNaN}, {1, 5}),
               Line({kNaN, kNaN}, {7, 7}), Line({0, 2}, {2, 0}), Line({-1, 1}, {kNaN, 1})}),
         4, 6},
        {"OnlyFirstAndThirdCross",
         Join({Line({20, 0}, {30, 10}), Square(0, 0, 10), Line({20, 10}, {30, 0})}), 4, 3},
    };
}

class CrossingImport : public testing::TestWithParam<ImportRow> {};

TEST_P(CrossingImport, ResultCode) {
    const ImportRow& row = GetParam();
    TempFile file;
    file.Write(DxfText(EntitiesDrawing(row.entities)));
    std::vector<Polyline2d> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    EXPECT_EQ(static_cast<int>(reader.Import(file.WidePath())), row.code);
    EXPECT_EQ(polylines.size(), row.polylines);
}

INSTANTIATE_TEST_SUITE_P(Import, CrossingImport, testing::ValuesIn(ImportRows()),
                         [](const testing::TestParamInfo<ImportRow>& param) {
                             return std::string(param.param.name);
                         });

// --- PolylinesCross on its own ---------------------------------------------------------------

Polyline2d Open(std::initializer_list<Vexlor::Math::point<double, 2>> points) {
    return {points, false};
}
Polyline2d Closed(std::initializer_list<Vexlor::Math::point<double, 2>> points) {
    return {points, true};
}

struct CrossRow {
    const char* name;
    Polyline2d first;
    Polyline2d second;
    bool crosses;
};

std::ostream& operator<<(std::ostream& out, const CrossRow& row) { return out << row.name; }

std::vector<CrossRow> CrossRows() {
    const Polyline2d square = Closed({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const Polyline2d openSquare = Open({{0, 0}, {10, 0}, {10, 10}, {0, 10}});
    const Polyline2d acrossLeftEdge = Open({{-1, 5}, {1, 5}});
    return {
        {"ProperCrossing", Open({{0, 0}, {2, 2}}), Open({{0, 2}, {2, 0}}), true},
        {"EndPointExactlyOnTheOtherSegment", Open({{0, 0}, {2, 0}}), Open({{1, 0}, {1, 1}}), false},
        {"SharedEndPoint", Open({{0, 0}, {1, 1}}), Open({{1, 1}, {2, 0}}), false},
        {"CollinearOverlap", Open({{0, 0}, {2, 0}}), Open({{1, 0}, {3, 0}}), false},
        {"Parallel", Open({{0, 0}, {2, 0}}), Open({{0, 1}, {2, 1}}), false},
        {"LinesCrossBeyondOneSegment", Open({{0, 0}, {4, 4}}), Open({{4, 0}, {3, 1}}), false},
        {"OnlyLastSegmentsCross", Open({{0, 0}, {1, 0}, {2, 0}, {3, 0}}),
         Open({{9, 9}, {8, 9}, {2.5, 1}, {2.5, -1}}), true},
        {"NaNInFirstNeverCrosses", Open({{0, 0}, {kNaN, 2}}), Open({{0, 2}, {2, 0}}), false},
        {"NaNInSecondNeverCrosses", Open({{0, 0}, {2, 2}}), Open({{0, 2}, {2, kNaN}}), false},
        {"ClosingEdgeOfClosedPolyline", square, acrossLeftEdge, true},
        {"NoClosingEdgeWhenOpen", openSquare, acrossLeftEdge, false},
        {"EmptyPolyline", Closed({}), Open({{0, 0}, {2, 2}}), false},
        // The boxes meet only on x = 0x1.b7678cd3586cep+1, yet rounding makes both side tests
        // negative: a box test that rejected touching boxes would answer false.
        {"BoxesThatOnlyTouchInXAreStillTested",
         Open({{-0x1.245e38f034b35p+2, 0x1.031d916fd87fp+3},
               {0x1.b7678cd3586cep+1, 0x1.7bbbff238da6p+1}}),
         Open({{0x1.b7678cd3586cep+1, 0x1.7bbbff238da61p+1},
               {0x1.38edc6da726e7p+3, 0x1.ab207c049f3e4p+2}}),
         true},
        {"BoxesThatOnlyTouchInYAreStillTested",
         Open({{59064.3125f, -1011.79132f}, {2.75240109e-06f, 0.00146853365f}}),
         Open({{2.75240131e-06f, 0.00146853365f}, {0.521630824f, 131.50827f}}), true},
        // The same kind of pair with the boxes one ulp apart in x: without the box test the side
        // tests alone would report a crossing.
        {"BoxesOneUlpApartAreRejected",
         Open({{-0x1.42b90738b88cap+0, 0x1.2ad0408d832acp+2},
               {0x1.2a5220318787cp+2, 0x1.ab2a27c12bce1p+1}}),
         Open({{0x1.2a5220318787dp+2, 0x1.ab2a27c12bcep+1},
               {0x1.b726856920119p+3, 0x1.d35367e6edea1p-1}}),
         false},
    };
}

class CrossingPair : public testing::TestWithParam<CrossRow> {};

TEST_P(CrossingPair, EitherOrder) {
    const CrossRow& row = GetParam();
    EXPECT_EQ(PolylinesCross(row.first, row.second), row.crosses);
    EXPECT_EQ(PolylinesCross(row.second, row.first), row.crosses);
}

INSTANTIATE_TEST_SUITE_P(PolylinesCross, CrossingPair, testing::ValuesIn(CrossRows()),
                         [](const testing::TestParamInfo<CrossRow>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
