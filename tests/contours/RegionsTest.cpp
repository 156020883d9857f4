// Contours as regions: nesting by containment with areas and turns, contours drawn twice, open
// ends left near each other, and where contours cross; values worked out by hand, and seeded
// sets against the straightforward tests of every pair.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>  // std::sort, std::reverse, std::rotate
#include <cmath>      // std::cos, std::sin, std::fabs
#include <cstddef>    // std::size_t
#include <random>     // std::mt19937_64
#include <set>        // std::set
#include <string>     // std::string
#include <utility>    // std::pair
#include <vector>     // std::vector

#include "VexlorDxfContours.h"
#include "contours/Crossing.h"
#include "contours/Gaps.h"
#include "contours/Regions.h"

namespace {

using Vexlor::Dxf::kNoContour;
using Point = Vexlor::Math::point<double, 2>;
using Polyline = Vexlor::Math::polyline<double, 2>;
using Polylines = std::vector<Polyline>;
constexpr std::size_t kNone = kNoContour;

template <typename Case>
std::string NameOf(const testing::TestParamInfo<Case>& test) {
    return test.param.name;
}

// Points as pairs, which compare and print.
using Xy = std::pair<double, double>;
Xy XyOf(const Point& p) { return {p.x, p.y}; }
std::vector<Xy> XyOf(const std::vector<Point>& points) {
    std::vector<Xy> out;
    for (const Point& p : points) out.push_back(XyOf(p));
    return out;
}

Polyline Ring(std::vector<Point> points) { return Polyline{std::move(points), true}; }
Polyline Open(std::vector<Point> points) { return Polyline{std::move(points), false}; }
// The square from (x0, y0) to (x1, y1), counter-clockwise from its lower left corner.
Polyline Square(double x0, double y0, double x1, double y1) {
    return Ring({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}
Polyline Reversed(Polyline p) {
    std::reverse(p.points.begin(), p.points.end());
    return p;
}

struct NestingCase {
    const char* name;
    Polylines contours;
    std::vector<std::size_t> parents;
    std::vector<std::size_t> depths;
    std::vector<double> areas;
};
void PrintTo(const NestingCase& c, std::ostream* out) { *out << c.name; }

class Nesting : public testing::TestWithParam<NestingCase> {};

TEST_P(Nesting, ParentsDepthsAndAreas) {
    const NestingCase& c = GetParam();
    const auto nesting = Vexlor::Dxf::NestContours(c.contours);
    ASSERT_EQ(nesting.size(), c.contours.size());
    for (std::size_t i = 0; i < nesting.size(); ++i) {
        EXPECT_EQ(nesting[i].parent, c.parents[i]) << "contour " << i;
        EXPECT_EQ(nesting[i].depth, c.depths[i]) << "contour " << i;
        EXPECT_EQ(nesting[i].area, c.areas[i]) << "contour " << i;
    }
}

// Areas of squares with whole corners are exact.
const NestingCase kNestingCases[] = {
    {"nested_squares",
     {Square(0, 0, 10, 10), Reversed(Square(2, 2, 8, 8)), Square(4, 4, 6, 6), Square(20, 0, 21, 1)},
     {kNone, 0, 1, kNone},
     {0, 1, 2, 0},
     {100, -36, 4, 1}},
    {"nested_squares_innermost_first",
     {Square(4, 4, 6, 6), Square(2, 2, 8, 8), Square(0, 0, 10, 10)},
     {1, 2, kNone},
     {2, 1, 0},
     {4, 36, 100}},
    {"clockwise_outline_counter_clockwise_hole",
     {Reversed(Square(0, 0, 10, 10)), Square(2, 2, 8, 8)},
     {kNone, 0},
     {0, 1},
     {-100, 36}},
    {"two_holes_and_an_island_in_one",
     {Square(0, 0, 10, 10), Square(1, 1, 4, 9), Square(6, 1, 9, 9), Square(2, 2, 3, 3)},
     {kNone, 0, 0, 1},
     {0, 1, 1, 2},
     {100, 24, 24, 1}},
    {"outlines_sharing_an_edge",
     {Square(0, 0, 1, 1), Square(1, 0, 2, 1), Square(0, 1, 1, 2)},
     {kNone, kNone, kNone},
     {0, 0, 0},
     {1, 1, 1}},
    {"outlines_touching_at_a_corner",
     {Square(0, 0, 1, 1), Square(1, 1, 2, 2), Square(1, -1, 2, 0)},
     {kNone, kNone, kNone},
     {0, 0, 0},
     {1, 1, 1}},
    {"hole_sharing_part_of_the_outlines_left_edge",
     {Square(0, 0, 10, 10), Square(0, 2, 3, 5)},
     {kNone, 0},
     {0, 1},
     {100, 9}},
    {"hole_in_the_outlines_lower_left_corner",
     {Square(0, 0, 10, 10), Square(0, 0, 3, 3)},
     {kNone, 0},
     {0, 1},
     {100, 9}},
    {"hole_touching_the_outline_with_one_corner",
     {Square(0, 0, 10, 10), Ring({{5, 0}, {7, 3}, {3, 3}})},
     {kNone, 0},
     {0, 1},
     {100, 6}},
    {"outline_touching_a_hole_of_another_from_inside",
     {Square(0, 0, 10, 10), Square(2, 2, 8, 8), Square(2, 2, 4, 4)},
     {kNone, 0, 1},
     {0, 1, 2},
     {100, 36, 4}},
    {"triangle_whose_lowest_left_point_is_on_the_outlines_bottom",
     {Square(0, 0, 10, 10), Ring({{2, 0}, {4, 2}, {2, 4}})},
     {kNone, 0},
     {0, 1},
     {100, 4}},
    {"open_contours_take_no_part",
     {Open({{-1, -1}, {20, 20}}), Square(0, 0, 10, 10), Square(2, 2, 3, 3)},
     {kNone, kNone, 1},
     {0, 0, 1},
     {0, 100, 1}},
    {"beside_a_hole_is_inside_the_outline",
     {Square(0, 0, 10, 10), Square(2, 5, 8, 8), Square(4, 2, 6, 4)},
     {kNone, 0, 0},
     {0, 1, 1},
     {100, 18, 4}},
    // A U open to the right with a square in its pocket, beside the U, not inside.
    {"square_in_the_pocket_of_a_u",
     {Ring({{0, 0}, {10, 0}, {10, 2}, {2, 2}, {2, 8}, {10, 8}, {10, 10}, {0, 10}}),
      Square(4, 4, 6, 6)},
     {kNone, kNone},
     {0, 0},
     {52, 4}},
};

INSTANTIATE_TEST_SUITE_P(Regions, Nesting, testing::ValuesIn(kNestingCases), NameOf<NestingCase>);

TEST(Regions, OutlinesWithTheirHolesAndNetAreas) {
    const Polylines contours = {Square(0, 0, 10, 10), Reversed(Square(1, 1, 4, 4)),
                                Square(6, 6, 9, 9), Square(2, 2, 3, 3), Open({{0, 0}, {1, 5}})};
    const auto nesting = Vexlor::Dxf::NestContours(contours);
    const auto regions = Vexlor::Dxf::RegionsOf(contours, nesting);
    ASSERT_EQ(regions.size(), 2u);
    EXPECT_EQ(regions[0].outline, 0u);
    EXPECT_EQ(regions[0].holes, (std::vector<std::size_t>{1, 2}));
    EXPECT_EQ(regions[0].area, 100 - 9 - 9);
    EXPECT_TRUE(regions[0].counterClockwise);
    EXPECT_EQ(regions[1].outline, 3u);
    EXPECT_TRUE(regions[1].holes.empty());
    EXPECT_EQ(regions[1].area, 1);
}

TEST(Regions, OrientTurnsOutlinesCounterClockwiseAndHolesClockwise) {
    Polylines contours = {Reversed(Square(0, 0, 10, 10)), Square(2, 2, 8, 8),
                          Reversed(Square(4, 4, 6, 6)), Open({{0, 0}, {5, 5}, {0, 9}})};
    auto nesting = Vexlor::Dxf::NestContours(contours);
    Vexlor::Dxf::Orient(contours, nesting);
    // The first point stays first; the others run the other way.
    EXPECT_EQ(XyOf(contours[0].points), (std::vector<Xy>{{0, 10}, {0, 0}, {10, 0}, {10, 10}}));
    EXPECT_EQ(nesting[0].area, 100);
    EXPECT_EQ(XyOf(contours[1].points), (std::vector<Xy>{{2, 2}, {2, 8}, {8, 8}, {8, 2}}));
    EXPECT_EQ(nesting[1].area, -36);
    EXPECT_EQ(XyOf(contours[2].points), (std::vector<Xy>{{4, 6}, {4, 4}, {6, 4}, {6, 6}}));
    EXPECT_EQ(nesting[2].area, 4);
    EXPECT_EQ(XyOf(contours[3].points), (std::vector<Xy>{{0, 0}, {5, 5}, {0, 9}}));
    EXPECT_EQ(Vexlor::Dxf::SignedArea(contours[0]), 100);
}

TEST(Regions, SignedAreaFarFromTheOrigin) {
    // About the first point, the digits of a small ring far out are kept: 0.5 exactly.
    const Polyline ring = Ring({{1e9, 1e9}, {1e9 + 1, 1e9}, {1e9 + 1, 1e9 + 1}});
    EXPECT_EQ(Vexlor::Dxf::SignedArea(ring), 0.5);
    EXPECT_EQ(Vexlor::Dxf::SignedArea(Ring({{0, 0}, {1, 1}})), 0);
}

struct DuplicateCase {
    const char* name;
    Polylines contours;
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> groups;
};
void PrintTo(const DuplicateCase& c, std::ostream* out) { *out << c.name; }

class Duplicates : public testing::TestWithParam<DuplicateCase> {};

TEST_P(Duplicates, Found) {
    const auto found = Vexlor::Dxf::FindDuplicates(GetParam().contours);
    std::vector<std::pair<std::size_t, std::vector<std::size_t>>> groups;
    for (const auto& d : found) groups.emplace_back(d.original, d.copies);
    EXPECT_EQ(groups, GetParam().groups);
}

Polyline Rotated(Polyline p, std::size_t by) {
    std::rotate(p.points.begin(), p.points.begin() + static_cast<std::ptrdiff_t>(by),
                p.points.end());
    return p;
}

const DuplicateCase kDuplicateCases[] = {
    {"same_square_three_times",
     {Square(0, 0, 1, 1), Square(5, 5, 6, 6), Square(0, 0, 1, 1), Rotated(Square(0, 0, 1, 1), 2)},
     {{0, {2, 3}}}},
    {"closed_reversed_from_another_start",
     {Rotated(Reversed(Square(0, 0, 1, 1)), 1), Square(0, 0, 1, 1)},
     {{0, {1}}}},
    {"open_reversed", {Open({{0, 0}, {1, 0}, {1, 1}}), Open({{1, 1}, {1, 0}, {0, 0}})}, {{0, {1}}}},
    {"open_is_no_copy_of_closed",
     {Open({{0, 0}, {1, 0}, {1, 1}}), Ring({{0, 0}, {1, 0}, {1, 1}})},
     {}},
    {"an_open_rotation_is_another_contour",
     {Open({{0, 0}, {1, 0}, {1, 1}}), Open({{1, 0}, {1, 1}, {0, 0}})},
     {}},
    {"same_points_in_another_order",
     {Ring({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), Ring({{0, 0}, {1, 1}, {1, 0}, {0, 1}})},
     {}},
    {"minus_zero_is_zero", {Open({{0, 0}, {1, 0}}), Open({{-0.0, 0}, {1, -0.0}})}, {{0, {1}}}},
    {"one_point_moved", {Square(0, 0, 1, 1), Square(0, 0, 1, 1.0000000001)}, {}},
};

INSTANTIATE_TEST_SUITE_P(Regions, Duplicates, testing::ValuesIn(kDuplicateCases),
                         NameOf<DuplicateCase>);

TEST(Regions, GapsBetweenOpenEndsNearestFirst) {
    const Polylines contours = {Open({{0, 0}, {1, 0}}), Open({{1.5, 0}, {3, 0}}),
                                Open({{3, 0.25}, {3, 5}}), Square(0, 0, 1, 1),
                                Open({{10, 0}, {12, 0}, {12, 2}, {10, 0.75}})};
    const auto report = Vexlor::Dxf::FindGaps(contours, 1, 10);
    EXPECT_TRUE(report.complete);
    ASSERT_EQ(report.gaps.size(), 3u);
    EXPECT_EQ(report.gaps[0].first, 1u);  // (3, 0) to (3, 0.25)
    EXPECT_TRUE(report.gaps[0].firstAtBack);
    EXPECT_EQ(report.gaps[0].second, 2u);
    EXPECT_FALSE(report.gaps[0].secondAtBack);
    EXPECT_EQ(report.gaps[0].distance, 0.25);
    EXPECT_EQ(report.gaps[1].first, 0u);  // (1, 0) to (1.5, 0)
    EXPECT_TRUE(report.gaps[1].firstAtBack);
    EXPECT_EQ(report.gaps[1].second, 1u);
    EXPECT_EQ(report.gaps[1].distance, 0.5);
    EXPECT_EQ(XyOf(report.gaps[1].from), (Xy{1, 0}));
    EXPECT_EQ(XyOf(report.gaps[1].to), (Xy{1.5, 0}));
    EXPECT_EQ(report.gaps[2].first, 4u);  // its own ends, (10, 0) and (10, 0.75)
    EXPECT_EQ(report.gaps[2].second, 4u);
    EXPECT_EQ(report.gaps[2].distance, 0.75);
    // Below the distances found, none; with a cap of one, one and incomplete.
    EXPECT_TRUE(Vexlor::Dxf::FindGaps(contours, 0.25, 10).gaps.empty());
    const auto capped = Vexlor::Dxf::FindGaps(contours, 1, 1);
    EXPECT_EQ(capped.gaps.size(), 1u);
    EXPECT_FALSE(capped.complete);
    // A line's own two ends are no gap.
    EXPECT_TRUE(Vexlor::Dxf::FindGaps({Open({{0, 0}, {0.5, 0}})}, 1, 10).gaps.empty());
}

TEST(Regions, GapsAcrossCellsInEveryDirection) {
    // Ends 0.9 apart across a cell boundary on each side, and diagonally.
    for (const Point& d :
         {Point{0.9, 0}, Point{-0.9, 0}, Point{0, 0.9}, Point{0, -0.9}, Point{0.6, 0.6},
          Point{-0.6, 0.6}, Point{0.6, -0.6}, Point{-0.6, -0.6}}) {
        const Polylines contours = {Open({{-5, -5}, {0.95, 0.95}}),
                                    Open({{0.95 + d.x, 0.95 + d.y}, {7, -3}})};
        const auto report = Vexlor::Dxf::FindGaps(contours, 1, 10);
        EXPECT_EQ(report.gaps.size(), 1u) << d.x << " " << d.y;
    }
}

TEST(Regions, CrossingsLocatedWithSelfCrossings) {
    const Polylines contours = {
        Ring({{0, 0}, {2, 2}, {2, 0}, {0, 2}}),  // a bow tie crossing itself at (1, 1)
        Square(10, 0, 12, 2),
        Square(11, 1, 13, 3),  // cross at (12, 1) and (11, 2)
        Square(20, 0, 21, 1),
        Square(21, 0, 22, 1),  // share an edge: no crossing
        Open({{30, 0}, {32, 2}}),
        Open({{32, 2}, {34, 0}}),  // meet at an end: no crossing
    };
    const auto report = Vexlor::Dxf::LocateCrossings(contours, 10);
    EXPECT_TRUE(report.complete);
    EXPECT_EQ(report.count, 2u);
    ASSERT_EQ(report.crossings.size(), 2u);
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (const auto& c : report.crossings) {
        pairs.emplace_back(c.first, c.second);
        if (c.first == 0) {
            EXPECT_EQ(XyOf(c.at), (Xy{1, 1}));
        } else {
            EXPECT_TRUE(XyOf(c.at) == Xy(12, 1) || XyOf(c.at) == Xy(11, 2))
                << c.at.x << " " << c.at.y;
        }
    }
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (std::vector<std::pair<std::size_t, std::size_t>>{{0, 0}, {1, 2}}));
}

TEST(Regions, CrossingsCappedWithTheirCount) {
    // Five lines across one: five pairs, two reported; and three lines through one point.
    Polylines contours = {Open({{0, -1}, {0, 10}})};
    for (int k = 0; k < 5; ++k) contours.push_back(Open({{-1, double(k)}, {1, double(k)}}));
    const auto report = Vexlor::Dxf::LocateCrossings(contours, 2);
    EXPECT_EQ(report.count, 5u);
    EXPECT_EQ(report.crossings.size(), 2u);
    EXPECT_TRUE(report.complete);
    const Polylines star = {Open({{-1, 0}, {1, 0}}), Open({{0, -1}, {0, 1}}),
                            Open({{-1, -1}, {1, 1}})};
    const auto through = Vexlor::Dxf::LocateCrossings(star, 10);
    EXPECT_EQ(through.count, 3u);
    for (const auto& c : through.crossings) EXPECT_EQ(XyOf(c.at), (Xy{0, 0}));
}

// Proper crossing of segments with small whole coordinates, where every product is exact.
bool CrossExactly(const Point& a, const Point& b, const Point& c, const Point& d) {
    const auto side = [](const Point& p, const Point& q, const Point& r) {
        const double v = (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
        return v > 0 ? 1 : v < 0 ? -1 : 0;
    };
    return side(a, b, c) * side(a, b, d) < 0 && side(c, d, a) * side(c, d, b) < 0;
}

TEST(Regions, CrossingPairsAgreeWithEveryPairOfSegments) {
    std::mt19937_64 random(25);
    for (int trial = 0; trial < 300; ++trial) {
        Polylines contours(1 + random() % 6);
        for (Polyline& p : contours) {
            p.closed = random() % 2 == 0;
            for (std::size_t k = 2 + random() % 5; k > 0; --k) {
                p.points.push_back({double(random() % 7), double(random() % 7)});
            }
        }
        std::set<std::pair<std::size_t, std::size_t>> expected;
        for (std::size_t i = 0; i < contours.size(); ++i) {
            for (std::size_t j = i; j < contours.size(); ++j) {
                const Polyline& p = contours[i];
                const Polyline& q = contours[j];
                const std::size_t ns = p.closed ? p.points.size() : p.points.size() - 1;
                const std::size_t ms = q.closed ? q.points.size() : q.points.size() - 1;
                for (std::size_t s = 0; s < ns; ++s) {
                    for (std::size_t t = 0; t < ms; ++t) {
                        if (CrossExactly(p.points[s], p.points[(s + 1) % p.points.size()],
                                         q.points[t], q.points[(t + 1) % q.points.size()])) {
                            expected.insert({i, j});
                        }
                    }
                }
            }
        }
        const auto report = Vexlor::Dxf::LocateCrossings(contours, 100);
        std::set<std::pair<std::size_t, std::size_t>> found;
        for (const auto& c : report.crossings) found.insert({c.first, c.second});
        ASSERT_TRUE(report.complete);
        EXPECT_EQ(found, expected) << "trial " << trial;
        EXPECT_EQ(report.count, expected.size());
    }
}

// Even-odd containment of a point strictly inside or outside a ring.
bool Inside(const Point& p, const Polyline& ring) {
    bool inside = false;
    const auto& v = ring.points;
    for (std::size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
        if ((v[i].y > p.y) != (v[j].y > p.y) &&
            p.x < (v[j].x - v[i].x) * (p.y - v[i].y) / (v[j].y - v[i].y) + v[i].x) {
            inside = !inside;
        }
    }
    return inside;
}

struct Circle {
    double x, y, r;
};

// Circles inside or beside one another, never crossing, as polygons of 3 to 12 corners (the
// polygon lies within its circle and holds the circle of half its radius).
void AddCircles(std::mt19937_64& random, const Circle& within, int level,
                std::vector<Circle>& out) {
    std::uniform_real_distribution<double> unit(0, 1);
    for (int tries = 0; tries < 6 && level < 4; ++tries) {
        const double r = within.r * (0.1 + 0.2 * unit(random));
        const double a = unit(random) * 6.283185307179586;
        const double d = (within.r / 2 - r) * unit(random);
        const Circle c{within.x + d * std::cos(a), within.y + d * std::sin(a), r};
        bool apart = true;
        for (const Circle& o : out) {
            const double far = std::hypot(o.x - c.x, o.y - c.y);
            if (far < o.r + c.r && !(far + c.r < o.r / 2) && !(far + o.r < c.r / 2)) apart = false;
        }
        if (!apart) continue;
        out.push_back(c);
        if (unit(random) < 0.5) AddCircles(random, c, level + 1, out);
    }
}

TEST(Regions, NestingAgreesWithContainmentOfEveryPair) {
    std::mt19937_64 random(2525);
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<Circle> circles;
        AddCircles(random, {0, 0, 100}, 0, circles);
        std::shuffle(circles.begin(), circles.end(), random);
        Polylines contours;
        for (const Circle& c : circles) {
            Polyline p;
            const int corners = 3 + static_cast<int>(random() % 10);
            const double turn = random() % 2 ? 1 : -1;
            for (int k = 0; k < corners; ++k) {
                const double a = turn * 6.283185307179586 * k / corners + 0.1;
                p.points.push_back({c.x + c.r * std::cos(a), c.y + c.r * std::sin(a)});
            }
            contours.push_back(p);
        }
        // The parent: the smallest that holds the centre of the circle (inside its polygon, away
        // from every other boundary).
        const auto nesting = Vexlor::Dxf::NestContours(contours);
        for (std::size_t i = 0; i < contours.size(); ++i) {
            std::size_t parent = kNone;
            for (std::size_t j = 0; j < contours.size(); ++j) {
                if (j == i || circles[j].r <= circles[i].r) continue;
                if (!Inside({circles[i].x, circles[i].y}, contours[j])) continue;
                if (parent == kNone || circles[j].r < circles[parent].r) parent = j;
            }
            EXPECT_EQ(nesting[i].parent, parent) << "trial " << trial << " contour " << i;
        }
    }
}

// Through the import: the linking distance and its default, gaps, duplicates and regions.
std::string Lines(
    const std::vector<std::pair<std::pair<double, double>, std::pair<double, double>>>& lines) {
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    for (const auto& [a, b] : lines) {
        text += "0\nLINE\n8\n0\n10\n" + std::to_string(a.first) + "\n20\n" +
                std::to_string(a.second) + "\n11\n" + std::to_string(b.first) + "\n21\n" +
                std::to_string(b.second) + "\n";
    }
    return text + "0\nENDSEC\n0\nEOF\n";
}

struct LinkCase {
    const char* name;
    double gap;      // between the ends of two lines of a drawing 2 wide
    double extent;   // the drawing's extent (the chord tolerance is 1e-5 of it)
    double linking;  // ContourOptions::linkingDistance
    bool withinTolerance;
    std::size_t contours;
    std::size_t gaps;
};
void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }

class Linking : public testing::TestWithParam<LinkCase> {};

TEST_P(Linking, JoinsBelowTheDistanceAndReportsTheGapAbove) {
    const LinkCase& c = GetParam();
    const std::string text =
        Lines({{{0, 0}, {1, 0}}, {{1 + c.gap, 0}, {2, 0}}, {{0, 5}, {c.extent, 5}}});
    Vexlor::Dxf::ContourOptions options;
    options.analyse = true;
    options.linkingDistance = c.linking;
    options.linkWithinTolerance = c.withinTolerance;
    const auto import = Vexlor::Dxf::ImportContoursFromMemory(text, options);
    EXPECT_EQ(import.contours.size(), c.contours);
    std::size_t gaps = 0;
    for (const auto& gap : import.gaps) {
        if (gap.from.y == 0 && gap.to.y == 0) {
            ++gaps;
            EXPECT_NEAR(gap.distance, c.gap, 1e-12);
        }
    }
    EXPECT_EQ(gaps, c.gaps);
}

const LinkCase kLinkCases[] = {
    // The ends lie 1 + gap apart as written in six decimals: 0.000099 and 0.000101.
    {"just_under_the_default", 0.000099, 2, 1e-4, true, 2, 0},
    {"just_over_the_default", 0.000101, 2, 1e-4, true, 3, 1},
    {"over_the_default_under_one_set", 0.000101, 2, 0.000102, true, 2, 0},
    // In a drawing 50 wide the chord tolerance is 5e-4: the bore of a gear 1.3e-4 apart joins.
    {"within_the_chord_tolerance", 0.00013, 50, 1e-4, true, 2, 0},
    {"within_the_chord_tolerance_not_asked", 0.00013, 50, 1e-4, false, 3, 1},
    {"beyond_the_chord_tolerance", 0.00052, 50, 1e-4, true, 3, 1},
    // Beyond 100 times the linking distance no gap is reported.
    {"beyond_the_report_distance", 0.011, 2, 1e-4, true, 3, 0},
};

INSTANTIATE_TEST_SUITE_P(Regions, Linking, testing::ValuesIn(kLinkCases), NameOf<LinkCase>);

// Closed LWPOLYLINEs through the points given, x and y in turn.
std::string Rings(const std::vector<std::vector<double>>& rings) {
    std::string text = "0\nSECTION\n2\nENTITIES\n";
    for (const auto& ring : rings) {
        text += "0\nLWPOLYLINE\n8\n0\n90\n" + std::to_string(ring.size() / 2) + "\n70\n1\n";
        for (std::size_t k = 0; k + 1 < ring.size(); k += 2) {
            text +=
                "10\n" + std::to_string(ring[k]) + "\n20\n" + std::to_string(ring[k + 1]) + "\n";
        }
    }
    return text + "0\nENDSEC\n0\nEOF\n";
}

TEST(Regions, ImportAnalysesWhenAsked) {
    // An outline and a hole drawn twice, the second time backwards from another corner.
    const std::string square =
        Rings({{0, 0, 4, 0, 4, 4, 0, 4}, {1, 1, 1, 2, 2, 2, 2, 1}, {2, 2, 1, 2, 1, 1, 2, 1}});
    const auto plain = Vexlor::Dxf::ImportContoursFromMemory(square);
    EXPECT_TRUE(plain.nesting.empty());
    EXPECT_TRUE(plain.regions.empty());
    Vexlor::Dxf::ContourOptions options;
    options.analyse = true;
    const auto analysed = Vexlor::Dxf::ImportContoursFromMemory(square, options);
    ASSERT_EQ(analysed.contours.size(), 3u);
    ASSERT_EQ(analysed.duplicates.size(), 1u);
    EXPECT_EQ(analysed.duplicates[0].original, 1u);
    EXPECT_EQ(analysed.duplicates[0].copies, (std::vector<std::size_t>{2}));
    // The copy is a hole of the outline too, but not in its region again.
    EXPECT_EQ(analysed.nesting[2].parent, 0u);
    EXPECT_EQ(analysed.nesting[2].depth, 1u);
    ASSERT_EQ(analysed.regions.size(), 1u);
    EXPECT_EQ(analysed.regions[0].holes, (std::vector<std::size_t>{1}));
    EXPECT_EQ(analysed.regions[0].area, 16 - 1);
    EXPECT_TRUE(analysed.nestingWellDefined);
    options.dropDuplicates = true;
    options.orient = true;
    const auto kept = Vexlor::Dxf::ImportContoursFromMemory(square, options);
    ASSERT_EQ(kept.contours.size(), 2u);
    ASSERT_EQ(kept.duplicates.size(), 1u);
    EXPECT_EQ(kept.duplicates[0].dropped, 1u);
    EXPECT_TRUE(kept.duplicates[0].copies.empty());
    ASSERT_EQ(kept.regions.size(), 1u);
    EXPECT_EQ(kept.regions[0].area, 15);
    EXPECT_EQ(kept.nesting[0].area, 16);
    EXPECT_EQ(kept.nesting[1].area, -1);
    EXPECT_EQ(plain.result, kept.result);
}

TEST(Regions, CrossingContoursKeepTheirVerdictAndSayNestingIsNotDefined) {
    const std::string text = Lines({{{0, 0}, {2, 0}},
                                    {{2, 0}, {2, 2}},
                                    {{2, 2}, {0, 2}},
                                    {{0, 2}, {0, 0}},
                                    {{1, 1}, {3, 1}},
                                    {{3, 1}, {3, 3}},
                                    {{3, 3}, {1, 3}},
                                    {{1, 3}, {1, 1}}});
    Vexlor::Dxf::ContourOptions options;
    options.analyse = true;
    const auto import = Vexlor::Dxf::ImportContoursFromMemory(text, options);
    EXPECT_EQ(import.result, Vexlor::Dxf::EContourResult::eIntersecting);
    EXPECT_EQ(import.crossingCount, 1u);
    EXPECT_FALSE(import.nestingWellDefined);
    ASSERT_EQ(import.crossings.size(), 1u);
    const Xy at = XyOf(import.crossings[0].at);
    EXPECT_TRUE(at == Xy(2, 1) || at == Xy(1, 2)) << at.first << " " << at.second;
}

}  // namespace
