// The contour engine against its straightforward forms: indexed linking against the rescanning
// scan, the bucketed crossing test against the pairwise one, in-place point reduction against
// the index list, on seeded input built to be hard.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>  // std::shuffle, std::swap
#include <cmath>      // std::cos, std::sin
#include <cstdint>    // std::uint64_t
#include <limits>     // std::numeric_limits
#include <random>     // std::mt19937_64
#include <utility>    // std::pair
#include <vector>     // std::vector

#include "ContourOracles.h"
#include "DxfTestSupport.h"
#include "contours/Crossing.h"
#include "contours/CrossingSweep.h"
#include "contours/Finishing.h"
#include "contours/LargeArrayAllocator.h"
#include "contours/Linking.h"
#include "contours/PieceTable.h"
#include "contours/Reduction.h"

namespace {

using VexlorDxfTest::Describe;
using VexlorDxfTest::Polylines;
using Point = Vexlor::Math::point<double, 2>;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

// Both linkings of `pieces`, compared bit for bit: empty when they agree.
std::string LinkedBoth(Polylines pieces, const Vexlor::Dxf::MeetDistance& meet = {}) {
    Polylines reference = pieces;
    VexlorDxfTest::LinkByRescanning(reference, meet.squared);
    Vexlor::Dxf::LinkOpenPolylines(pieces, meet);
    const std::string linked = Describe(pieces);
    return linked == Describe(reference) ? "" : linked + "against\n" + Describe(reference);
}

// Pieces of one to four points near a few anchors: on them, within the joining distance, or
// just beyond it; reversed copies of earlier pieces; closed shapes; anchors where arithmetic is
// exact and where it rounds, huge, tiny, signed zero and not finite.
Polylines RandomPieces(std::mt19937_64& random) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    static const Point anchors[] = {{0, 0},       {1, 0},       {0.3, 2.7},    {1.1, 0.7},
                                    {-0.0, -0.0}, {1e38, 1e38}, {kMax, -kMax}, {1e-200, 0},
                                    {-1e-200, 0}, {1e300, 1},   {-1e300, 1},   {kInf, 0},
                                    {nan, 2},     {2.9, 1.3},   {2, 2},        {0.1, 0.2}};
    static const double offsets[] = {0, 0, 0, 0.00004, -0.00004, 0.00011, 0.0002};
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    Polylines pieces(pick(30));
    for (std::size_t k = 0; k < pieces.size(); ++k) {
        if (k > 0 && pick(10) == 0) {
            pieces[k] = pieces[pick(k)];
            if (pick(2)) std::reverse(pieces[k].points.begin(), pieces[k].points.end());
            continue;
        }
        pieces[k].closed = pick(10) == 0;
        for (std::size_t p = 1 + pick(4); p > 0; --p) {
            const Point& a = anchors[pick(pick(4) ? 4 : 16)];
            pieces[k].points.push_back({a.x + offsets[pick(7)], a.y + offsets[pick(7)]});
        }
    }
    return pieces;
}

TEST(Contours, RandomPiecesLinkAndCrossAsTheScans) {
    std::mt19937_64 random(1000);
    int crossings = 0;
    const int rounds = 4000;
    for (int round = 0; round < rounds; ++round) {
        Polylines pieces = RandomPieces(random);
        ASSERT_EQ(LinkedBoth(pieces), "") << "round " << round;
        // At another joining distance, which the offsets straddle too.
        ASSERT_EQ(LinkedBoth(pieces, Vexlor::Dxf::MeetDistance::Of(1.5e-4)), "")
            << "round " << round;
        // A few pieces, every other time spread over four touching squares, so that both answers
        // come up and polylines whose box meets no other are passed over.
        if (pieces.size() > 4) pieces.resize(2 + random() % 3);
        for (auto& piece : pieces) {
            const Point shift{3.0 * (round % 2) * (random() % 2),
                              3.0 * (round % 2) * (random() % 2)};
            for (Point& p : piece.points) p = {p.x + shift.x, p.y + shift.y};
        }
        const bool expected = VexlorDxfTest::AnyCrossPairwise(pieces);
        crossings += expected;
        ASSERT_EQ(expected, Vexlor::Dxf::AnyPolylinesCross(pieces)) << "round " << round;
        const Polylines reversed(pieces.rbegin(), pieces.rend());
        ASSERT_EQ(expected, Vexlor::Dxf::AnyPolylinesCross(reversed)) << "round " << round;
    }
    EXPECT_GT(crossings, rounds / 20);
    EXPECT_LT(crossings, rounds - rounds / 20);
}

// Open pieces of two points held apart from their polylines finish exactly as those polylines
// would: the contours, their origins and the pieces dropped as no curve, with and without
// linking. Random pieces (NaN, infinite and equal ends among them), each open one of two points
// held.
TEST(Contours, PiecesOfTwoPointsHeldFlatFinishAsPolylines) {
    std::mt19937_64 random(2024);
    using Dropped = std::vector<std::pair<std::size_t, bool>>;
    const auto finish = [](Polylines& pieces, Vexlor::Dxf::PieceTable* table, bool link,
                           std::vector<std::size_t>& origins, Dropped& dropped) {
        Vexlor::Dxf::FinishOptions options;
        options.link = link;
        options.closeRings = true;
        std::vector<Vexlor::Dxf::DroppedPiece> pieceDrops;
        Vexlor::Dxf::FinishContours(pieces, options, &origins, table, &pieceDrops);
        dropped.clear();
        for (const auto& piece : pieceDrops) dropped.emplace_back(piece.index, piece.hadPoints);
        std::sort(dropped.begin(), dropped.end());
    };
    int held = 0;
    for (int round = 0; round < 3000; ++round) {
        const Polylines pieces = RandomPieces(random);
        for (const bool link : {true, false}) {
            Polylines plain = pieces;
            std::vector<std::size_t> plainOrigins;
            Dropped plainDropped;
            finish(plain, nullptr, link, plainOrigins, plainDropped);
            Polylines flat;
            Vexlor::Dxf::PieceTable table;
            for (const auto& piece : pieces) {
                if (piece.closed || piece.points.size() != 2) {
                    table.AddPolyline();
                    flat.push_back(piece);
                    continue;
                }
                table.Add(piece.points[0], piece.points[1]);
                ++held;
            }
            std::vector<std::size_t> flatOrigins;
            Dropped flatDropped;
            finish(flat, &table, link, flatOrigins, flatDropped);
            ASSERT_EQ(Describe(plain), Describe(flat)) << "round " << round;
            ASSERT_EQ(plainOrigins, flatOrigins) << "round " << round;
            ASSERT_EQ(plainDropped, flatDropped) << "round " << round;
            ASSERT_EQ(table.Size(), 0u);
        }
    }
    EXPECT_GT(held, 5000);
}

// Each contour's origin is the index on entry of the piece that took the others in, through
// pieces cut off before linking and after it, or none cut at all; whether the pieces of two points
// are held apart or not.
TEST(Contours, OriginsNameThePiecesOnEntry) {
    const Polylines pieces = {
        {{{0, 0}}, false},                     // one point: cut before linking
        {{{0, 0}, {1, 0}}, false},             // takes piece 3 in
        {{{5, 5}, {5, 5}}, false},             // collapses to one point: cut before linking
        {{{1, 0}, {1, 1}}, false},             // joins piece 1
        {{{9, 9}, {10, 9}, {10, 10}}, true}};  // on its own
    struct Case {
        Polylines pieces;
        bool link;
        std::vector<std::size_t> origins;
    };
    const Case cases[] = {{pieces, true, {1, 4}},
                          {pieces, false, {1, 3, 4}},
                          {{pieces[3], pieces[1]}, true, {0}},
                          {{pieces[4], pieces[3]}, true, {0, 1}}};
    for (const Case& c : cases) {
        for (const bool held : {false, true}) {
            Polylines finished;
            Vexlor::Dxf::PieceTable table;
            for (const auto& piece : c.pieces) {
                if (!held || piece.points.size() != 2) {
                    table.AddPolyline();
                    finished.push_back(piece);
                    continue;
                }
                table.Add(piece.points[0], piece.points[1]);
            }
            Vexlor::Dxf::FinishOptions options;
            options.link = c.link;
            std::vector<std::size_t> origins = {7, 7, 7};  // replaced, not added to
            Vexlor::Dxf::FinishContours(finished, options, &origins, held ? &table : nullptr);
            EXPECT_EQ(c.origins, origins)
                << c.pieces.size() << " pieces, link " << c.link << ", held " << held;
        }
    }
}

// Many pieces through one point crowd one bucket of the end index: just below, at and above the
// size from which searches pass over its used-up front, and far beyond it. Spokes share far
// ends in pairs, are turned round, or end near the hub within and beyond the joining distance.
// Then chains in shuffled order over boxes of every shape: along x, along y, a strip of squares,
// the strip with one piece far away, a square field; every fourth shared end is nudged just
// inside or just outside the joining distance, across cell borders on either axis.
TEST(Contours, CrowdedAndSpreadPiecesLinkAsTheScan) {
    for (const int count : {15, 16, 17, 240}) {
        for (int layout = 0; layout < 4; ++layout) {
            Polylines pieces;
            for (int k = 0; k < count; ++k) {
                Point far{100.0 * std::cos(0.026 * k), 100.0 * std::sin(0.026 * k)};
                if (layout >= 1 && k % 2 == 1) far = pieces.back().points.back();
                pieces.push_back({{{0.0, 0.0}, far}, false});
                if (layout >= 2 && k % 3 == 0) std::swap(pieces[k].points[0], pieces[k].points[1]);
                if (layout == 3 && k % 5 == 0)
                    pieces[k].points[0] = {0.00007 * (k % 2 ? 1 : -1), 0.00011};
            }
            EXPECT_EQ(LinkedBoth(pieces), "") << count << " pieces, layout " << layout;
        }
    }
    const auto place = [](int layout, int k) -> Point {
        const double side = k % 4 == 1 || k % 4 == 2 ? 1 : 0, up = k % 4 >= 2 ? 1 : 0;
        if (layout < 2) return layout ? Point{-5.0, 0.37 * k} : Point{0.37 * k, 0.0};
        if (layout < 4) return {1.5 * (k / 4) + 0.5 * side, 0.5 * up};
        return {3.0 * (k / 4 % 12) + side, 3.0 * (k / 48) + up};
    };
    const double nudges[] = {0.00004, -0.00004, 0.00003, -0.00007, 0.00011, 0, -0.00008};
    std::mt19937_64 random(31);
    for (int layout = 0; layout < 5; ++layout) {
        Polylines pieces;
        for (int k = 0; k < 300; ++k) {
            Point to = place(layout, layout >= 2 && k % 4 == 3 ? k - 3 : k + 1);
            if (random() % 4 == 0) to = {to.x + nudges[random() % 7], to.y + nudges[random() % 7]};
            pieces.push_back({{place(layout, k), to}, false});
            if (random() % 2) std::swap(pieces.back().points[0], pieces.back().points[1]);
        }
        if (layout == 3) pieces.push_back({{{1e9, 1e9}, {1e9, 1e9 + 1}}, false});
        std::shuffle(pieces.begin(), pieces.end(), random);
        EXPECT_EQ(LinkedBoth(pieces), "") << "layout " << layout;
    }
}

// Long segments fill too many buckets and send the crossing test down its sweep.
TEST(Contours, LongSegmentsCrossAsThePairwiseTest) {
    for (const bool meshed : {false, true}) {
        Polylines polylines;
        for (int k = 0; k < 400; ++k) {
            const double offset = k * 2.5, x = (meshed ? 1.0 : 1001.0) + offset;
            polylines.push_back({{{0.0, offset}, {1000.0, offset + 0.01}}, false});
            polylines.push_back({{{x, -1.0}, {x + 0.01, 1000.0}}, false});
        }
        EXPECT_EQ(meshed, Vexlor::Dxf::AnyPolylinesCross(polylines));
    }
}

// Segments where rounding decides: spokes that share an end point not exact in binary, end
// points on (or an ulp off) another segment, collinear overlaps, lines an ulp apart, and plain
// crossings, at magnitudes where the side products round, underflow or grow huge. The sweep
// must agree with the pairwise test whenever it decides.
Polylines NearDegenerateSegments(std::mt19937_64& random) {
    const auto uniform = [&](double low, double high) {
        return low + (high - low) * static_cast<double>(random() >> 11) * 0x1p-53;
    };
    const double scales[] = {1, 1e-3, 7e5, 1e-140, 1e140, 3e-300};
    const double scale = scales[random() % 6];
    const auto far = [&](const Point& from) {
        const double angle = uniform(0, 6.283185307179586), length = uniform(0.1, 3);
        return Point{from.x + scale * length * std::cos(angle),
                     from.y + scale * length * std::sin(angle)};
    };
    Polylines polylines;
    const auto add = [&](Point a, Point b) {
        if (random() % 2) std::swap(a, b);
        if (!polylines.empty() && random() % 4 == 0) {  // V shapes and chains
            polylines.back().points.push_back(b);
        } else {
            polylines.push_back({{a, b}, false});
        }
    };
    for (auto shapes = 1 + random() % 3; shapes > 0; --shapes) {
        const Point base{scale * uniform(-1, 1), scale * uniform(-1, 1)};
        const Point to = far(base), side = far(base);
        const auto along = [&](double t) {
            Point p{base.x + t * (to.x - base.x), base.y + t * (to.y - base.y)};
            if (random() % 3 == 0) p.y = std::nextafter(p.y, random() % 2 ? kInf : -kInf);
            return p;
        };
        // Collinear overlaps, parallels and fans, where a crossing the rounding makes is most
        // often between segments that are not neighbours, come up twice as often.
        static const int kinds[] = {0, 1, 2, 2, 3, 3, 4, 5, 6, 6, 7};
        const int kind = kinds[random() % 11];
        if (kind == 1 || kind == 5) add(base, to);  // the segment the T-junctions end on
        if (kind == 7) {  // two polylines of spokes in two narrow fans, each back and forth
            const double turn = uniform(0, 6.283185307179586);
            for (int fan = 0; fan < 2; ++fan) {
                polylines.push_back({{}, false});
                double angle = 0;
                for (int k = 0; k < 17; ++k) {
                    // Now and then along the last spoke, or straight against it.
                    const auto again = random() % 4;
                    angle = again == 0   ? angle + 3.141592653589793
                            : again == 1 ? angle
                                         : turn * fan + uniform(0, 0.3);
                    const double length = scale * uniform(1, 2);
                    polylines.back().points.push_back(base);
                    polylines.back().points.push_back(
                        {base.x + length * std::cos(angle), base.y + length * std::sin(angle)});
                }
            }
            continue;
        }
        const int count = kind == 5 || random() % 4 == 0
                              ? 16 + static_cast<int>(random() % (random() % 2 ? 16 : 100))
                              : 8;
        for (int k = 0; k < count; ++k) {
            const Point from = along(uniform(0, 1));
            const double offset = std::nextafter(base.y, kInf) - base.y;
            // Spokes of a shared point; T-junctions; collinear overlaps; parallels an ulp or a
            // few apart; plain crossings; pieces from far away; fans into one point.
            switch (kind) {
                case 0:
                    add(base, far(base));
                    break;
                case 1:
                    add(from, {from.x + side.x - base.x, from.y + side.y - base.y});
                    break;
                case 2:
                    add(along(uniform(-0.5, 1)), along(uniform(0, 1.5)));
                    break;
                case 3:
                    add({base.x, base.y + offset * (random() % 4)},
                        {to.x, to.y + offset * (random() % 4)});
                    break;
                case 4:
                    add(far(base), far(base));
                    break;
                case 5:  // pieces ending on the base, a few from far away by such ends
                    add(from, far(from));
                    if (k < 3) {
                        add({from.x + scale * 3e8, from.y + scale * 1e8},
                            {from.x - scale * 3, from.y - scale * (1 + 1e-9 * k)});
                    }
                    break;
                default:
                    add(from, base);
                    break;
            }
        }
    }
    return polylines;
}

TEST(Contours, SweepAgreesWithThePairwiseTestWhereRoundingDecides) {
    std::mt19937_64 random(2026);
    int answers[3] = {0, 0, 0};
    for (int round = 0; round < 500; ++round) {
        const Polylines polylines = NearDegenerateSegments(random);
        const Vexlor::Dxf::Segments segments(polylines, std::vector<bool>(polylines.size(), true));
        const auto answer = Vexlor::Dxf::SweepForCrossing(segments);
        ++answers[static_cast<int>(answer)];
        if (answer == Vexlor::Dxf::SweepAnswer::Undecided) continue;
        ASSERT_EQ(VexlorDxfTest::AnyCrossPairwise(polylines),
                  answer == Vexlor::Dxf::SweepAnswer::Crossing)
            << "round " << round << "\n"
            << Describe(polylines);
    }
    EXPECT_GT(answers[0], 50) << answers[1];  // crossing
    EXPECT_GT(answers[1], 50) << answers[0];  // no crossing
}

// A contour crossing itself all over turns the sweep's order so often that the pair tests
// decide instead; next to it a short piece that crosses nothing, one that crosses a spike far
// along the sweep, or a second such contour.
TEST(Contours, ContourCrossingItselfEverywhereCrossesAsThePairwiseTest) {
    const auto star = [](double turn) {
        Vexlor::Dxf::Polyline2d spikes{{}, false};
        for (int k = 0; k < 300; ++k) {
            const double angle = turn + 3.14159 * k / 300;
            spikes.points.push_back({1000 * std::cos(angle), 1000 * std::sin(angle)});
            spikes.points.push_back({0.5 - 1000 * std::cos(angle), -1000 * std::sin(angle)});
        }
        return spikes;
    };
    const Vexlor::Dxf::Polyline2d others[] = {{{{950.0, 950.0}, {960.0, 960.0}}, false},
                                              {{{995.0, -1.0}, {995.0, 1.0}}, false},
                                              star(0.001)};
    for (const auto& other : others) {
        const Polylines polylines{star(0), other};
        const bool expected = VexlorDxfTest::AnyCrossPairwise(polylines);
        EXPECT_EQ(expected, Vexlor::Dxf::AnyPolylinesCross(polylines));
        EXPECT_EQ(expected, Vexlor::Dxf::AnyPolylinesCross({other, star(0)}));
    }
}

// Runs, closing repetitions and all-equal pieces from a few points; -0 equals 0 but keeps its
// bits where it comes first, and NaN equals nothing.
TEST(Contours, InPlaceReductionGivesTheIndexListResult) {
    const Point alphabet[] = {{1, 2}, {0, 0}, {-0.0, 0}, {3, -1}, {std::nan(""), 2}};
    std::mt19937_64 random(77);
    for (int round = 0; round < 50000; ++round) {
        Vexlor::Dxf::Polyline2d piece{{}, round % 2 == 0};
        for (auto n = random() % 10; n > 0; --n) piece.points.push_back(alphabet[random() % 5]);
        Polylines inPlace{piece};
        Vexlor::Dxf::CollapseRepeatedPoints(inPlace[0]);
        ASSERT_EQ(Describe(inPlace), Describe({VexlorDxfTest::ReduceByIndexList(piece)}));
    }
}

// The box the crossing test takes on its way, and the one Box2d::Extend takes, is that of every
// point in turn: per coordinate, a NaN of the very first point stays, later NaNs are passed over,
// and of equal least or greatest values (0 and -0) the first stays. Random sets of points from an
// alphabet of such values, in polylines long enough to be folded four points at a time.
TEST(Contours, CrossingTestTakesTheBoxOfEveryPoint) {
    const double nan = std::nan("");
    const double values[] = {1, -2, 0.0, -0.0, nan, kInf, -kInf, 3.5};
    const auto fold = [](double kept, double value, bool least) {
        if (std::isnan(kept) || std::isnan(value)) return kept;
        return (least ? value < kept : kept < value) ? value : kept;
    };
    std::mt19937_64 random(5);
    for (int round = 0; round < 20000; ++round) {
        Polylines polylines(1 + random() % 4);
        double least[2] = {0, 0}, greatest[2] = {0, 0};
        bool first = true;
        for (Vexlor::Dxf::Polyline2d& polyline : polylines) {
            polyline.closed = random() % 2 == 0;
            for (auto n = random() % 12; n > 0; --n) {
                // Mostly numbers, so that runs of four without a NaN come up.
                const Point p{values[random() % (random() % 4 ? 4 : 8)],
                              values[random() % (random() % 4 ? 4 : 8)]};
                polyline.points.push_back(p);
                for (int axis = 0; axis < 2; ++axis) {
                    const double v = axis == 0 ? p.x : p.y;
                    least[axis] = first ? v : fold(least[axis], v, true);
                    greatest[axis] = first ? v : fold(greatest[axis], v, false);
                }
                first = false;
            }
        }
        Vexlor::Dxf::Box2d box;
        box.minimum = {42, 42};  // what was there before is not kept
        Vexlor::Dxf::AnyPolylinesCross(polylines, &box);
        Vexlor::Dxf::Box2d extended;
        for (const Vexlor::Dxf::Polyline2d& polyline : polylines) extended.Extend(polyline.points);
        const Point expectedMinimum{least[0], least[1]}, expectedMaximum{greatest[0], greatest[1]};
        const std::string expected = Describe({{{expectedMinimum, expectedMaximum}, true}});
        ASSERT_EQ(expected, Describe({{{box.minimum, box.maximum}, true}}))
            << "round " << round << "\n"
            << Describe(polylines);
        if (!first) {
            ASSERT_EQ(expected, Describe({{{extended.minimum, extended.maximum}, true}}))
                << "round " << round << "\n"
                << Describe(polylines);
        }
    }
}

// Arrays on both sides of the size from which huge pages are asked for keep what is written,
// through growth and shrinking; the sanitizers check that storage goes back the way it came.
TEST(Contours, LargeArraysKeepTheirContent) {
    using Array = std::vector<std::uint64_t, Vexlor::Dxf::LargeArrayAllocator<std::uint64_t>>;
    Array values;
    for (std::uint64_t k = 0; k < (std::uint64_t{3} << 20); ++k) values.push_back(k * k);
    for (std::uint64_t k = 0; k < values.size(); ++k) ASSERT_EQ(k * k, values[k]) << k;
    values.resize(1000);
    values.shrink_to_fit();
    EXPECT_EQ(Array(values.begin(), values.end()), values);
    EXPECT_EQ(999u * 999u, values.back());
}

}  // namespace
