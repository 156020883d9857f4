// Fuzz harness: linking and the crossing test on pieces with many shared and near-shared ends.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::remove_if
#include <cmath>      // std::numeric_limits
#include <cstddef>    // std::size_t
#include <cstdint>    // std::uint8_t, std::uint64_t
#include <cstring>    // std::memcpy
#include <limits>     // std::numeric_limits
#include <set>        // std::set
#include <utility>    // std::pair
#include <vector>     // std::vector

#include "FuzzInput.h"
#include "polyline/PolylineLinking.h"

namespace {

using Vexlor::Dxf::Polyline2d;
using VexlorDxfFuzz::Check;
using VexlorDxfFuzz::FuzzInput;
using VexlorDxfFuzz::SameBits;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Offsets around the meeting distance of 0.0001, so ends meet, just meet or just miss.
constexpr double kJitter[] = {0.0,     -0.0,      3e-5,      -3e-5, 7.07e-5,   -7.07e-5,
                              9.99e-5, -9.99e-5,  1e-4,      -1e-4, 1.0001e-4, 2e-4,
                              5e-5,    7.0710e-5, 7.0711e-5, 1e-12};
// Values no grid reaches: extremes, non-finite values and zeros of both signs.
constexpr double kSpecial[] = {0.0,    -0.0,  1e38,       -1e38, 3.4028234663852886e38,
                               kInf,   -kInf, kNaN,       1e300, -1e300,
                               5e-324, 1e16,  1e16 + 2.0, 0.5,   -0.5,
                               4.0};

double Coordinate(FuzzInput& input) {
    const std::uint8_t kind = input.Byte();
    if (kind < 200) return static_cast<double>(kind % 6) + input.Pick(kJitter);
    if (kind < 240) return input.Pick(kSpecial);
    return input.RawDouble();
}

std::vector<Polyline2d> Pieces(FuzzInput& input) {
    std::vector<Polyline2d> pieces(input.Below(48));
    for (Polyline2d& piece : pieces) {
        const std::uint8_t shape = input.Byte();
        piece.closed = (shape & 0x80u) != 0;
        const std::size_t count = shape & 0x07u;
        for (std::size_t k = 0; k < count; ++k) {
            // Repeating the previous point makes runs of equal points.
            if (!piece.points.empty() && input.Below(8) == 0) {
                piece.points.push_back(piece.points.back());
                continue;
            }
            const double x = Coordinate(input);
            piece.points.push_back({x, Coordinate(input)});
        }
    }
    return pieces;
}

// The import's preparation: equal neighbours go, then pieces of fewer than two points.
void Prepare(std::vector<Polyline2d>& pieces) {
    for (Polyline2d& piece : pieces) piece = Vexlor::Dxf::RemoveDuplicatePoints(piece);
    pieces.erase(std::remove_if(pieces.begin(), pieces.end(),
                                [](const Polyline2d& p) { return p.points.size() < 2; }),
                 pieces.end());
}

bool SamePieces(const std::vector<Polyline2d>& a, const std::vector<Polyline2d>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].closed != b[i].closed || a[i].points.size() != b[i].points.size()) return false;
        for (std::size_t k = 0; k < a[i].points.size(); ++k) {
            if (!SameBits(a[i].points[k].x, b[i].points[k].x) ||
                !SameBits(a[i].points[k].y, b[i].points[k].y)) {
                return false;
            }
        }
    }
    return true;
}

std::pair<std::uint64_t, std::uint64_t> Bits(const Vexlor::Math::point<double, 2>& p) {
    std::pair<std::uint64_t, std::uint64_t> bits;
    std::memcpy(&bits.first, &p.x, sizeof p.x);
    std::memcpy(&bits.second, &p.y, sizeof p.y);
    return bits;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const bool prepare = input.Flag();
    std::vector<Polyline2d> pieces = Pieces(input);
    if (prepare) Prepare(pieces);

    std::set<std::pair<std::uint64_t, std::uint64_t>> given;
    for (const Polyline2d& piece : pieces) {
        for (const auto& p : piece.points) given.insert(Bits(p));
    }

    std::vector<Polyline2d> straightforward = pieces;
    std::vector<Polyline2d> indexed = pieces;
    Vexlor::Dxf::LinkOpenPolylines(straightforward);
    Vexlor::Dxf::LinkOpenPolylinesIndexed(indexed);
    Check(SamePieces(straightforward, indexed), "indexed linking differs from the straightforward");
    Check(straightforward.size() == pieces.size(), "linking changed the number of places");
    for (const Polyline2d& piece : straightforward) {
        for (const auto& p : piece.points) {
            Check(given.count(Bits(p)) == 1, "linking invented a point");
        }
    }

    const std::vector<Polyline2d> linked = Vexlor::Dxf::RemoveEmptyPolylines(straightforward);
    Check(Vexlor::Dxf::AnyPolylinesCross(linked) == Vexlor::Dxf::AnyPolylinesCrossSweep(linked),
          "the sweep's crossing answer differs from the pairwise one");
    // The unlinked pieces too, closed and degenerate ones included.
    Check(Vexlor::Dxf::AnyPolylinesCross(pieces) == Vexlor::Dxf::AnyPolylinesCrossSweep(pieces),
          "the sweep's crossing answer differs on unlinked pieces");
    if (linked.size() >= 2) {
        Check(Vexlor::Dxf::PolylinesCross(linked[0], linked[1]) ==
                  Vexlor::Dxf::PolylinesCross(linked[1], linked[0]),
              "the crossing test depends on the order of its polylines");
    }
    return 0;
}
