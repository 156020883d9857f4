// The segments that the crossing test looks at, kept small: a polyline index and a point index.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::min, std::max, std::swap
#include <cmath>      // std::isfinite
#include <cstddef>    // std::size_t
#include <cstdint>    // std::uint32_t
#include <vector>     // std::vector

#include "contours/Geometry.h"

namespace Vexlor::Dxf {

struct Box {
    double minX;
    double maxX;
    double minY;
    double maxY;
    bool Finite() const {
        return std::isfinite(minX) && std::isfinite(maxX) && std::isfinite(minY) &&
               std::isfinite(maxY);
    }
};

/// Whether a segment can take part in a crossing at all. The side products of a line whose
/// coefficients a, b or c are not finite are all NaN or all one infinity, so their product is
/// never negative; a coefficient is infinite or NaN whenever a coordinate is, or when a
/// difference or product overflows. A segment of two equal points has a = b = c = 0, so every
/// side product is zero. Either kind crosses nothing, whichever operand it is.
inline bool CanCross(const Point2d& p1, const Point2d& p2) {
    const Line line(p1, p2);
    if (!std::isfinite(line.a) || !std::isfinite(line.b) || !std::isfinite(line.c)) return false;
    return !Equal(p1, p2);
}

/// The segments of some polylines that can cross; everything else is read from the polylines.
class Segments {
public:
    struct Segment {
        std::uint32_t polyline;
        std::uint32_t start;
    };

    /// The segments of the polylines that `wanted` marks.
    Segments(const std::vector<Polyline2d>& polylines, const std::vector<bool>& wanted)
        : m_polylines(polylines) {
        std::size_t total = 0;
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            if (wanted[i]) total += SegmentCount(polylines[i]);
        }
        m_segments.reserve(total);
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            if (!wanted[i]) continue;
            const std::size_t count = SegmentCount(polylines[i]);
            for (std::size_t s = 0; s < count; ++s) {
                if (!CanCross(polylines[i].points[s], SegmentEnd(polylines[i], s))) continue;
                m_segments.push_back(
                    Segment{static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(s)});
            }
        }
    }

    std::size_t Size() const { return m_segments.size(); }
    const Point2d& Start(std::size_t k) const {
        return m_polylines[m_segments[k].polyline].points[m_segments[k].start];
    }
    const Point2d& End(std::size_t k) const {
        return SegmentEnd(m_polylines[m_segments[k].polyline], m_segments[k].start);
    }
    std::uint32_t PolylineOf(std::size_t k) const { return m_segments[k].polyline; }
    Box BoxOf(std::size_t k) const {
        const Point2d& p = Start(k);
        const Point2d& q = End(k);
        return {std::min(p.x, q.x), std::max(p.x, q.x), std::min(p.y, q.y), std::max(p.y, q.y)};
    }

    /// The pairwise test of segments of different polylines, the segment of the polyline that
    /// comes first in the vector as the first operand, as in the pairwise form.
    bool Cross(std::size_t a, std::size_t b) const {
        const std::uint32_t polylineA = PolylineOf(a);
        const std::uint32_t polylineB = PolylineOf(b);
        if (polylineA == polylineB) return false;
        if (polylineA > polylineB) std::swap(a, b);
        return SegmentsCross(Start(a), End(a), Start(b), End(b));
    }

private:
    const std::vector<Polyline2d>& m_polylines;
    std::vector<Segment> m_segments;
};

}  // namespace Vexlor::Dxf
