// Fuzz harness: on pieces with many shared and nearly shared ends, the indexed linking gives what
// the straightforward one gives, and the crossing test's answer, by buckets and by the sweep in
// y, is the pairwise one.
// SPDX-License-Identifier: MIT
#undef NDEBUG  // the checks are asserts, in every build type
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>         // std::equal
#include <cassert>           // assert
#include <cmath>             // HUGE_VAL, std::nan
#include <cstddef>           // std::size_t
#include <cstdint>           // std::uint8_t
#include <cstring>           // std::memcmp
#include <initializer_list>  // a braced list in a range for
#include <vector>            // std::vector

#include "ContourOracles.h"
#include "contours/CrossingSweep.h"
#include "contours/Linking.h"
#include "contours/Reduction.h"

using namespace Vexlor::Dxf;
using namespace VexlorDxfTest;

// Mostly a small grid plus an offset around the meeting distance of 0.0001, so that ends meet, just
// meet or just miss; now and then an extreme, a value that is not finite or a zero of either sign.
static double Coordinate(FuzzedDataProvider& input) {
    if (input.ConsumeIntegralInRange(0, 15) == 0)
        return input.PickValueInArray(
            {-0.0, 1e38, 1e308, HUGE_VAL, -HUGE_VAL, std::nan(""), 5e-324, 1e16, 1e16 + 2});
    const double grid = input.ConsumeIntegralInRange(0, 3);  // drawn first under every compiler
    return grid + input.PickValueInArray({0.0, -0.0, 3e-5, -7.07e-5, 7.0710e-5, 7.0711e-5, 9.99e-5,
                                          -1e-4, 1e-4, 1.0001e-4, 2e-4, 1e-12});
}

// The same flag and points, bit for bit (NaN and the sign of zero included).
static bool Same(const Polyline2d& p, const Polyline2d& q) {
    const std::size_t bytes = p.points.size() * sizeof p.points[0];
    return p.closed == q.closed && p.points.size() == q.points.size() &&
           (bytes == 0 || std::memcmp(p.points.data(), q.points.data(), bytes) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<Polyline2d> pieces(input.ConsumeIntegralInRange<std::size_t>(0, 47));
    for (Polyline2d& piece : pieces) {
        piece.closed = input.ConsumeBool();
        piece.points.resize(input.ConsumeIntegralInRange(0, 7));
        for (auto& point : piece.points) point = {Coordinate(input), Coordinate(input)};
    }
    // The straightforward linking and the indexed one; joined pieces stay in place, empty, in both.
    std::vector<Polyline2d> plain = pieces, indexed = pieces;
    LinkByRescanning(plain);
    LinkOpenPolylines(indexed);
    assert(std::equal(plain.begin(), plain.end(), indexed.begin(), indexed.end(), Same));
    // The sweep's crossing answer on the linked polylines, and on the pieces as drawn (closed ones,
    // empty ones).
    for (const auto& polylines : {RemoveEmptyPolylines(plain), pieces}) {
        const bool crossing = AnyCrossPairwise(polylines);
        assert(crossing == AnyPolylinesCross(polylines));
        const SweepAnswer swept =
            SweepForCrossing(Segments(polylines, std::vector<bool>(polylines.size(), true)));
        assert(swept == SweepAnswer::Undecided || crossing == (swept == SweepAnswer::Crossing));
    }
    return 0;
}
