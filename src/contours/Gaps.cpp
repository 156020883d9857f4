// The open ends that lie near each other without being joined, found through a grid.
// SPDX-License-Identifier: MIT
#include "contours/Gaps.h"

#include <algorithm>  // std::sort, std::min, std::max
#include <cmath>      // std::floor, std::sqrt, std::isfinite
#include <cstdint>    // std::int64_t

namespace Vexlor::Dxf {

namespace {

struct End {
    std::int64_t column;
    std::int64_t row;
    std::size_t polyline;
    bool back;
    Point2d at;
};

// Cells far out are clamped: their ends are still measured, only the grid is coarser there.
constexpr double kCellLimit = 4e18;

std::int64_t CellOf(double v, double distance) {
    const double cell = std::floor(v / distance);
    return static_cast<std::int64_t>(std::max(-kCellLimit, std::min(kCellLimit, cell)));
}

bool CellLess(const End& a, const End& b) {
    return a.column < b.column || (a.column == b.column && a.row < b.row);
}

}  // namespace

GapReport FindGaps(const std::vector<Polyline2d>& polylines, double distance, std::size_t cap) {
    GapReport report;
    std::vector<End> ends;
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const Polyline2d& polyline = polylines[i];
        if (polyline.closed || polyline.points.empty()) continue;
        for (const bool back : {false, true}) {
            const Point2d& p = back ? polyline.points.back() : polyline.points.front();
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) continue;
            ends.push_back({CellOf(p.x, distance), CellOf(p.y, distance), i, back, p});
        }
    }
    std::sort(ends.begin(), ends.end(), [](const End& a, const End& b) {
        return CellLess(a, b) ||
               (!CellLess(b, a) &&
                (a.polyline < b.polyline || (a.polyline == b.polyline && a.back < b.back)));
    });
    const double squared = distance * distance;
    double budget = 64.0 * static_cast<double>(ends.size());
    // Each end against the ends of its own cell after it, and of the cells to its right and the
    // one above: every neighbouring pair of cells once.
    for (std::size_t k = 0; k < ends.size() && report.complete; ++k) {
        const End& e = ends[k];
        for (const auto& [dc, dr] : {std::pair{0, 0}, std::pair{0, 1}, std::pair{1, -1},
                                     std::pair{1, 0}, std::pair{1, 1}}) {
            const End probe{e.column + dc, e.row + dr, 0, false, e.at};
            auto it = dc == 0 && dr == 0
                          ? ends.begin() + static_cast<std::ptrdiff_t>(k + 1)
                          : std::lower_bound(ends.begin(), ends.end(), probe, CellLess);
            for (; it != ends.end() && it->column == probe.column && it->row == probe.row; ++it) {
                if (--budget < 0) {
                    report.complete = false;
                    break;
                }
                const End& f = *it;
                if (f.polyline == e.polyline && polylines[e.polyline].points.size() <= 2) continue;
                const double dx = f.at.x - e.at.x;
                const double dy = f.at.y - e.at.y;
                const double d2 = dx * dx + dy * dy;
                if (!(d2 < squared)) continue;
                if (report.gaps.size() == cap) {
                    report.complete = false;
                    break;
                }
                budget += 64;
                const bool ordered =
                    e.polyline < f.polyline || (e.polyline == f.polyline && !e.back);
                const End& a = ordered ? e : f;
                const End& b = ordered ? f : e;
                report.gaps.push_back(
                    {a.polyline, b.polyline, a.back, b.back, a.at, b.at, std::sqrt(d2)});
            }
            if (!report.complete) break;
        }
    }
    std::sort(report.gaps.begin(), report.gaps.end(), [](const ContourGap& a, const ContourGap& b) {
        if (a.distance != b.distance) return a.distance < b.distance;
        if (a.first != b.first) return a.first < b.first;
        if (a.second != b.second) return a.second < b.second;
        return a.firstAtBack < b.firstAtBack;
    });
    return report;
}

}  // namespace Vexlor::Dxf
