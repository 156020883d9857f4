// The analysis of finished contours as regions.
// SPDX-License-Identifier: MIT
#include "contours/Analysis.h"

#include <utility>  // std::move

#include "contours/Crossing.h"
#include "contours/Gaps.h"
#include "contours/Regions.h"

namespace Vexlor::Dxf {

void AnalyseContours(std::vector<Polyline2d>& polylines, std::vector<std::size_t>& origins,
                     const AnalysisOptions& options, ContourImport& import) {
    import.duplicates = FindDuplicates(polylines);
    if (options.dropDuplicates && !import.duplicates.empty()) {
        std::vector<bool> drop(polylines.size(), false);
        for (ContourDuplicate& duplicate : import.duplicates) {
            for (const std::size_t copy : duplicate.copies) drop[copy] = true;
            duplicate.dropped = duplicate.copies.size();
            duplicate.copies.clear();
        }
        // Every index after a dropped copy moves down by the copies before it.
        std::vector<std::size_t> renumbered(polylines.size());
        std::size_t kept = 0;
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            renumbered[i] = kept;
            if (drop[i]) continue;
            if (kept != i) {
                polylines[kept] = std::move(polylines[i]);
                origins[kept] = origins[i];
            }
            ++kept;
        }
        polylines.resize(kept);
        origins.resize(kept);
        for (ContourDuplicate& duplicate : import.duplicates) {
            duplicate.original = renumbered[duplicate.original];
        }
    }
    const GapReport gaps = FindGaps(polylines, options.gapDistance, options.maxReported);
    import.gaps = gaps.gaps;
    import.gapsComplete = gaps.complete;
    CrossingReport crossings = LocateCrossings(polylines, options.maxReported);
    import.crossings = std::move(crossings.crossings);
    import.crossingCount = crossings.count;
    import.crossingsComplete = crossings.complete;
    // Open contours take no part in the nesting, so only crossings of closed ones unsettle it;
    // pairs past the cap are not known, so they count as such.
    import.nestingWellDefined = crossings.complete && crossings.count == import.crossings.size();
    for (const ContourCrossing& crossing : import.crossings) {
        if (polylines[crossing.first].closed && polylines[crossing.second].closed) {
            import.nestingWellDefined = false;
        }
    }
    // Copies kept take no part in the nesting (each would hold the other): each takes its
    // original's place, and no region of its own.
    std::vector<bool> copies(polylines.size(), false);
    for (const ContourDuplicate& duplicate : import.duplicates) {
        for (const std::size_t copy : duplicate.copies) copies[copy] = true;
    }
    import.nesting = NestContours(polylines, &copies);
    for (const ContourDuplicate& duplicate : import.duplicates) {
        for (const std::size_t copy : duplicate.copies) {
            import.nesting[copy].parent = import.nesting[duplicate.original].parent;
            import.nesting[copy].depth = import.nesting[duplicate.original].depth;
        }
    }
    if (options.orient) Orient(polylines, import.nesting);
    import.regions = RegionsOf(polylines, import.nesting, &copies);
    import.openContours.clear();
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (!polylines[i].closed) import.openContours.push_back(i);
    }
}

}  // namespace Vexlor::Dxf
