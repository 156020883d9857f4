// Linking and the crossing test on pieces with huge, tiny, signed-zero and non-finite end points.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>  // std::size_t
#include <cstring>  // std::memcmp
#include <limits>   // std::numeric_limits
#include <string>   // std::string
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "polyline/PolylineLinking.h"

namespace {

using Vexlor::Dxf::Polyline2d;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kMax = std::numeric_limits<double>::max();

Polyline2d Open(std::vector<Vexlor::Math::point<double, 2>> points) {
    Polyline2d piece;
    piece.points = std::move(points);
    piece.closed = false;
    return piece;
}

std::size_t NonEmpty(const std::vector<Polyline2d>& pieces) {
    std::size_t count = 0;
    for (const Polyline2d& piece : pieces) count += piece.points.empty() ? 0 : 1;
    return count;
}

// Equal point for point and bit for bit, so NaNs and the sign of zero count as well.
bool Identical(const std::vector<Polyline2d>& a, const std::vector<Polyline2d>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].closed != b[i].closed || a[i].points.size() != b[i].points.size()) return false;
        for (std::size_t k = 0; k < a[i].points.size(); ++k) {
            if (std::memcmp(&a[i].points[k], &b[i].points[k], sizeof a[i].points[k]) != 0) {
                return false;
            }
        }
    }
    return true;
}

struct LinkCase {
    std::string name;
    std::vector<Polyline2d> pieces;
    std::size_t chains;
};

class ExtremeLinkingTest : public testing::TestWithParam<LinkCase> {};

// Both linkings agree exactly, and the pieces become the expected number of chains.
TEST_P(ExtremeLinkingTest, BothLinkingsAgree) {
    std::vector<Polyline2d> straightforward = GetParam().pieces;
    std::vector<Polyline2d> indexed = GetParam().pieces;
    Vexlor::Dxf::LinkOpenPolylines(straightforward);
    Vexlor::Dxf::LinkOpenPolylinesIndexed(indexed);
    EXPECT_TRUE(Identical(indexed, straightforward));
    EXPECT_EQ(NonEmpty(straightforward), GetParam().chains);
}

INSTANTIATE_TEST_SUITE_P(
    Linking, ExtremeLinkingTest,
    testing::Values(
        LinkCase{
            "negative_zero_meets_zero", {Open({{1, 1}, {-0.0, -0.0}}), Open({{0, 0}, {2, 2}})}, 1},
        LinkCase{
            "infinite_ends_never_meet", {Open({{0, 0}, {kInf, 0}}), Open({{kInf, 0}, {1, 1}})}, 2},
        LinkCase{"nan_ends_never_meet", {Open({{0, 0}, {kNaN, 0}}), Open({{kNaN, 0}, {1, 1}})}, 2},
        LinkCase{"equal_ends_at_1e38_meet",
                 {Open({{0, 0}, {1e38, 1e38}}), Open({{1e38, 1e38}, {0, 1}})},
                 1},
        LinkCase{"neighbouring_ends_at_1e38_miss",
                 {Open({{0, 0}, {1e38, 1e38}}), Open({{1e38 + 2e22, 1e38}, {0, 1}})},
                 2},
        LinkCase{"equal_ends_at_the_largest_double_meet",
                 {Open({{0, 0}, {kMax, -kMax}}), Open({{kMax, -kMax}, {0, 1}})},
                 1},
        LinkCase{"distance_squared_overflows",
                 {Open({{0, 0}, {1e300, 0}}), Open({{-1e300, 0}, {5, 5}})},
                 2},
        LinkCase{"distance_squared_underflows",
                 {Open({{0, 0}, {1e-200, 0}}), Open({{-1e-200, 0}, {1, 1}})},
                 1},
        LinkCase{"three_pieces_at_a_huge_point",
                 {Open({{0, 0}, {1e300, 1e300}}), Open({{1e300, 1e300}, {0, 1}}),
                  Open({{1e300, 1e300}, {2, 0}})},
                 2}),
    [](const auto& row) { return row.param.name; });

struct CrossCase {
    std::string name;
    std::vector<Polyline2d> polylines;
    bool cross;
};

class ExtremeCrossingTest : public testing::TestWithParam<CrossCase> {};

// The sweep answers as the pairwise test does, with either order of the polylines.
TEST_P(ExtremeCrossingTest, SweepAgreesWithPairwise) {
    const std::vector<Polyline2d>& polylines = GetParam().polylines;
    EXPECT_EQ(Vexlor::Dxf::AnyPolylinesCross(polylines), GetParam().cross);
    EXPECT_EQ(Vexlor::Dxf::AnyPolylinesCrossSweep(polylines), GetParam().cross);
    const std::vector<Polyline2d> swapped(polylines.rbegin(), polylines.rend());
    EXPECT_EQ(Vexlor::Dxf::AnyPolylinesCrossSweep(swapped), GetParam().cross);
}

INSTANTIATE_TEST_SUITE_P(
    Crossing, ExtremeCrossingTest,
    testing::Values(
        CrossCase{"cross_at_1e38",
                  {Open({{-1e38, -1e38}, {1e38, 1e38}}), Open({{-1e38, 1e38}, {1e38, -1e38}})},
                  true},
        CrossCase{
            "cross_of_tiny_segments",
            {Open({{-1e-30, -1e-30}, {1e-30, 1e-30}}), Open({{-1e-30, 1e-30}, {1e-30, -1e-30}})},
            true},
        // Products of 1e200 overflow: the signs are lost and nothing counts as a crossing.
        CrossCase{
            "cross_at_1e200_overflows",
            {Open({{-1e200, -1e200}, {1e200, 1e200}}), Open({{-1e200, 1e200}, {1e200, -1e200}})},
            false},
        CrossCase{"nan_segment", {Open({{kNaN, 0}, {1, 1}}), Open({{0, 1}, {1, 0}})}, false},
        CrossCase{
            "infinite_segment", {Open({{-kInf, 0.5}, {kInf, 0.5}}), Open({{0, 0}, {0, 1}})}, false},
        CrossCase{
            "touch_at_negative_zero", {Open({{-1, 0}, {-0.0, 0}}), Open({{0, 0}, {0, 1}})}, false}),
    [](const auto& row) { return row.param.name; });

// Import end to end: lines meeting at -0 and 0 link into one contour.
TEST(ExtremeLinkingTest, LinesMeetingAtNegativeZeroImportAsOneContour) {
    std::vector<MStlBaseOperatorDXFPolylineReader::Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    EXPECT_EQ(VexlorDxfTest::ImportGroups(
                  reader, VexlorDxfTest::EntitiesDrawing(VexlorDxfTest::Groups(
                              "LINE 10=1 20=1 11=-0 21=-0 LINE 10=0 20=0 11=2 21=5"))),
              CDXFReader::eOk);
    ASSERT_EQ(polylines.size(), 1u);
    EXPECT_EQ(polylines[0].points.size(), 3u);
}

}  // namespace
