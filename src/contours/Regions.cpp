// Closed contours nested by one sweep over x, their areas and turns, and contours drawn twice.
// SPDX-License-Identifier: MIT
#include "contours/Regions.h"

#include <algorithm>        // std::sort, std::reverse, std::max, std::lower_bound, std::remove_if
#include <cmath>            // std::fabs, std::isfinite
#include <cstdint>          // std::uint32_t, std::uint64_t
#include <cstring>          // std::memcpy
#include <limits>           // std::numeric_limits
#include <memory_resource>  // std::pmr::monotonic_buffer_resource
#include <set>              // std::pmr::set
#include <utility>          // std::swap

namespace Vexlor::Dxf {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Coordinates beyond this could overflow the heights and slopes of the sweep: such contours are
// not nested.
constexpr double kLargest = 1e150;

bool Nestable(const Polyline2d& polyline) {
    if (!polyline.closed || polyline.points.size() < 2) return false;
    for (const Point2d& p : polyline.points) {
        if (!(std::fabs(p.x) <= kLargest) || !(std::fabs(p.y) <= kLargest)) return false;
    }
    return true;
}

// A segment that is not upright, from its left end to its right end.
struct Slanted {
    Point2d left;
    Point2d right;
    double slope;
    std::uint32_t contour;
    bool leftwards;  // the contour runs along it from right to left
};

// The segments on the sweep line, ordered by their height just right of the sweep's x: by their
// height at x, then by their slope. Segments that do not cross keep that order as x grows. Each
// node holds its segment's ends and slope, so that comparing reads the nodes on the tree's path
// and nothing else.
class NestingSweep {
public:
    explicit NestingSweep(const std::vector<Slanted>& segments)
        : m_segments(segments),
          m_nodes(std::max<std::size_t>(segments.size(), 1) * kNodeBytes),
          m_status(Below{this}, &m_nodes),
          m_handles(segments.size()) {}

    void MoveTo(double x) { m_x = x; }
    void Insert(std::uint32_t s) {
        const Slanted& segment = m_segments[s];
        m_handles[s] = m_status.insert(Key{segment.left, segment.right, segment.slope, s}).first;
    }
    void Remove(std::uint32_t s) { m_status.extract(m_handles[s]); }

    // The lowest segment above height y and, at that height, above slope `slope`.
    const Slanted* Above(double y, double slope) const {
        const auto it = m_status.upper_bound(Probe{y, slope});
        return it == m_status.end() ? nullptr : &m_segments[it->segment];
    }

private:
    struct Key {
        Point2d left;
        Point2d right;
        double slope;
        std::uint32_t segment;
    };
    struct Probe {
        double y;
        double slope;
    };

    double HeightOf(const Key& key) const {
        if (m_x <= key.left.x) return key.left.y;
        if (m_x >= key.right.x) return key.right.y;
        return key.left.y + (m_x - key.left.x) * key.slope;
    }

    struct Below {
        using is_transparent = void;
        const NestingSweep* sweep;
        bool operator()(const Key& a, const Key& b) const {
            if (a.segment == b.segment) return false;
            const double ya = sweep->HeightOf(a);
            const double yb = sweep->HeightOf(b);
            if (ya != yb) return ya < yb;
            if (a.slope != b.slope) return a.slope < b.slope;
            return a.segment < b.segment;
        }
        bool operator()(const Probe& p, const Key& k) const {
            const double y = sweep->HeightOf(k);
            return p.y < y || (p.y == y && p.slope < k.slope);
        }
        bool operator()(const Key& k, const Probe& p) const {
            const double y = sweep->HeightOf(k);
            return y < p.y || (y == p.y && k.slope < p.slope);
        }
    };

    // Nodes come from one growing buffer: each segment is inserted once, and freeing is left to
    // the end.
    using Status = std::pmr::set<Key, Below>;
    static constexpr std::size_t kNodeBytes = 80;

    const std::vector<Slanted>& m_segments;
    double m_x = 0;
    std::pmr::monotonic_buffer_resource m_nodes;
    Status m_status;
    std::vector<Status::iterator> m_handles;
};

inline bool LexLess(const Point2d& a, const Point2d& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}

}  // namespace

double SignedArea(const Polyline2d& polyline) {
    const std::vector<Point2d>& points = polyline.points;
    if (points.size() < 3) return 0;
    // About the first point, so that a ring far from the origin keeps its digits.
    const Point2d& o = points.front();
    double twice = 0;
    for (std::size_t k = 1; k + 1 < points.size(); ++k) {
        const double ax = points[k].x - o.x;
        const double ay = points[k].y - o.y;
        const double bx = points[k + 1].x - o.x;
        const double by = points[k + 1].y - o.y;
        twice += ax * by - ay * bx;
    }
    return twice / 2;
}

std::vector<ContourNesting> NestContours(const std::vector<Polyline2d>& polylines,
                                         const std::vector<bool>* leaveOut) {
    const std::size_t count = polylines.size();
    std::vector<ContourNesting> nesting(count);
    // The contours that take part, each with its first point in the sweep, the steeper slope of
    // its edges there (upright: infinite) and its place in the sweep's order.
    std::vector<std::uint32_t> order;
    std::vector<Point2d> lowest(count, Point2d{0, 0});
    std::vector<double> upper(count, -kInfinity);
    std::vector<Slanted> segments;
    for (std::size_t i = 0; i < count; ++i) {
        const Polyline2d& polyline = polylines[i];
        if (polyline.closed) nesting[i].area = SignedArea(polyline);
        if (!Nestable(polyline) || (leaveOut && (*leaveOut)[i])) continue;
        const std::vector<Point2d>& points = polyline.points;
        const std::size_t n = points.size();
        Point2d low = points.front();
        for (const Point2d& p : points) {
            if (LexLess(p, low)) low = p;
        }
        lowest[i] = low;
        for (std::size_t k = 0; k < n; ++k) {
            const Point2d& a = points[k];
            const Point2d& b = points[k + 1 == n ? 0 : k + 1];
            for (const auto& [at, to] : {std::pair{a, b}, std::pair{b, a}}) {
                if (at.x != low.x || at.y != low.y) continue;
                const double slope = to.x == at.x ? kInfinity : (to.y - at.y) / (to.x - at.x);
                upper[i] = std::max(upper[i], slope);
            }
            if (a.x == b.x) continue;  // upright: no height to order by, met by no upward ray
            const bool leftwards = b.x < a.x;
            const Point2d& left = leftwards ? b : a;
            const Point2d& right = leftwards ? a : b;
            segments.push_back({left, right, (right.y - left.y) / (right.x - left.x),
                                static_cast<std::uint32_t>(i), leftwards});
        }
        order.push_back(static_cast<std::uint32_t>(i));
    }
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (LexLess(lowest[a], lowest[b])) return true;
        if (LexLess(lowest[b], lowest[a])) return false;
        return a < b;
    });
    std::vector<std::uint32_t> rank(count, 0);
    for (std::size_t r = 0; r < order.size(); ++r) rank[order[r]] = static_cast<std::uint32_t>(r);

    // A segment is looked at only by queries at an x from its left end to before its right end;
    // one that no query reaches would only take its place in the order, which the order of the
    // others does not depend on.
    std::vector<double> queries(order.size());
    for (std::size_t r = 0; r < order.size(); ++r) queries[r] = lowest[order[r]].x;
    segments.erase(std::remove_if(segments.begin(), segments.end(),
                                  [&](const Slanted& s) {
                                      const auto at = std::lower_bound(queries.begin(),
                                                                       queries.end(), s.left.x);
                                      return at == queries.end() || !(*at < s.right.x);
                                  }),
                   segments.end());
    const std::size_t segmentCount = segments.size();
    // Sorted with their keys beside them: a sort that looked the keys up would jump through
    // memory at every comparison.
    struct Keyed {
        double x;
        std::uint32_t rank;  // of the segment's contour, for the order of insertion
        std::uint32_t segment;
    };
    std::vector<Keyed> keyed(segmentCount);
    for (std::size_t s = 0; s < segmentCount; ++s) {
        keyed[s] = {segments[s].left.x, rank[segments[s].contour], std::uint32_t(s)};
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.x != b.x) return a.x < b.x;
        return a.rank < b.rank;
    });
    std::vector<std::uint32_t> byLeft(segmentCount);
    for (std::size_t k = 0; k < segmentCount; ++k) byLeft[k] = keyed[k].segment;
    for (std::size_t s = 0; s < segmentCount; ++s) {
        keyed[s] = {segments[s].right.x, 0, std::uint32_t(s)};
    }
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) { return a.x < b.x; });
    std::vector<std::uint32_t> byRight(segmentCount);
    for (std::size_t k = 0; k < segmentCount; ++k) byRight[k] = keyed[k].segment;

    // Segments are on the sweep line from their left end (exclusive) to their right end
    // (inclusive of neither beyond x): just right of the sweep's x. A contour's segments come
    // in only after its own query, so that only contours decided before it are looked at;
    // every contour whose segment is on the line at its x has its first point further left or
    // lower, and so was decided before it.
    NestingSweep sweep(segments);
    std::size_t nextLeft = 0;
    std::size_t nextRight = 0;
    for (std::size_t r = 0; r < order.size(); ++r) {
        const std::uint32_t c = order[r];
        const double x = lowest[c].x;
        for (;;) {
            const double removeAt =
                nextRight < segmentCount ? segments[byRight[nextRight]].right.x : kInfinity;
            double insertAt = kInfinity;
            if (nextLeft < segmentCount) {
                const Slanted& s = segments[byLeft[nextLeft]];
                if (s.left.x < x || (s.left.x == x && rank[s.contour] < r)) insertAt = s.left.x;
            }
            if (removeAt <= x && removeAt <= insertAt) {
                sweep.MoveTo(removeAt);
                sweep.Remove(byRight[nextRight++]);
            } else if (insertAt != kInfinity) {
                sweep.MoveTo(insertAt);
                sweep.Insert(byLeft[nextLeft++]);
            } else {
                break;
            }
        }
        sweep.MoveTo(x);
        const Slanted* above = sweep.Above(lowest[c].y, upper[c]);
        if (!above) continue;
        // The point just above the contour's upper edge lies inside the contour of the segment
        // above it when that contour's interior lies below the segment: to the left of its
        // direction of travel, for a counter-clockwise turn.
        const std::size_t d = above->contour;
        const double area = nesting[d].area;
        const bool inside = area != 0 && (area > 0) == above->leftwards;
        const std::size_t parent = inside ? d : nesting[d].parent;
        nesting[c].parent = parent;
        nesting[c].depth = parent == kNoContour ? 0 : nesting[parent].depth + 1;
    }
    return nesting;
}

std::vector<ContourRegion> RegionsOf(const std::vector<Polyline2d>& polylines,
                                     const std::vector<ContourNesting>& nesting,
                                     const std::vector<bool>* leaveOut) {
    std::vector<ContourRegion> regions;
    std::vector<std::size_t> regionOf(polylines.size(), kNoContour);
    const auto out = [&](std::size_t i) { return leaveOut && (*leaveOut)[i]; };
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (!polylines[i].closed || nesting[i].depth % 2 != 0 || out(i)) continue;
        regionOf[i] = regions.size();
        ContourRegion region;
        region.outline = i;
        region.area = std::fabs(nesting[i].area);
        region.counterClockwise = nesting[i].area > 0;
        regions.push_back(std::move(region));
    }
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const std::size_t parent = nesting[i].parent;
        if (!polylines[i].closed || nesting[i].depth % 2 == 0 || parent == kNoContour || out(i)) {
            continue;
        }
        ContourRegion& region = regions[regionOf[parent]];
        region.holes.push_back(i);
        region.area -= std::fabs(nesting[i].area);
    }
    return regions;
}

void Orient(std::vector<Polyline2d>& polylines, std::vector<ContourNesting>& nesting) {
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        if (!polylines[i].closed) continue;
        const bool outline = nesting[i].depth % 2 == 0;
        const double area = nesting[i].area;
        if (outline ? area < 0 : area > 0) {
            std::vector<Point2d>& points = polylines[i].points;
            std::reverse(points.begin() + 1, points.end());
            nesting[i].area = -area;
        }
    }
}

namespace {

std::uint64_t BitsOf(double v) {
    if (v == 0) v = 0;  // -0 equals 0
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

std::uint64_t Mix(std::uint64_t h) {
    h ^= h >> 31;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return h;
}

// A hash of the segments, each taken without its direction, that neither the start nor the
// direction of the points changes; the same points in another order (which a hash of the points
// alone would not tell apart) mostly give other segments.
std::uint64_t PointsHash(const Polyline2d& polyline) {
    const std::vector<Point2d>& points = polyline.points;
    std::uint64_t sum = points.size() * 0x9E3779B97F4A7C15ull + polyline.closed;
    const auto point = [](const Point2d& p) {
        return Mix(BitsOf(p.x) * 0xBF58476D1CE4E5B9ull ^ BitsOf(p.y));
    };
    const std::size_t n = points.size();
    const std::size_t segments = polyline.closed ? n : (n == 0 ? 0 : n - 1);
    for (std::size_t k = 0; k < segments; ++k) {
        const std::uint64_t a = point(points[k]);
        const std::uint64_t b = point(points[k + 1 == n ? 0 : k + 1]);
        sum += Mix(Mix(a + b) ^ (a ^ b));
    }
    if (n == 1) sum += point(points.front());
    return sum;
}

bool SamePoints(const Polyline2d& a, const Polyline2d& b) {
    const std::vector<Point2d>& p = a.points;
    const std::vector<Point2d>& q = b.points;
    const std::size_t n = p.size();
    if (a.closed != b.closed || n != q.size()) return false;
    if (n == 0) return true;
    const auto run = [&](std::size_t start, bool forward) {
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t j = forward ? (start + k) % n : (start + n - k) % n;
            if (!Equal(p[k], q[j])) return false;
        }
        return true;
    };
    if (!a.closed) return run(0, true) || run(n - 1, false);
    for (std::size_t start = 0; start < n; ++start) {
        if (Equal(p[0], q[start]) && (run(start, true) || run(start, false))) return true;
    }
    return false;
}

}  // namespace

std::vector<ContourDuplicate> FindDuplicates(const std::vector<Polyline2d>& polylines) {
    std::vector<std::pair<std::uint64_t, std::size_t>> keys(polylines.size());
    for (std::size_t i = 0; i < polylines.size(); ++i) keys[i] = {PointsHash(polylines[i]), i};
    std::sort(keys.begin(), keys.end());
    std::vector<ContourDuplicate> found;
    std::vector<ContourDuplicate> groups;
    for (std::size_t begin = 0; begin < keys.size();) {
        std::size_t end = begin + 1;
        while (end < keys.size() && keys[end].first == keys[begin].first) ++end;
        groups.clear();
        for (std::size_t k = begin; k < end; ++k) {
            const std::size_t i = keys[k].second;
            bool placed = false;
            for (ContourDuplicate& group : groups) {
                if (SamePoints(polylines[group.original], polylines[i])) {
                    group.copies.push_back(i);
                    placed = true;
                    break;
                }
            }
            if (!placed) groups.push_back({i, {}, 0});
        }
        for (ContourDuplicate& group : groups) {
            if (!group.copies.empty()) found.push_back(std::move(group));
        }
        begin = end;
    }
    std::sort(found.begin(), found.end(), [](const ContourDuplicate& a, const ContourDuplicate& b) {
        return a.original < b.original;
    });
    return found;
}

}  // namespace Vexlor::Dxf
