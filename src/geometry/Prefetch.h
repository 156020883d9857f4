// Asking for the points of pieces a little ahead of a pass over many of them.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// How many pieces ahead a pass asks for their points.
constexpr std::size_t kPiecesAhead = 8;

/// Asks for the cache lines of the first and last points of `polylines[i + kPiecesAhead]`, when
/// there is one. The pieces' points lie all over memory: a pass that reads a few points of each
/// piece would otherwise wait for memory at every piece. A hint only, where the compiler offers
/// it; nothing is read.
inline void FetchAhead(const std::vector<Polyline2d>& polylines, std::size_t i) {
#if defined(__GNUC__)
    if (i + kPiecesAhead >= polylines.size()) return;
    const std::vector<Point2d>& points = polylines[i + kPiecesAhead].points;
    if (points.empty()) return;
    __builtin_prefetch(points.data());
    __builtin_prefetch(points.data() + (points.size() - 1));
#else
    (void)polylines, (void)i;
#endif
}

}  // namespace Vexlor::Dxf
