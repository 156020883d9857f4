// The indexed linking and the sweeping crossing test against the straightforward forms, on
// seeded random piece sets built to be hard, and on the real drawings.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <algorithm>   // std::shuffle, std::swap
#include <cmath>       // std::nan
#include <cstdint>     // std::uint64_t
#include <cstdlib>     // std::getenv
#include <cstring>     // std::memcmp
#include <filesystem>  // std::filesystem
#include <limits>      // std::numeric_limits
#include <random>      // std::mt19937_64
#include <string>      // std::string
#include <vector>      // std::vector

#include "MStlBaseOperatorDXFPolylineReader.h"
#include "polyline/LargeArrayAllocator.h"
#include "polyline/PolylineLinking.h"

namespace {

using Vexlor::Dxf::Polyline2d;
using Point2d = Vexlor::Math::point<double, 2>;

#ifdef NDEBUG
constexpr int kRounds = 4000;
#else
constexpr int kRounds = 800;
#endif

// Bit-for-bit equality of two polyline vectors, NaN payloads included.
::testing::AssertionResult SameBits(const std::vector<Polyline2d>& expected,
                                    const std::vector<Polyline2d>& actual) {
    if (expected.size() != actual.size()) {
        return ::testing::AssertionFailure()
               << "sizes " << expected.size() << " and " << actual.size();
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto& e = expected[i];
        const auto& a = actual[i];
        if (e.closed != a.closed || e.points.size() != a.points.size() ||
            (!e.points.empty() && std::memcmp(e.points.data(), a.points.data(),
                                              e.points.size() * sizeof(Point2d)) != 0)) {
            return ::testing::AssertionFailure() << "polyline " << i << " differs";
        }
    }
    return ::testing::AssertionSuccess();
}

// Random pieces whose ends share, nearly share (inside and just outside the joining
// distance) or repeat each other's points, with reversed duplicates, closed shapes among the
// open ones, and now and then a point that is not finite.
class PieceGenerator {
public:
    explicit PieceGenerator(std::uint64_t seed) : m_random(seed) {
        // Half the anchors sit on whole numbers, where the arithmetic is exact; the others
        // have arbitrary fractions, so rounding decides the near cases.
        std::uniform_real_distribution<double> fraction(0.0, 3.0);
        for (int k = 0; k < 16; ++k) {
            m_anchors.push_back(k % 2 == 0 ? Point2d{double(k % 4), double(k / 4 % 4)}
                                           : Point2d{fraction(m_random), fraction(m_random)});
        }
    }

    std::vector<Polyline2d> Pieces() {
        std::vector<Polyline2d> pieces;
        const int count = Uniform(0, 30);
        for (int k = 0; k < count; ++k) {
            const int kind = Uniform(0, 9);
            if (kind == 0 && !pieces.empty()) {
                Polyline2d copy = pieces[static_cast<std::size_t>(
                    Uniform(0, static_cast<int>(pieces.size()) - 1))];
                if (Uniform(0, 1) == 1)
                    copy.points.assign(copy.points.rbegin(), copy.points.rend());
                pieces.push_back(copy);
                continue;
            }
            Polyline2d piece;
            piece.closed = kind == 1;
            const int points = Uniform(1, 4);
            for (int p = 0; p < points; ++p) piece.points.push_back(NearAnchor());
            pieces.push_back(piece);
        }
        return pieces;
    }

    Point2d NearAnchor() {
        static constexpr double kOffsets[] = {0.0, 0.0, 0.0, 0.00004, -0.00004, 0.00011, 0.0002};
        const Point2d& anchor = m_anchors[static_cast<std::size_t>(Uniform(0, 15))];
        const double x = anchor.x + kOffsets[Uniform(0, 6)];
        const double y = anchor.y + kOffsets[Uniform(0, 6)];
        switch (Uniform(0, 60)) {
            case 0:
                return {std::nan(""), y};
            case 1:
                return {x, std::numeric_limits<double>::infinity()};
            default:
                return {x, y};
        }
    }

    int Uniform(int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }

private:
    std::mt19937_64 m_random;
    std::vector<Point2d> m_anchors;
};

TEST(FastPostProcessing, IndexedLinkingJoinsAsTheRescanningForm) {
    for (int round = 0; round < kRounds; ++round) {
        const std::uint64_t seed = 1000 + static_cast<std::uint64_t>(round);
        PieceGenerator generator(seed);
        std::vector<Polyline2d> reference = generator.Pieces();
        std::vector<Polyline2d> indexed = reference;
        Vexlor::Dxf::LinkOpenPolylines(reference);
        Vexlor::Dxf::LinkOpenPolylinesIndexed(indexed);
        ASSERT_TRUE(SameBits(reference, indexed)) << "seed " << seed;
    }
}

// Many pieces through one point fill one bucket of the end index far beyond the usual few,
// the case where searches skip the used-up front of the bucket.
TEST(FastPostProcessing, PiecesThroughOnePointJoinAsTheRescanningForm) {
    for (int layout = 0; layout < 4; ++layout) {
        std::vector<Polyline2d> pieces;
        for (int k = 0; k < 240; ++k) {
            const double angle = 0.026 * k;
            Point2d far{100.0 * std::cos(angle), 100.0 * std::sin(angle)};
            // Pairs of spokes share their far ends too, so that some chains go on.
            if (layout >= 1 && k % 2 == 1) far = pieces.back().points.back();
            Polyline2d spoke{{{0.0, 0.0}, far}, false};
            if (layout >= 2 && k % 3 == 0) std::swap(spoke.points[0], spoke.points[1]);
            // Near the hub, within and just beyond the joining distance.
            if (layout == 3 && k % 5 == 0) spoke.points[0] = {0.00007 * (k % 2 ? 1 : -1), 0.00011};
            pieces.push_back(spoke);
        }
        std::vector<Polyline2d> reference = pieces;
        Vexlor::Dxf::LinkOpenPolylines(reference);
        Vexlor::Dxf::LinkOpenPolylinesIndexed(pieces);
        ASSERT_TRUE(SameBits(reference, pieces)) << "layout " << layout;
    }
}

// Chains of a few hundred pieces in shuffled order over boxes of every shape: a line along
// x, a line along y, a long strip of small squares, the strip with one piece far away, and a
// square field. Every fourth shared end is moved just inside or just outside the joining
// distance, across cell borders on either axis.
TEST(FastPostProcessing, PiecesOverBoxesOfEveryShapeJoinAsTheRescanningForm) {
    const auto place = [](int layout, int k) -> Point2d {
        const double along = 0.37 * k;
        switch (layout) {
            case 0:
                return {along, 0.0};
            case 1:
                return {-5.0, along};
            case 2:
            case 3:  // squares of four corners, side by side
                return {1.5 * (k / 4) + (k % 4 == 1 || k % 4 == 2 ? 0.5 : 0.0),
                        k % 4 >= 2 ? 0.5 : 0.0};
            default:  // squares on a field of 12 by 12
                return {3.0 * (k / 4 % 12) + (k % 4 == 1 || k % 4 == 2 ? 1.0 : 0.0),
                        3.0 * (k / 48) + (k % 4 >= 2 ? 1.0 : 0.0)};
        }
    };
    std::mt19937_64 random(31);
    for (int layout = 0; layout < 5; ++layout) {
        std::vector<Polyline2d> pieces;
        for (int k = 0; k < 300; ++k) {
            // Squares close on their own first corner; the lines run on.
            const int next = layout >= 2 && k % 4 == 3 ? k - 3 : k + 1;
            Point2d to = place(layout, next);
            if (random() % 4 == 0) {
                static constexpr Point2d kNudges[] = {
                    {0.00004, 0.0}, {0.0, -0.00004}, {0.00003, 0.00003},  {-0.00007, 0.00007},
                    {0.00011, 0.0}, {0.0, 0.00011},  {-0.00008, -0.00008}};
                const Point2d& nudge = kNudges[random() % 7];
                to = {to.x + nudge.x, to.y + nudge.y};
            }
            pieces.push_back(Polyline2d{{place(layout, k), to}, false});
        }
        if (layout == 3) pieces.push_back(Polyline2d{{{1e9, 1e9}, {1e9, 1e9 + 1}}, false});
        std::shuffle(pieces.begin(), pieces.end(), random);
        for (Polyline2d& piece : pieces) {
            if (random() % 2) std::swap(piece.points[0], piece.points[1]);
        }
        std::vector<Polyline2d> reference = pieces;
        Vexlor::Dxf::LinkOpenPolylines(reference);
        Vexlor::Dxf::LinkOpenPolylinesIndexed(pieces);
        ASSERT_TRUE(SameBits(reference, pieces)) << "layout " << layout;
    }
}

// Arrays on both sides of the size from which huge pages are asked for keep what is written,
// through growth from small to large storage and back; under the sanitizers this also checks
// that each kind of storage goes back the way it came.
TEST(FastPostProcessing, LargeArraysKeepTheirContent) {
    using Array = std::vector<std::uint64_t, Vexlor::Dxf::LargeArrayAllocator<std::uint64_t>>;
    Array values;
    for (std::uint64_t k = 0; k < (std::uint64_t{3} << 20); ++k) values.push_back(k * k);
    for (std::uint64_t k = 0; k < values.size(); ++k) ASSERT_EQ(k * k, values[k]) << k;
    values.resize(1000);
    values.shrink_to_fit();
    EXPECT_EQ(999u * 999u, values.back());
    Array copy(values.begin(), values.end());
    EXPECT_EQ(values, copy);
}

// The import reduces pieces in place; that must give exactly the index-list reduction.
// Pieces drawn from a few points, so that runs, closing repetitions and all-equal pieces are
// common; -0 equals 0 but keeps its bits where it comes first, and NaN equals nothing.
TEST(FastPostProcessing, InPlaceReductionGivesTheIndexListResult) {
    const double nan = std::nan("");
    const Point2d alphabet[] = {{1.0, 2.0}, {0.0, 0.0}, {-0.0, 0.0}, {3.0, -1.0}, {nan, 2.0}};
    std::mt19937_64 random(77);
    std::uniform_int_distribution<int> pick(0, 4);
    std::uniform_int_distribution<int> length(0, 9);
    for (int round = 0; round < 50000; ++round) {
        Polyline2d piece;
        piece.closed = round % 2 == 0;
        const int n = length(random);
        for (int k = 0; k < n; ++k) piece.points.push_back(alphabet[pick(random)]);
        Polyline2d inPlace = piece;
        Vexlor::Dxf::CollapseRepeatedPoints(inPlace);
        const Polyline2d reference = Vexlor::Dxf::RemoveDuplicatePoints(piece);
        ASSERT_TRUE(SameBits({reference}, {inPlace})) << "round " << round;
    }
}

TEST(FastPostProcessing, SweepAnswersAsThePairwiseTest) {
    int crossings = 0;
    for (int round = 0; round < kRounds; ++round) {
        const std::uint64_t seed = 5000 + static_cast<std::uint64_t>(round);
        PieceGenerator generator(seed);
        std::vector<Polyline2d> polylines = generator.Pieces();
        // Keep only some pieces, so that answers of both kinds come up.
        if (polylines.size() > 4)
            polylines.resize(static_cast<std::size_t>(generator.Uniform(2, 4)));
        // Every other round spreads the pieces over four squares that touch or barely overlap,
        // so that polylines far from all others are passed over, and touching boxes are not.
        for (Polyline2d& piece : polylines) {
            if (round % 2 == 0) break;
            const double dx = 3.0 * generator.Uniform(0, 1);
            const double dy = 3.0 * generator.Uniform(0, 1);
            for (Point2d& p : piece.points) p = {p.x + dx, p.y + dy};
        }
        const bool expected = Vexlor::Dxf::AnyPolylinesCross(polylines);
        crossings += expected ? 1 : 0;
        ASSERT_EQ(expected, Vexlor::Dxf::AnyPolylinesCrossSweep(polylines)) << "seed " << seed;
    }
    // The generator must produce both answers, or the comparison proves nothing.
    EXPECT_GT(crossings, kRounds / 20);
    EXPECT_LT(crossings, kRounds - kRounds / 20);
}

// Long segments fill too many buckets, which sends the test down its sweep; both layouts must
// still answer as the pairwise test.
TEST(FastPostProcessing, LongSegmentsAnswerAsThePairwiseTest) {
    for (const bool meshed : {false, true}) {
        std::vector<Polyline2d> polylines;
        for (int k = 0; k < 400; ++k) {
            const double offset = k * 2.5;
            polylines.push_back(Polyline2d{{{0.0, offset}, {1000.0, offset + 0.01}}, false});
            // Vertical segments either cross the horizontal ones or stay to their right.
            const double x = meshed ? 1.0 + offset : 1001.0 + offset;
            polylines.push_back(Polyline2d{{{x, -1.0}, {x + 0.01, 1000.0}}, false});
        }
        EXPECT_EQ(meshed, Vexlor::Dxf::AnyPolylinesCross(polylines));
        EXPECT_EQ(meshed, Vexlor::Dxf::AnyPolylinesCrossSweep(polylines));
    }
}

// A reader whose post-processing runs the straightforward forms, as the reference.
class ReferenceReader : public MStlBaseOperatorDXFPolylineReader {
public:
    using MStlBaseOperatorDXFPolylineReader::MStlBaseOperatorDXFPolylineReader;
    bool crossing = false;

protected:
    EReturnCode _PostProcess() override { return eOk; }
};

// The corpus drawings small enough for the cubic reference: both forms give the same result.
TEST(FastPostProcessing, CorpusDrawingsLinkAsTheRescanningForm) {
    const char* corpus = std::getenv("VEXLOR_DXF_CORPUS_DIR");
    if (!corpus || !*corpus || !std::filesystem::is_directory(corpus)) {
        GTEST_SKIP() << "VEXLOR_DXF_CORPUS_DIR names no folder";
    }
    int compared = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus)) {
        const std::string name = entry.path().string();
        const std::string extension = entry.path().extension().string();
        if (extension != ".dxf" && extension != ".DXF") continue;
        std::vector<Polyline2d> raw;
        ReferenceReader reader(raw);
        try {
            if (reader.Import(std::wstring(name.begin(), name.end())) != CDXFReader::eOk) continue;
        } catch (const std::exception&) {
            continue;
        }
        std::vector<Polyline2d> fast = raw;
        std::vector<Polyline2d> slow = raw;
        std::size_t open = 0;
        for (const auto& p : raw) open += p.closed ? 0 : 1;
        if (open > 400) continue;  // too slow for the cubic form
        Vexlor::Dxf::LinkOpenPolylines(slow);
        Vexlor::Dxf::LinkOpenPolylinesIndexed(fast);
        EXPECT_TRUE(SameBits(slow, fast)) << name;
        EXPECT_EQ(Vexlor::Dxf::AnyPolylinesCross(slow), Vexlor::Dxf::AnyPolylinesCrossSweep(fast))
            << name;
        ++compared;
    }
    EXPECT_GT(compared, 20);
}

}  // namespace
