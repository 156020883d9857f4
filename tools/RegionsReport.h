// The import's analysis as regions in the tool's outputs: a summary line, the JSON and marks in
// the SVG picture.
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>  // std::function
#include <ostream>     // std::ostream
#include <string>      // std::string
#include <utility>     // std::pair
#include <vector>      // std::vector

#include "VexlorDxfContours.h"

namespace Vexlor::DxfTool {

/// The smallest of 1, 2 and 5 times a power of ten above `distance`: a linking distance that
/// joins ends `distance` apart, as a user would type it.
double RoundedAbove(double distance);

/// One line that counts the regions, holes, open contours, gaps and crossings of an analysed
/// import, such as "3 regions (2 holes), 4 open; 2 gaps up to 1.3e-4: --link-distance 2e-4
/// closes them; 1 crossing pair". Empty when the import was not analysed.
std::string RegionsSummary(const Vexlor::Dxf::ContourImport& import);

/// The analysis as one JSON object, indices into the contours (the JSON's polylines):
/// {"linking_distance", "nesting_well_defined", "regions": [{"outline", "holes", "area",
/// "counter_clockwise"}], "nesting": [{"parent" (null for none), "depth", "area"}], "open",
/// "gaps": [{"contours", "at_back", "from", "to", "distance"}], "gaps_complete",
/// "crossings": [{"contours", "at"}], "crossing_count", "crossings_complete",
/// "duplicates": [{"original", "copies", "dropped"}]}.
std::string RegionsJson(const Vexlor::Dxf::ContourImport& import);

/// Writes SVG groups over a picture of the import's contours: each region filled with its holes
/// cut out (class "regions"), a cross at each crossing (class "crossings") and a ring at each
/// gap with its size beside it (class "gaps"). `drawn` holds the contours as the picture draws
/// them (y negated when `negateY`, as the import's crossings and gaps are then too); `place`
/// maps a point drawn to the picture.
void WriteRegionsSvg(std::ostream& out, const Vexlor::Dxf::ContourImport& import,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& drawn, bool negateY,
                     const std::function<std::pair<double, double>(double, double)>& place);

}  // namespace Vexlor::DxfTool
