// The crossing test as a sweep over the segments ordered in y: n log n on long segments.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>  // std::uint32_t
#include <utility>  // std::pair
#include <vector>   // std::vector

#include "contours/Segments.h"

namespace Vexlor::Dxf {

enum class SweepAnswer {
    Crossing,    ///< a pair of segments that the pairwise test calls crossing was found
    NoCrossing,  ///< no pair of segments crosses by the pairwise test
    Undecided,   ///< the sweep cannot tell; another method must decide
};

/// Decides whether two of `segments` cross by the pairwise test, in time near n log n: it tests
/// the pairs that become neighbours along the sweep and those near each end point; the pairs it
/// never tests are those the pairwise test cannot call crossing (see the comments in the
/// source). Undecided when the nonzero coordinates span more than 2^296 (about 1e89) from the
/// smallest to the largest magnitude, too much for its exact comparisons, or when segments
/// cross exactly, without the rounded test seeing it, more than four times per segment (a
/// contour that crosses itself all over).
SweepAnswer SweepForCrossing(const Segments& segments);

/// Lists in `found` every pair of `segments` that cross exactly at one point inside both (of
/// one polyline too), by the same sweep turning the order at each crossing: in time
/// (n + k) log n for k pairs. Returns false, with the pairs found so far, when more than
/// `limit` pairs cross or the coordinates span too much for the exact comparisons.
bool ListExactCrossings(const Segments& segments, double limit,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>& found);

}  // namespace Vexlor::Dxf
