// The crossing test as a sweep over segments sorted by x: the same answer as trying every pair.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::sort, std::min, std::max
#include <cmath>      // std::isnan
#include <cstddef>    // std::size_t
#include <vector>     // std::vector

#include "polyline/PolylineGeometry.h"
#include "polyline/PolylineLinking.h"

namespace Vexlor::Dxf {

namespace {

struct Segment {
    double minX;
    double maxX;
    double minY;
    double maxY;
    std::size_t polyline;
    const Point2d* start;
    const Point2d* end;
};

inline bool HasNaN(const Point2d& p) { return std::isnan(p.x) || std::isnan(p.y); }

}  // namespace

bool AnyPolylinesCrossSweep(const std::vector<Polyline2d>& polylines) {
    if (polylines.size() < 2) return false;
    std::vector<Segment> segments;
    std::size_t total = 0;
    for (const Polyline2d& polyline : polylines) total += SegmentCount(polyline);
    segments.reserve(total);
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const Polyline2d& polyline = polylines[i];
        const std::size_t count = SegmentCount(polyline);
        for (std::size_t s = 0; s < count; ++s) {
            const Point2d& p1 = polyline.points[s];
            const Point2d& p2 = SegmentEnd(polyline, s);
            // A NaN coordinate makes every side test fail: such a segment crosses nothing.
            if (HasNaN(p1) || HasNaN(p2)) continue;
            segments.push_back(Segment{std::min(p1.x, p2.x), std::max(p1.x, p2.x),
                                       std::min(p1.y, p2.y), std::max(p1.y, p2.y), i, &p1, &p2});
        }
    }
    std::sort(segments.begin(), segments.end(),
              [](const Segment& a, const Segment& b) { return a.minX < b.minX; });

    // Segments whose x range still reaches the sweep position. Pairs whose x ranges are apart
    // are exactly those the box test rejects on x, so no crossing is missed.
    std::vector<const Segment*> active;
    for (const Segment& segment : segments) {
        std::size_t kept = 0;
        for (std::size_t k = 0; k < active.size(); ++k) {
            const Segment* other = active[k];
            if (other->maxX < segment.minX) continue;  // behind the sweep for good
            active[kept++] = other;
            if (other->polyline == segment.polyline) continue;
            if (other->minY > segment.maxY || segment.minY > other->maxY) continue;
            // The segment of the polyline that comes first in the vector is the first operand,
            // as in the pairwise test.
            const bool otherFirst = other->polyline < segment.polyline;
            const Segment& p = otherFirst ? *other : segment;
            const Segment& q = otherFirst ? segment : *other;
            if (SegmentsCross(*p.start, *p.end, *q.start, *q.end)) return true;
        }
        active.resize(kept);
        active.push_back(&segment);
    }
    return false;
}

}  // namespace Vexlor::Dxf
