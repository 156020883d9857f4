// The open ends that lie near each other without being joined.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "contours/Geometry.h"

namespace Vexlor::Dxf {

struct GapReport {
    std::vector<ContourGap> gaps;  ///< nearest first
    bool complete = true;
};

/// The pairs of ends of open polylines less than `distance` (positive) apart: of two polylines,
/// or the two ends of one of more than two points. The ends are bucketed in a grid of cells
/// `distance` wide, so that only ends in neighbouring cells are measured; ends in one cell are
/// all but a few less than `distance` apart, so the work is linear in the ends and the pairs
/// found. At most `cap` pairs are kept, and at most 64 measurements per end plus 64 per pair
/// kept are made; `complete` is false when either limit stopped the search.
GapReport FindGaps(const std::vector<Polyline2d>& polylines, double distance, std::size_t cap);

}  // namespace Vexlor::Dxf
