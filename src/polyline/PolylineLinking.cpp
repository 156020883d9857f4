// Point reduction, end-to-end linking of open pieces, and the crossing test.
// SPDX-License-Identifier: MIT
#include "polyline/PolylineLinking.h"

#include <algorithm>  // std::min, std::max
#include <cstddef>    // std::size_t
#include <utility>    // std::move

#include "polyline/PolylineGeometry.h"
#include "polyline_reducing_utilities.h"

namespace Vexlor::Dxf {

namespace {

// Reading A forward from its matched end and B forward from its own, both cyclically, the
// first m pairs are all equal. B shorter than A repeats; of a longer B only m points count.
bool IsDuplicate(const std::vector<Point2d>& a, std::size_t aStart, const std::vector<Point2d>& b,
                 std::size_t bStart) {
    const std::size_t m = a.size();
    const std::size_t n = b.size();
    for (std::size_t k = 0; k < m; ++k) {
        if (!Equal(a[(aStart + k) % m], b[(bStart + k) % n])) return false;
    }
    return true;
}

// A keeps its own direction and its own point at the joint; B's matched end point goes.
void Join(std::vector<Point2d>& a, const std::vector<Point2d>& b, EndPair pair) {
    const std::size_t n = b.size();
    const std::size_t joinedSize = a.size() + n - 1;
    switch (pair) {
        case EndPair::FrontToFront: {
            std::vector<Point2d> joined;
            joined.reserve(joinedSize);
            for (std::size_t k = n - 1; k >= 1; --k) joined.push_back(b[k]);
            joined.insert(joined.end(), a.begin(), a.end());
            a = std::move(joined);
            break;
        }
        case EndPair::FrontToBack: {
            std::vector<Point2d> joined;
            joined.reserve(joinedSize);
            joined.insert(joined.end(), b.begin(), b.end() - 1);
            joined.insert(joined.end(), a.begin(), a.end());
            a = std::move(joined);
            break;
        }
        case EndPair::BackToFront:
            if (a.capacity() < joinedSize) a.reserve(joinedSize);
            a.insert(a.end(), b.begin() + 1, b.end());
            break;
        case EndPair::BackToBack:
            if (a.capacity() < joinedSize) a.reserve(joinedSize);
            for (std::size_t k = n - 1; k-- > 0;) a.push_back(b[k]);
            break;
        case EndPair::None:
            break;
    }
}

// One scan: the first pair of open pieces whose ends meet is joined (or the duplicate dropped).
// Returns false when no pair meets.
bool LinkOnce(std::vector<Polyline2d>& polylines) {
    const std::size_t count = polylines.size();
    for (std::size_t i = 0; i < count; ++i) {
        Polyline2d& a = polylines[i];
        if (a.closed || a.points.empty()) continue;
        for (std::size_t j = i + 1; j < count; ++j) {
            Polyline2d& b = polylines[j];
            if (b.closed || b.points.empty()) continue;
            const std::size_t m = a.points.size();
            const std::size_t n = b.points.size();
            const EndPair pair =
                MatchEnds(a.points[0], a.points[m - 1], b.points[0], b.points[n - 1]);
            if (pair == EndPair::None) continue;
            const std::size_t aStart = StartsAtFront(pair, true) ? 0 : m - 1;
            const std::size_t bStart = StartsAtFront(pair, false) ? 0 : n - 1;
            if (!IsDuplicate(a.points, aStart, b.points, bStart)) Join(a.points, b.points, pair);
            // B stays in place, empty, so that no index moves.
            b.points.clear();
            return true;
        }
    }
    return false;
}

}  // namespace

Polyline2d RemoveDuplicatePoints(const Polyline2d& polyline) {
    namespace reducing = Vexlor::Math::polyline_reducing_utilities;
    const std::vector<Point2d>& points = polyline.points;
    const std::size_t n = points.size();
    if (n < 2) return polyline;

    reducing::bidirectional_polyline_indexing indexing(n, polyline.closed);
    // An open polyline never compares its last point with its first.
    const std::size_t iterations = polyline.closed ? indexing.count : indexing.count - 1;
    std::size_t cursor = indexing.first;
    for (std::size_t iteration = 0; iteration < iterations; ++iteration) {
        const auto next = static_cast<std::size_t>(indexing.next[cursor]);
        if (Equal(points[cursor], points[next])) {
            reducing::remove_point(indexing, next);
        } else {
            cursor = next;
        }
    }

    Polyline2d result;
    result.closed = polyline.closed;
    result.points.reserve(indexing.count);
    std::size_t walk = indexing.first;
    for (std::size_t k = 0; k < indexing.count; ++k) {
        result.points.push_back(points[walk]);
        walk = static_cast<std::size_t>(indexing.next[walk]);
    }
    return result;
}

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

void LinkOpenPolylines(std::vector<Polyline2d>& polylines) {
    while (LinkOnce(polylines)) {
    }
}

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

bool AnyPolylinesCross(const std::vector<Polyline2d>& polylines) {
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        for (std::size_t j = i + 1; j < polylines.size(); ++j) {
            if (PolylinesCross(polylines[i], polylines[j])) return true;
        }
    }
    return false;
}

}  // namespace Vexlor::Dxf
