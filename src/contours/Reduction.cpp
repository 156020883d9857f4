// Point reduction of the pieces of an import, and the removal of emptied pieces.
// SPDX-License-Identifier: MIT
#include "contours/Reduction.h"

#include <algorithm>  // std::remove_if
#include <cstddef>    // std::size_t

namespace Vexlor::Dxf {

void CollapseRepeatedPoints(Polyline2d& polyline) {
    std::vector<Point2d>& points = polyline.points;
    const std::size_t n = points.size();
    if (n < 2) return;
    // Most pieces have no repeated point: find the first before writing anything.
    std::size_t k = 1;
    while (k < n && !Equal(points[k - 1], points[k])) ++k;
    if (k < n) {
        // Each point is kept when it differs from the last point kept: runs keep their first.
        std::size_t kept = k;
        for (++k; k < n; ++k) {
            if (!Equal(points[kept - 1], points[k])) points[kept++] = points[k];
        }
        points.resize(kept);
    }
    // The closing comparison removes the first point, and the walk then starts at the second.
    if (polyline.closed && Equal(points.back(), points.front())) points.erase(points.begin());
}

std::vector<Polyline2d> RemoveEmptyPolylines(std::vector<Polyline2d> polylines) {
    polylines.erase(std::remove_if(polylines.begin(), polylines.end(),
                                   [](const Polyline2d& p) { return p.points.empty(); }),
                    polylines.end());
    return polylines;
}

}  // namespace Vexlor::Dxf
