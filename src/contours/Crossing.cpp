// The crossing test over buckets of nearby segments: the same answer as trying every pair.
// SPDX-License-Identifier: MIT
#include "contours/Crossing.h"

#include <algorithm>      // std::sort, std::min, std::max
#include <cmath>          // std::isnan, std::isfinite, std::sqrt, std::floor
#include <cstddef>        // std::size_t
#include <cstdint>        // std::uint32_t
#include <limits>         // std::numeric_limits
#include <new>            // std::bad_alloc
#include <unordered_set>  // std::unordered_set
#include <utility>        // std::pair
#include <vector>         // std::vector

#include "contours/CrossingSweep.h"
#include "contours/Finishing.h"
#include "contours/Segments.h"
#include "geometry/Prefetch.h"

namespace Vexlor::Dxf {

namespace {

// Above this many cell entries per segment (long segments fill many cells), or this many pair
// tests per segment in crowded cells, the sweep in y is cheaper than the grid.
constexpr double kMaxCellEntriesPerSegment = 16;
constexpr double kMaxCellPairTestsPerSegment = 32;

inline bool HasNaN(const Point2d& p) { return std::isnan(p.x) || std::isnan(p.y); }

// A sweep over the segments sorted by x: each is tested against those of other polylines
// whose x range still reaches it. Pairs whose x ranges are apart are exactly those the box test
// rejects on x. The segments on the sweep line are kept by polyline, so that a contour's own
// segments cost nothing when one of its segments comes in.
bool SweepCross(const Segments& segments) {
    std::vector<std::pair<double, std::uint32_t>> order(segments.Size());
    for (std::size_t k = 0; k < order.size(); ++k) {
        order[k] = {segments.BoxOf(k).minX, static_cast<std::uint32_t>(k)};
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    // Per polyline: (max x, segment) of its segments on the sweep line; and the polylines with
    // any, found again through their place in the list.
    std::size_t count = 0;
    for (std::size_t k = 0; k < segments.Size(); ++k) {
        count = std::max<std::size_t>(count, segments.PolylineOf(k) + std::size_t{1});
    }
    constexpr std::uint32_t kAbsent = 0xFFFFFFFFu;
    std::vector<std::vector<std::pair<double, std::uint32_t>>> active(count);
    std::vector<std::uint32_t> place(count, kAbsent);  // of each polyline in `polylines`
    std::vector<std::uint32_t> polylines;
    for (const auto& [minX, index] : order) {
        const std::uint32_t own = segments.PolylineOf(index);
        for (std::size_t p = 0; p < polylines.size();) {
            const std::uint32_t polyline = polylines[p];
            auto& list = active[polyline];
            if (polyline != own) {
                std::size_t kept = 0;
                for (const auto& entry : list) {
                    if (entry.first < minX) continue;  // behind the sweep for good
                    list[kept++] = entry;
                    if (segments.Cross(entry.second, index)) return true;
                }
                list.resize(kept);
            }
            if (list.empty()) {  // leaves the list, the last one taking its place
                polylines[p] = polylines.back();
                place[polylines[p]] = static_cast<std::uint32_t>(p);
                polylines.pop_back();
                place[polyline] = kAbsent;
                continue;
            }
            ++p;
        }
        if (place[own] == kAbsent) {
            place[own] = static_cast<std::uint32_t>(polylines.size());
            polylines.push_back(own);
        }
        active[own].emplace_back(segments.BoxOf(index).maxX, index);
    }
    return false;
}

struct CellRange {
    std::uint32_t firstColumn;
    std::uint32_t lastColumn;
    std::uint32_t firstRow;
    std::uint32_t lastRow;
    std::size_t Count() const {
        return std::size_t{lastColumn - firstColumn + 1} * std::size_t{lastRow - firstRow + 1};
    }
};

// A uniform grid over the boxes of some items, about one cell per item: every two items whose
// boxes overlap share a cell. `BoxOf(k)` gives the box of item k.
template <typename BoxOf>
class BoxGrid {
public:
    BoxGrid(std::size_t count, BoxOf boxOf) : m_count(count), m_boxOf(boxOf) {}

    // Buckets the items with finite boxes; the others are left in `wide`. Returns false when
    // the items would fill too many cells.
    bool Build(std::vector<std::uint32_t>& wide) {
        Box bounds{0, 0, 0, 0};
        bool any = false;
        for (std::size_t k = 0; k < m_count; ++k) {
            const Box box = m_boxOf(k);
            if (!box.Finite()) {
                wide.push_back(static_cast<std::uint32_t>(k));
                continue;
            }
            bounds = any ? Box{std::min(bounds.minX, box.minX), std::max(bounds.maxX, box.maxX),
                               std::min(bounds.minY, box.minY), std::max(bounds.maxY, box.maxY)}
                         : box;
            any = true;
        }
        const double count = static_cast<double>(m_count);
        const double width = bounds.maxX - bounds.minX;
        const double height = bounds.maxY - bounds.minY;
        double cell = width * height > 0 ? std::sqrt(width * height / count)
                                         : std::max(width, height) / count;
        if (!(cell > 0) || !std::isfinite(cell)) cell = 1.0;
        m_minX = bounds.minX;
        m_minY = bounds.minY;
        m_inverseCell = 1.0 / cell;
        m_columns = Clamp(std::floor(width / cell) + 1, 2 * count + 1);
        m_rows =
            Clamp(std::floor(height / cell) + 1, 2 * count / static_cast<double>(m_columns) + 1);
        m_columnLimit = static_cast<double>(m_columns);
        m_rowLimit = static_cast<double>(m_rows);
        m_lastColumn = static_cast<std::uint32_t>(m_columns - 1);
        m_lastRow = static_cast<std::uint32_t>(m_rows - 1);

        const double limit =
            std::min(kMaxCellEntriesPerSegment * count + 1024,
                     static_cast<double>(std::numeric_limits<std::uint32_t>::max()) - 1);
        double entries = 0;
        for (std::size_t k = 0; k < m_count; ++k) {
            const Box box = m_boxOf(k);
            if (box.Finite()) entries += static_cast<double>(RangeOf(box).Count());
            if (entries > limit) return false;  // long segments: found out early
        }
        // m_start[c + 1] counts, then ends, the entries of cell c; filling moves each end back
        // to the cell's start, so no second array of cursors is needed. One shift then makes
        // m_start[c] the start of cell c.
        m_start.assign(m_columns * m_rows + 1, 0);
        for (std::size_t k = 0; k < m_count; ++k) {
            ForEachCellOf(k, [&](std::size_t c) { ++m_start[c + 1]; });
        }
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) m_start[c + 1] += m_start[c];
        m_entries.resize(m_start.back());
        // Filled backwards, so that each cell's entries come out in item order.
        for (std::size_t k = m_count; k-- > 0;) {
            ForEachCellOf(k, [&](std::size_t c) {
                m_entries[--m_start[c + 1]] = static_cast<std::uint32_t>(k);
            });
        }
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) m_start[c] = m_start[c + 1];
        m_start.back() = static_cast<std::uint32_t>(m_entries.size());
        return true;
    }

    // The number of pairs in the cells, an upper bound of the tests AnyCell leads to.
    double PairCount() const {
        double pairs = 0;
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) {
            const double entries = m_start[c + 1] - m_start[c];
            pairs += entries * (entries - 1) / 2;
        }
        return pairs;
    }

    // Calls `visit(begin, end)` with the entries of every cell holding two or more, in item
    // order; stops and returns true as soon as a call returns true.
    template <typename Visit>
    bool AnyCell(Visit&& visit) const {
        for (std::size_t c = 0; c + 1 < m_start.size(); ++c) {
            const std::uint32_t* begin = m_entries.data() + m_start[c];
            const std::uint32_t* end = m_entries.data() + m_start[c + 1];
            if (end - begin >= 2 && visit(begin, end)) return true;
        }
        return false;
    }

private:
    static std::size_t Clamp(double cells, double limit) {
        const double bounded = std::max(1.0, std::min(cells, limit));
        return static_cast<std::size_t>(bounded);
    }
    // Any mapping that keeps the order of coordinates puts overlapping boxes into a shared
    // cell; scaling by the inverse cell size and truncating is one. Coordinates of finite
    // boxes are not below the minimum, so the scaled values are not negative.
    std::uint32_t Column(double x) const {
        const double scaled = (x - m_minX) * m_inverseCell;
        return scaled < m_columnLimit ? static_cast<std::uint32_t>(scaled) : m_lastColumn;
    }
    std::uint32_t Row(double y) const {
        const double scaled = (y - m_minY) * m_inverseCell;
        return scaled < m_rowLimit ? static_cast<std::uint32_t>(scaled) : m_lastRow;
    }
    CellRange RangeOf(const Box& box) const {
        return {Column(box.minX), Column(box.maxX), Row(box.minY), Row(box.maxY)};
    }
    template <typename Visit>
    void ForEachCellOf(std::size_t k, Visit&& visit) const {
        const Box box = m_boxOf(k);
        if (!box.Finite()) return;
        const CellRange range = RangeOf(box);
        for (std::size_t row = range.firstRow; row <= range.lastRow; ++row) {
            for (std::size_t column = range.firstColumn; column <= range.lastColumn; ++column) {
                visit(row * m_columns + column);
            }
        }
    }

    std::size_t m_count;
    BoxOf m_boxOf;
    double m_minX = 0;
    double m_minY = 0;
    double m_inverseCell = 1;
    std::size_t m_columns = 1;
    std::size_t m_rows = 1;
    double m_columnLimit = 1;
    double m_rowLimit = 1;
    std::uint32_t m_lastColumn = 0;
    std::uint32_t m_lastRow = 0;
    std::vector<std::uint32_t> m_start;
    std::vector<std::uint32_t> m_entries;
};

template <typename BoxOf>
BoxGrid<BoxOf> MakeBoxGrid(std::size_t count, BoxOf boxOf) {
    return BoxGrid<BoxOf>(count, boxOf);
}

inline bool Overlap(const Box& a, const Box& b) {
    return !(a.minX > b.maxX) && !(b.minX > a.maxX) && !(a.minY > b.maxY) && !(b.minY > a.maxY);
}

// Marks the polylines whose box overlaps the box of another polyline; only their segments can
// cross anything, since a segment's box lies within its polyline's box. The boxes span the
// points without NaN: those take part only in segments that cross nothing. Separate parts of a
// drawing thus cost one pass over their points. When the boxes crowd together so much that
// finding the overlaps would take long, every polyline is marked and the segments decide.
std::vector<bool> PolylinesNearOthers(const std::vector<Polyline2d>& polylines, Box2d* all) {
    std::vector<Box> boxes;
    std::vector<std::uint32_t> owner;
    boxes.reserve(polylines.size());
    owner.reserve(polylines.size());
    Box2d unused;
    Box2d& every = all ? *all : unused;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        FetchAhead(polylines, i);
        const std::vector<Point2d>& points = polylines[i].points;
        if (points.empty()) continue;
        // The polyline's box, of its points without NaN; and Box2d::Extend(points) on `every` in
        // the same pass: after the first point, the least and greatest of every point in turn
        // (the first again changes nothing). In registers: a box kept in memory would make each
        // point wait for the last one's store.
        Bounds own{kInfinity, kInfinity, -kInfinity, -kInfinity};
        every.Extend(points.front());
        Bounds seen{every.minimum.x, every.minimum.y, every.maximum.x, every.maximum.y};
        const Point2d* p = points.data();
        const Point2d* const end = p + points.size();
        for (; end - p >= 4; p += 4) {
            if (!Bounds::FourMayHaveNaN(p)) {
                seen.TakeFour(p);
                own.TakeFour(p);
                continue;
            }
            for (int k = 0; k < 4; ++k) {
                seen.Take(p[k]);
                if (!HasNaN(p[k])) own.Take(p[k]);
            }
        }
        for (; p != end; ++p) {
            seen.Take(*p);
            if (!HasNaN(*p)) own.Take(*p);
        }
        every.minimum = {seen.minX, seen.minY};
        every.maximum = {seen.maxX, seen.maxY};
        if (SegmentCount(polylines[i]) == 0) continue;
        const Box box{own.minX, own.maxX, own.minY, own.maxY};
        if (box.minX > box.maxX) continue;  // no point without NaN
        boxes.push_back(box);
        owner.push_back(static_cast<std::uint32_t>(i));
    }
    std::vector<bool> near(polylines.size(), false);
    const auto mark = [&](std::size_t a, std::size_t b) {
        if (!Overlap(boxes[a], boxes[b])) return;
        near[owner[a]] = true;
        near[owner[b]] = true;
    };
    auto grid = MakeBoxGrid(boxes.size(), [&](std::size_t k) { return boxes[k]; });
    std::vector<std::uint32_t> wide;
    // Overlaps are looked for only while that stays cheap next to the segment test itself.
    double budget = 32.0 * static_cast<double>(boxes.size()) + 1e6;
    if (!grid.Build(wide) ||
        static_cast<double>(wide.size()) * static_cast<double>(boxes.size()) > budget) {
        return std::vector<bool>(polylines.size(), true);
    }
    const bool exhausted = grid.AnyCell([&](const std::uint32_t* begin, const std::uint32_t* end) {
        budget -= static_cast<double>(end - begin) * static_cast<double>(end - begin - 1) / 2;
        if (budget < 0) return true;
        for (const std::uint32_t* a = begin; a != end; ++a) {
            for (const std::uint32_t* b = a + 1; b != end; ++b) mark(*a, *b);
        }
        return false;
    });
    if (exhausted) return std::vector<bool>(polylines.size(), true);
    for (const std::uint32_t w : wide) {
        for (std::size_t k = 0; k < boxes.size(); ++k) {
            if (k != w) mark(w, k);
        }
    }
    return near;
}

// The pairs of segments that share a cell of the grid. A cell's entries are in segment order,
// so grouped by polyline; segments of one polyline are never tested against each other.
template <typename Grid>
bool GridCross(const Grid& grid, const Segments& segments) {
    return grid.AnyCell([&](const std::uint32_t* begin, const std::uint32_t* end) {
        if (segments.PolylineOf(*begin) == segments.PolylineOf(*(end - 1))) return false;
        const std::uint32_t* groupEnd = begin;
        for (const std::uint32_t* a = begin; a != end; ++a) {
            if (a == groupEnd) {
                while (groupEnd != end && segments.PolylineOf(*groupEnd) == segments.PolylineOf(*a))
                    ++groupEnd;
            }
            for (const std::uint32_t* b = groupEnd; b != end; ++b) {
                if (segments.Cross(*a, *b)) return true;
            }
        }
        return false;
    });
}

}  // namespace

bool PolylinesCross(const Polyline2d& first, const Polyline2d& second) {
    const std::size_t firstSegments = SegmentCount(first);
    const std::size_t secondSegments = SegmentCount(second);
    for (std::size_t s = 0; s < firstSegments; ++s) {
        const Point2d& p1 = first.points[s];
        const Point2d& p2 = SegmentEnd(first, s);
        for (std::size_t t = 0; t < secondSegments; ++t) {
            if (SegmentsCross(p1, p2, second.points[t], SegmentEnd(second, t))) return true;
        }
    }
    return false;
}

bool AnyPolylinesCross(const std::vector<Polyline2d>& polylines, Box2d* box) {
    if (polylines.size() < 2) {
        if (box) *box = BoxOf(polylines);
        return false;
    }
    // Indices are 32-bit to keep the structures small; so many segments would take more than
    // 32 GiB, so the case is one of exhausted memory.
    std::size_t total = 0;
    for (const Polyline2d& polyline : polylines) total += SegmentCount(polyline);
    if (polylines.size() >= std::numeric_limits<std::uint32_t>::max() ||
        total >= std::numeric_limits<std::uint32_t>::max() / 2) {
        throw std::bad_alloc();
    }
    if (box) *box = Box2d();
    const Segments segments(polylines, PolylinesNearOthers(polylines, box));
    if (segments.Size() < 2) return false;

    auto grid = MakeBoxGrid(segments.Size(), [&](std::size_t k) { return segments.BoxOf(k); });
    std::vector<std::uint32_t> wide;  // stays empty: segments that can cross have finite ends
    const bool bucketed = grid.Build(wide);
    const double size = static_cast<double>(segments.Size());
    if (bucketed && grid.PairCount() <= kMaxCellPairTestsPerSegment * size + 1e6) {
        return GridCross(grid, segments);
    }
    switch (SweepForCrossing(segments)) {
        case SweepAnswer::Crossing:
            return true;
        case SweepAnswer::NoCrossing:
            return false;
        case SweepAnswer::Undecided:
            break;
    }
    // Segments that cross exactly without the rounded test seeing it (of one polyline, say):
    // only the buckets or the sweep over x are left, which can take up to a test per pair.
    return bucketed ? GridCross(grid, segments) : SweepCross(segments);
}

CrossingReport LocateCrossings(const std::vector<Polyline2d>& polylines, std::size_t cap) {
    CrossingReport report;
    std::size_t total = 0;
    for (const Polyline2d& polyline : polylines) total += SegmentCount(polyline);
    if (polylines.size() >= std::numeric_limits<std::uint32_t>::max() ||
        total >= std::numeric_limits<std::uint32_t>::max() / 2) {
        throw std::bad_alloc();
    }
    const Segments segments(polylines, std::vector<bool>(polylines.size(), true));
    if (segments.Size() < 2) return report;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> found;
    const double limit =
        4.0 * static_cast<double>(segments.Size()) + 16.0 * static_cast<double>(cap);
    report.complete = ListExactCrossings(segments, limit, found);
    std::unordered_set<std::uint64_t> pairs;
    for (const auto& [a, b] : found) {
        const std::uint32_t first = std::min(segments.PolylineOf(a), segments.PolylineOf(b));
        const std::uint32_t second = std::max(segments.PolylineOf(a), segments.PolylineOf(b));
        if (!pairs.insert(std::uint64_t{first} << 32 | second).second) continue;
        ++report.count;
        if (report.crossings.size() >= cap) continue;
        // p + t (q - p) on the first segment, where it meets the line of the second.
        const Point2d& p = segments.Start(a);
        const Point2d& q = segments.End(a);
        const Point2d& r = segments.Start(b);
        const Point2d& s = segments.End(b);
        const double dx = q.x - p.x;
        const double dy = q.y - p.y;
        const double ex = s.x - r.x;
        const double ey = s.y - r.y;
        const double t = ((r.x - p.x) * ey - (r.y - p.y) * ex) / (dx * ey - dy * ex);
        const double share = std::isfinite(t) ? std::min(1.0, std::max(0.0, t)) : 0.5;
        report.crossings.push_back({first, second, {p.x + dx * share, p.y + dy * share}});
    }
    return report;
}

}  // namespace Vexlor::Dxf
