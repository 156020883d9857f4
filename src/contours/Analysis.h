// The analysis of finished contours as regions: gaps, crossings located, duplicates, nesting.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "contours/Geometry.h"

namespace Vexlor::Dxf {

struct AnalysisOptions {
    double gapDistance = 1e-2;  ///< open ends less than this apart are reported
    std::size_t maxReported = 1000;
    bool orient = false;
    bool dropDuplicates = false;
};

/// Fills the analysis of `import` (gaps, crossings, crossingCount, crossingsComplete,
/// duplicates, nesting, regions, openContours, nestingWellDefined) for the finished
/// `polylines`, whose indices become those of the contours. With dropDuplicates the later copies
/// leave `polylines` and `origins` (which follows them) first; with orient, outlines and holes
/// are turned last. The crossing verdict is the caller's, taken before.
void AnalyseContours(std::vector<Polyline2d>& polylines, std::vector<std::size_t>& origins,
                     const AnalysisOptions& options, ContourImport& import);

}  // namespace Vexlor::Dxf
