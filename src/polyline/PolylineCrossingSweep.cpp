// The crossing test over buckets of nearby segments: the same answer as trying every pair.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::sort, std::min, std::max
#include <cmath>      // std::isnan, std::isfinite, std::sqrt, std::floor
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

// Above this many cell entries per segment (long segments fill many cells), or this many pair
// tests for segments with infinite coordinates, one sweep over all segments is cheaper.
constexpr double kMaxCellEntriesPerSegment = 16;
constexpr double kMaxWidePairTests = 2e8;

inline bool HasNaN(const Point2d& p) { return std::isnan(p.x) || std::isnan(p.y); }

inline bool IsFinite(const Segment& s) {
    return std::isfinite(s.minX) && std::isfinite(s.maxX) && std::isfinite(s.minY) &&
           std::isfinite(s.maxY);
}

// The pairwise test of two segments of different polylines, with the segment of the polyline
// that comes first in the vector as the first operand, as in the pairwise form.
inline bool Cross(const Segment& a, const Segment& b) {
    if (a.polyline == b.polyline) return false;
    if (a.minX > b.maxX || b.minX > a.maxX || a.minY > b.maxY || b.minY > a.maxY) return false;
    const bool aFirst = a.polyline < b.polyline;
    const Segment& p = aFirst ? a : b;
    const Segment& q = aFirst ? b : a;
    return SegmentsCross(*p.start, *p.end, *q.start, *q.end);
}

// A sweep over the segments sorted by x: each is tested against those whose x range still
// reaches it. Pairs whose x ranges are apart are exactly those the box test rejects on x.
bool SweepCross(const std::vector<Segment>& segments) {
    std::vector<std::size_t> order(segments.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return segments[a].minX < segments[b].minX; });
    std::vector<const Segment*> active;
    for (const std::size_t index : order) {
        const Segment& segment = segments[index];
        std::size_t kept = 0;
        for (std::size_t k = 0; k < active.size(); ++k) {
            const Segment* other = active[k];
            if (other->maxX < segment.minX) continue;  // behind the sweep for good
            active[kept++] = other;
            if (Cross(*other, segment)) return true;
        }
        active.resize(kept);
        active.push_back(&segment);
    }
    return false;
}

// A uniform grid over the drawing, about one cell per segment: every pair of segments whose
// boxes overlap shares a cell, so testing the pairs within each cell finds every crossing.
struct CellRange {
    std::size_t firstColumn;
    std::size_t lastColumn;
    std::size_t firstRow;
    std::size_t lastRow;
};

class SegmentGrid {
public:
    explicit SegmentGrid(const std::vector<Segment>& segments) : m_segments(segments) {}

    // Buckets the finite segments; those with infinite coordinates are left in `wide`.
    // Returns false when the segments would fill too many cells.
    bool Build(std::vector<std::size_t>& wide) {
        double minX = 0;
        double maxX = 0;
        double minY = 0;
        double maxY = 0;
        bool any = false;
        for (const Segment& s : m_segments) {
            if (!IsFinite(s)) continue;
            minX = any ? std::min(minX, s.minX) : s.minX;
            maxX = any ? std::max(maxX, s.maxX) : s.maxX;
            minY = any ? std::min(minY, s.minY) : s.minY;
            maxY = any ? std::max(maxY, s.maxY) : s.maxY;
            any = true;
        }
        const double count = static_cast<double>(m_segments.size());
        const double width = maxX - minX;
        const double height = maxY - minY;
        double cell = width * height > 0 ? std::sqrt(width * height / count)
                                         : std::max(width, height) / count;
        if (!(cell > 0) || !std::isfinite(cell)) cell = 1.0;
        m_minX = minX;
        m_minY = minY;
        m_inverseCell = 1.0 / cell;
        m_columns = Clamp(std::floor(width / cell) + 1, 4 * count + 1);
        m_rows =
            Clamp(std::floor(height / cell) + 1, 4 * count / static_cast<double>(m_columns) + 1);

        // The cell range of every finite segment, then a counting pass and a filling pass
        // into one array of cell lists.
        std::vector<std::size_t> finite;
        finite.reserve(m_segments.size());
        m_ranges.resize(m_segments.size());
        double entries = 0;
        for (std::size_t k = 0; k < m_segments.size(); ++k) {
            const Segment& s = m_segments[k];
            if (!IsFinite(s)) {
                wide.push_back(k);
                continue;
            }
            finite.push_back(k);
            CellRange& range = m_ranges[k];
            range = {Column(s.minX), Column(s.maxX), Row(s.minY), Row(s.maxY)};
            entries += static_cast<double>((range.lastColumn - range.firstColumn + 1) *
                                           (range.lastRow - range.firstRow + 1));
        }
        if (entries > kMaxCellEntriesPerSegment * count + 1024) return false;
        m_start.assign(m_columns * m_rows + 1, 0);
        for (const std::size_t k : finite) {
            ForEachCell(m_ranges[k], [&](std::size_t c) { ++m_start[c + 1]; });
        }
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) m_start[c + 1] += m_start[c];
        m_entries.resize(m_start.back());
        std::vector<std::size_t> fill(m_start.begin(), m_start.end() - 1);
        for (const std::size_t k : finite) {
            ForEachCell(m_ranges[k], [&](std::size_t c) { m_entries[fill[c]++] = k; });
        }
        return true;
    }

    bool AnyCellCross() const {
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) {
            const std::size_t begin = m_start[c];
            const std::size_t end = m_start[c + 1];
            // A cell's entries are in segment order, so grouped by polyline; segments of one
            // polyline are never tested against each other.
            if (end - begin < 2 || PolylineOf(begin) == PolylineOf(end - 1)) continue;
            std::size_t groupEnd = begin;
            for (std::size_t a = begin; a < end; ++a) {
                if (a == groupEnd) {
                    while (groupEnd < end && PolylineOf(groupEnd) == PolylineOf(a)) ++groupEnd;
                }
                const Segment& first = m_segments[m_entries[a]];
                for (std::size_t b = groupEnd; b < end; ++b) {
                    if (Cross(first, m_segments[m_entries[b]])) return true;
                }
            }
        }
        return false;
    }

private:
    static std::size_t Clamp(double cells, double limit) {
        const double bounded = std::max(1.0, std::min(cells, limit));
        return static_cast<std::size_t>(bounded);
    }
    std::size_t PolylineOf(std::size_t entry) const {
        return m_segments[m_entries[entry]].polyline;
    }
    // Any mapping that keeps the order of coordinates puts overlapping boxes into a shared
    // cell; multiplying by the inverse cell size is one.
    std::size_t Column(double x) const {
        return Clamp(std::floor((x - m_minX) * m_inverseCell) + 1, static_cast<double>(m_columns)) -
               1;
    }
    std::size_t Row(double y) const {
        return Clamp(std::floor((y - m_minY) * m_inverseCell) + 1, static_cast<double>(m_rows)) - 1;
    }
    template <typename Visit>
    void ForEachCell(const CellRange& range, Visit&& visit) const {
        for (std::size_t row = range.firstRow; row <= range.lastRow; ++row) {
            for (std::size_t column = range.firstColumn; column <= range.lastColumn; ++column) {
                visit(row * m_columns + column);
            }
        }
    }

    const std::vector<Segment>& m_segments;
    double m_minX = 0;
    double m_minY = 0;
    double m_inverseCell = 1;
    std::size_t m_columns = 1;
    std::size_t m_rows = 1;
    std::vector<std::size_t> m_start;
    std::vector<std::size_t> m_entries;
    std::vector<CellRange> m_ranges;
};

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
    if (segments.size() < 2) return false;

    SegmentGrid grid(segments);
    std::vector<std::size_t> wide;
    if (!grid.Build(wide) ||
        static_cast<double>(wide.size()) * static_cast<double>(segments.size()) >
            kMaxWidePairTests) {
        return SweepCross(segments);
    }
    if (grid.AnyCellCross()) return true;
    for (const std::size_t w : wide) {
        for (const Segment& other : segments) {
            if (Cross(segments[w], other)) return true;
        }
    }
    return false;
}

}  // namespace Vexlor::Dxf
