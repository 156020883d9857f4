// The crossing test as a sweep over the segments ordered in y, with the same answer as testing
// every pair.
//
// Which pairs the sweep may leave untested. The pairwise test calls segments P and Q crossing
// when the rounded side products of each against the other's line are negative. Rounding can
// only decide that where an end point lies within a few units of rounding (times the size of
// the coordinates) of the other segment's line; everywhere else the rounded signs are the exact
// ones. So a pair the pairwise test calls crossing either crosses exactly, at a point inside
// both segments, or has an end point of one that lies that close to the other segment (the box
// test rules out the case where it is close to the line only).
// - Exact crossings: the sweep keeps the segments that the sweep line meets ordered in y, by
//   exact orientations, and tests every two that become neighbours. If any two segments cross
//   exactly, the two that cross first along the sweep are neighbours before that point. When
//   those two are not called crossing (they belong to one polyline, or they cross so flatly
//   that rounding hides it), the order is no longer right beyond their crossing: the sweep
//   gives up and another method decides.
// - Near end points: at every end point, each segment that passes within a small window of it
//   (a run of neighbours in the order, since the order is by y) is tested against the segments
//   that end there. The window is in y, which covers segments no steeper than 45 degrees; a
//   second sweep with x and y exchanged covers the steeper ones.
// - Shared end points need no test when the point is the first point of either segment: that
//   side product is exactly zero (the line's constant is the negated sum that the side
//   computes). Nor when the point lies exactly on the other's line by the rounded formula. The
//   pairs left, where both segments end at the point, are decided by the sign of that rounding
//   for each and by their directions, by sorting the directions around the point.
// SPDX-License-Identifier: MIT
#include "contours/CrossingSweep.h"

#include <algorithm>        // std::sort, std::max, std::min, std::lower_bound, std::upper_bound
#include <climits>          // INT_MAX, INT_MIN
#include <cmath>            // std::atan2, std::fabs, std::frexp, std::hypot, std::ldexp, HUGE_VAL
#include <cstdint>          // std::uint32_t
#include <iterator>         // std::next, std::prev
#include <memory_resource>  // std::pmr::monotonic_buffer_resource
#include <set>              // std::pmr::set
#include <unordered_set>    // std::unordered_set
#include <utility>          // std::pair
#include <vector>           // std::vector

#include "contours/ExactArithmetic.h"

namespace Vexlor::Dxf {

namespace {

constexpr double kUnitRoundoff = 0x1p-53;
constexpr double kPi = 3.141592653589793;
// The window around an end point, in units of rounding of the coordinates there: far wider
// than the few units within which rounding can change a side's sign.
constexpr double kNearWindow = 4096 * kUnitRoundoff;
// Directions around a shared end point closer than this many units of rounding (relative to
// the coordinates over the shortest segment) to one another or to the opposite direction are
// tested pair by pair; beyond it the side products have their exact signs.
constexpr double kParallelWindow = 64 * kUnitRoundoff;
// Coordinates for which those rounded side products neither overflow nor underflow.
constexpr double kSmallestPlain = 0x1p-250;
constexpr double kLargestPlain = 0x1p250;

enum class Step { Continue, Crossing, Undecided };

// Crossings that turn the order cost far more than a pair test each; a drawing with more of
// them than this per segment (a contour crossing itself everywhere) is left to the pair
// tests of the fallback, which cost less there.
constexpr double kCrossingsPerSegment = 4;

// About the size of a node of the status tree, to size its buffer up front.
constexpr std::size_t kNodeBytes = 40;

inline bool SamePoint(const Point2d& a, const Point2d& b) { return a.x == b.x && a.y == b.y; }

inline bool LexLess(const Point2d& a, const Point2d& b) {
    return a.x < b.x || (a.x == b.x && a.y < b.y);
}

// The segments' end points scaled by one power of two (which keeps every orientation) so that
// the exact orientations stay in their range; empty when the coordinates span too much.
struct ScaledEnds {
    std::vector<Point2d> start;
    std::vector<Point2d> end;
    // The largest magnitude of a coordinate of all segments but the few largest, and those.
    double ordinary = 0;
    std::vector<std::uint32_t> large;
};

// How far rounding can take a side from its exact value grows with the magnitude of the
// coordinates, so the window around an end point does too. A few segments far out (one entity
// at 1e20 in a drawing of millimetres) would widen every window; at most this many of them are
// tested by themselves against every end point instead.
constexpr std::size_t kLargeSegments = 32;

inline double Magnitude(const Point2d& p) { return std::max(std::fabs(p.x), std::fabs(p.y)); }

bool Scale(const Segments& segments, ScaledEnds& scaled) {
    int highest = INT_MIN;
    int lowest = INT_MAX;
    const auto note = [&](double v) {
        if (v == 0) return;
        int exponent = 0;
        std::frexp(v, &exponent);
        highest = std::max(highest, exponent);
        lowest = std::min(lowest, exponent);
    };
    for (std::size_t k = 0; k < segments.Size(); ++k) {
        for (const Point2d* p : {&segments.Start(k), &segments.End(k)}) {
            note(p->x);
            note(p->y);
        }
    }
    int shift = 0;
    if (highest != INT_MIN) {
        if (highest - lowest > 2 * kExactExponentLimit - 4) return false;
        shift = -(highest + lowest) / 2;
    }
    const std::size_t count = segments.Size();
    scaled.start.resize(count);
    scaled.end.resize(count);
    std::vector<double> magnitudes(count);
    for (std::size_t k = 0; k < count; ++k) {
        const Point2d& s = segments.Start(k);
        const Point2d& e = segments.End(k);
        scaled.start[k] = {std::ldexp(s.x, shift), std::ldexp(s.y, shift)};
        scaled.end[k] = {std::ldexp(e.x, shift), std::ldexp(e.y, shift)};
        magnitudes[k] = std::max(Magnitude(scaled.start[k]), Magnitude(scaled.end[k]));
    }
    // Segments beyond sixteen times the rest are few enough to be tested by themselves.
    double bound = HUGE_VAL;
    if (count > kLargeSegments) {
        std::vector<double> sorted = magnitudes;
        const auto at = sorted.begin() + static_cast<std::ptrdiff_t>(count - kLargeSegments);
        std::nth_element(sorted.begin(), at, sorted.end());
        bound = 16 * *at;
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (magnitudes[k] > bound) {
            scaled.large.push_back(static_cast<std::uint32_t>(k));
        } else {
            scaled.ordinary = std::max(scaled.ordinary, magnitudes[k]);
        }
    }
    return true;
}

// Pairs of segments that both end at one point: the directions sorted around it.
class SharedEnd {
public:
    SharedEnd(const Segments& segments, const Point2d& at) : m_segments(segments), m_at(at) {}

    // `group`: segments that end at the point and whose rounded side of it is not zero.
    Step Decide(const std::vector<std::uint32_t>& group) {
        if (group.size() < 16 || !Plain(group)) return Pairwise(group);
        double largest = std::max(std::fabs(m_at.x), std::fabs(m_at.y));
        double shortest = 0;
        m_rays.clear();
        for (const std::uint32_t k : group) {
            const Point2d& from = m_segments.Start(k);
            largest = std::max({largest, std::fabs(from.x), std::fabs(from.y)});
            const double dx = from.x - m_at.x;
            const double dy = from.y - m_at.y;
            const double length = std::hypot(dx, dy);
            shortest = m_rays.empty() ? length : std::min(shortest, length);
            m_rays.push_back({std::atan2(dy, dx), k, NoiseSign(k), m_segments.PolylineOf(k)});
        }
        const double window = 2 * kParallelWindow * largest / shortest;
        if (!(window < 0.1)) return Pairwise(group);
        std::sort(m_rays.begin(), m_rays.end(),
                  [](const Ray& a, const Ray& b) { return a.angle < b.angle; });
        const std::size_t count = m_rays.size();
        m_angles.resize(2 * count);
        for (std::size_t i = 0; i < count; ++i) {
            m_angles[i] = m_rays[i].angle;
            m_angles[i + count] = m_rays[i].angle + 2 * kPi;
        }
        // Nearly parallel or opposite directions: their sides may round either way.
        for (std::size_t i = 0; i < count; ++i) {
            for (const double centre : {m_rays[i].angle, m_rays[i].angle + kPi}) {
                double low = centre - window;
                double high = centre + window;
                if (low < -kPi) {
                    low += 2 * kPi;
                    high += 2 * kPi;
                }
                for (auto j = std::lower_bound(m_angles.begin(), m_angles.end(), low);
                     j != m_angles.end() && *j <= high; ++j) {
                    const Ray& other =
                        m_rays[static_cast<std::size_t>(j - m_angles.begin()) % count];
                    if (m_segments.Cross(m_rays[i].segment, other.segment)) return Step::Crossing;
                }
            }
        }
        // Every other pair crosses exactly when one has a negative and the other a positive
        // rounded side of the point and the positive one's direction lies less than half a
        // turn counter-clockwise of the negative one's: then the side of each one's other end
        // against the other's line has the opposite sign of its own.
        PrepareQueries();
        for (std::size_t i = 0; i < count; ++i) {
            if (m_rays[i].noise > 0) continue;
            const auto begin =
                std::upper_bound(m_angles.begin(), m_angles.end(), m_rays[i].angle + window);
            const auto end =
                std::lower_bound(m_angles.begin(), m_angles.end(), m_rays[i].angle + kPi - window);
            const std::size_t found = PositiveOfOtherPolyline(
                static_cast<std::size_t>(begin - m_angles.begin()),
                static_cast<std::size_t>(end - m_angles.begin()), m_rays[i].polyline);
            if (found == kNone) continue;
            // Products so small or large that they round to zero or overflow can still say
            // otherwise; then every pair is tested.
            return m_segments.Cross(m_rays[i].segment, m_rays[found % count].segment)
                       ? Step::Crossing
                       : Pairwise(group);
        }
        return Step::Continue;
    }

private:
    struct Ray {
        double angle;
        std::uint32_t segment;
        int noise;
        std::uint32_t polyline;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    int NoiseSign(std::uint32_t k) const {
        const double side = Line(m_segments.Start(k), m_segments.End(k)).Side(m_at);
        return side > 0 ? 1 : -1;
    }

    bool Plain(const std::vector<std::uint32_t>& group) const {
        const auto plain = [](double v) {
            const double magnitude = std::fabs(v);
            return v == 0 || (magnitude >= kSmallestPlain && magnitude <= kLargestPlain);
        };
        if (!plain(m_at.x) || !plain(m_at.y)) return false;
        for (const std::uint32_t k : group) {
            const Point2d& from = m_segments.Start(k);
            if (!plain(from.x) || !plain(from.y)) return false;
        }
        return true;
    }

    Step Pairwise(const std::vector<std::uint32_t>& group) const {
        for (std::size_t i = 0; i < group.size(); ++i) {
            for (std::size_t j = i + 1; j < group.size(); ++j) {
                if (m_segments.Cross(group[i], group[j])) return Step::Crossing;
            }
        }
        return Step::Continue;
    }

    // Over the doubled order: the first positive ray from each index on, and the first
    // positive ray from there on whose polyline differs from that one's.
    void PrepareQueries() {
        const std::size_t size = m_angles.size();
        const std::size_t count = m_rays.size();
        m_firstPositive.assign(size + 1, kNone);
        m_firstOtherPositive.assign(size + 1, kNone);
        for (std::size_t i = size; i-- > 0;) {
            const Ray& ray = m_rays[i % count];
            if (ray.noise < 0) {
                m_firstPositive[i] = m_firstPositive[i + 1];
                m_firstOtherPositive[i] = m_firstOtherPositive[i + 1];
                continue;
            }
            m_firstPositive[i] = i;
            const std::size_t next = m_firstPositive[i + 1];
            if (next == kNone || m_rays[next % count].polyline != ray.polyline) {
                m_firstOtherPositive[i] = next;
            } else {
                m_firstOtherPositive[i] = m_firstOtherPositive[i + 1];
            }
        }
    }

    std::size_t PositiveOfOtherPolyline(std::size_t begin, std::size_t end,
                                        std::uint32_t polyline) const {
        if (begin >= end) return kNone;
        const std::size_t first = m_firstPositive[begin];
        if (first == kNone || first >= end) return kNone;
        if (m_rays[first % m_rays.size()].polyline != polyline) return first;
        const std::size_t other = m_firstOtherPositive[begin];
        return other != kNone && other < end ? other : kNone;
    }

    const Segments& m_segments;
    Point2d m_at;
    std::vector<Ray> m_rays;
    std::vector<double> m_angles;
    std::vector<std::size_t> m_firstPositive;
    std::vector<std::size_t> m_firstOtherPositive;
};

// A point of the sweep: an end point, or where two segments cross. Its estimates, with their
// error bounds, decide comparisons that are far from a tie; otherwise it is taken exactly, as
// (x / w, y / w) with w > 0, crossing points as ratios of orientations.
class SweepPoint {
public:
    struct Exact {
        Expansion x;
        Expansion y;
        Expansion w;
    };

    static SweepPoint Of(const Point2d& p) {
        SweepPoint point;
        point.m_l = p;
        point.m_x = p.x;
        point.m_y = p.y;
        return point;
    }

    // Where segment l-r crosses segment m-n; they cross at a single point inside both.
    static SweepPoint Crossing(const Point2d& l, const Point2d& r, const Point2d& m,
                               const Point2d& n) {
        SweepPoint point;
        point.m_crossing = true;
        point.m_l = l;
        point.m_r = r;
        point.m_m = m;
        point.m_n = n;
        // The sides of l and r against m-n have opposite signs; where their estimates are
        // sure, the share of l's side in their difference is too, and so the point.
        double boundL;
        double boundR;
        const double sideL = EstimatedSide(m, n, l, boundL);
        const double sideR = EstimatedSide(m, n, r, boundR);
        const double difference = sideL - sideR;
        const double error = boundL / std::fabs(sideL) + (boundL + boundR) / std::fabs(difference) +
                             3 * kUnitRoundoff;
        if (std::fabs(sideL) > boundL && std::fabs(sideR) > boundR && error < 1e-8) {
            const double share = sideL / difference;
            const double dx = (r.x - l.x) * share;
            const double dy = (r.y - l.y) * share;
            point.m_x = l.x + dx;
            point.m_y = l.y + dy;
            point.m_errorX = std::fabs(dx) * (error + 3 * kUnitRoundoff) +
                             2 * kUnitRoundoff * (std::fabs(l.x) + std::fabs(dx));
            point.m_errorY = std::fabs(dy) * (error + 3 * kUnitRoundoff) +
                             2 * kUnitRoundoff * (std::fabs(l.y) + std::fabs(dy));
        } else {
            const Exact& exact = point.Exactly();
            const double w = exact.w.Estimate();
            point.m_x = exact.x.Estimate() / w;
            point.m_y = exact.y.Estimate() / w;
            point.m_errorX = 8 * kUnitRoundoff * std::fabs(point.m_x);
            point.m_errorY = 8 * kUnitRoundoff * std::fabs(point.m_y);
        }
        return point;
    }

    double X() const { return m_x; }
    double Y() const { return m_y; }
    double ErrorX() const { return m_errorX; }
    double ErrorY() const { return m_errorY; }

    const Exact& Exactly() const {
        if (m_exact.empty()) {
            if (!m_crossing) {
                m_exact.push_back({Expansion(m_l.x), Expansion(m_l.y), Expansion(1.0)});
            } else {
                const Expansion atL = Orientation(m_m, m_n, m_l);
                Expansion w = atL - Orientation(m_m, m_n, m_r);
                Expansion x = Expansion(m_l.x) * w + Expansion::Difference(m_r.x, m_l.x) * atL;
                Expansion y = Expansion(m_l.y) * w + Expansion::Difference(m_r.y, m_l.y) * atL;
                if (w.Sign() < 0)
                    m_exact.push_back({-x, -y, -w});
                else
                    m_exact.push_back({x, y, w});
            }
        }
        return m_exact.front();
    }

private:
    static double EstimatedSide(const Point2d& a, const Point2d& b, const Point2d& c,
                                double& bound) {
        const double left = (b.x - a.x) * (c.y - a.y);
        const double right = (b.y - a.y) * (c.x - a.x);
        bound = 4 * kUnitRoundoff * (std::fabs(left) + std::fabs(right));
        return left - right;
    }

    bool m_crossing = false;
    Point2d m_l{0, 0};
    Point2d m_r{0, 0};
    Point2d m_m{0, 0};
    Point2d m_n{0, 0};
    double m_x = 0;
    double m_y = 0;
    double m_errorX = 0;
    double m_errorY = 0;
    mutable std::vector<Exact> m_exact;  // computed when first needed
};

// The sign of a.x - b.x, then of a.y - b.y: the order of the sweep.
int Compare(const SweepPoint& a, const SweepPoint& b) {
    if (a.X() - b.X() > a.ErrorX() + b.ErrorX()) return 1;
    if (b.X() - a.X() > a.ErrorX() + b.ErrorX()) return -1;
    const SweepPoint::Exact& exactA = a.Exactly();
    const SweepPoint::Exact& exactB = b.Exactly();
    const int byX = (exactA.x * exactB.w - exactB.x * exactA.w).Sign();
    if (byX != 0) return byX;
    if (a.Y() - b.Y() > a.ErrorY() + b.ErrorY()) return 1;
    if (b.Y() - a.Y() > a.ErrorY() + b.ErrorY()) return -1;
    return (exactA.y * exactB.w - exactB.y * exactA.w).Sign();
}

class Sweep {
public:
    // With `found`, the sweep does not stop at a crossing: it lists every pair of segments that
    // cross exactly, as it turns their order there, until more than `limit` are listed.
    Sweep(const Segments& segments, const ScaledEnds& scaled, bool exchanged,
          std::vector<std::pair<std::uint32_t, std::uint32_t>>* found = nullptr, double limit = 0)
        : m_segments(segments),
          m_scaled(scaled),
          m_exchanged(exchanged),
          m_nodes(std::max<std::size_t>(segments.Size(), 1) * kNodeBytes),
          m_status(Order{this}, &m_nodes),
          m_handles(segments.Size()),
          m_found(found),
          m_limit(limit) {
        const std::size_t count = segments.Size();
        m_left.resize(count);
        m_right.resize(count);
        m_events.reserve(2 * count);
        for (std::size_t k = 0; k < count; ++k) {
            Point2d a = Frame(scaled.start[k]);
            Point2d b = Frame(scaled.end[k]);
            if (LexLess(b, a)) std::swap(a, b);
            m_left[k] = a;
            m_right[k] = b;
            m_events.push_back({a, static_cast<std::uint32_t>(k), true});
            m_events.push_back({b, static_cast<std::uint32_t>(k), false});
        }
        std::sort(m_events.begin(), m_events.end(), [](const Event& a, const Event& b) {
            return LexLess(a.at, b.at) || (SamePoint(a.at, b.at) && a.insert < b.insert);
        });
    }

    SweepAnswer Run() {
        std::size_t i = 0;
        Step step = Step::Continue;
        while (step == Step::Continue && (i < m_events.size() || !m_crossings.empty())) {
            if (!m_crossings.empty() &&
                (i == m_events.size() ||
                 Compare(m_crossings.front().at, SweepPoint::Of(m_events[i].at)) < 0)) {
                step = CrossAtNext();
                continue;
            }
            std::size_t j = i + 1;
            while (j < m_events.size() && SamePoint(m_events[j].at, m_events[i].at)) ++j;
            step = EndPoint(i, j);
            i = j;
        }
        if (step == Step::Crossing) return SweepAnswer::Crossing;
        return step == Step::Undecided ? SweepAnswer::Undecided : SweepAnswer::NoCrossing;
    }

private:
    struct Event {
        Point2d at;
        std::uint32_t segment;
        bool insert;
    };
    // Two segments that cross exactly where the rounded test does not see it (they belong to
    // one polyline, or they cross too flatly): their order turns there.
    struct CrossingEvent {
        SweepPoint at;
        std::uint32_t segment;
        std::uint32_t other;
    };
    struct Later {
        bool operator()(const CrossingEvent& a, const CrossingEvent& b) const {
            return Compare(a.at, b.at) > 0;
        }
    };

    // The order of the segments on the sweep line. Only a segment being inserted is ever
    // compared with one in the set.
    struct Order {
        const Sweep* sweep;
        bool operator()(std::uint32_t a, std::uint32_t b) const {
            if (a == b) return false;
            if (a == sweep->m_inserting) return sweep->InsertedBelow(a, b);
            return !sweep->InsertedBelow(b, a);
        }
    };
    // Nodes come from one growing buffer: each segment is inserted once, so the buffer stays
    // within a node per segment, and freeing is left to the end.
    using Status = std::pmr::set<std::uint32_t, Order>;

    // The segments that start, end or pass at one end point: those ending there leave first,
    // then segments crossing there change places, then new ones come in, each step testing
    // the segments that become neighbours. The first segment of the point, on the sweep line
    // at the point, starts the search for the segments near it.
    Step EndPoint(std::size_t first, std::size_t last) {
        const Point2d at = m_events[first].at;
        m_current = SweepPoint::Of(at);
        m_window = kNearWindow * (Magnitude(at) + m_scaled.ordinary);
        Step step = Step::Continue;
        std::size_t k = first;
        const bool removes = !m_events[first].insert;
        // Listing exact crossings needs no look at the ends that only rounding brings close.
        if (removes && !m_found) step = NearPairs(first, last, m_handles[m_events[first].segment]);
        for (; k < last && !m_events[k].insert && step == Step::Continue; ++k) {
            step = Remove(m_events[k].segment);
        }
        if (step == Step::Continue && !m_crossings.empty() &&
            Compare(m_crossings.front().at, m_current) == 0) {
            step = CrossAtNext();
        }
        for (; k < last && step == Step::Continue; ++k) step = Insert(m_events[k].segment);
        if (m_found) return step;
        if (step == Step::Continue && !removes) {
            step = NearPairs(first, last, m_handles[m_events[first].segment]);
        }
        return step == Step::Continue ? SameColumnPairs(first, last) : step;
    }

    int SideOf(std::uint32_t k, const Point2d& p) const {
        return OrientationSign(m_left[k], m_right[k], p);
    }

    // Whether segment `s`, inserted at its left end, goes below segment `t` on the sweep line:
    // by its left end, then by its direction, then, for overlapping segments, by index.
    bool InsertedBelow(std::uint32_t s, std::uint32_t t) const {
        int side = SideOf(t, m_left[s]);
        if (side == 0) side = SideOf(t, m_right[s]);
        return side == 0 ? s < t : side < 0;
    }

    bool ProperlyCross(std::uint32_t a, std::uint32_t b) const {
        return SideOf(a, m_left[b]) * SideOf(a, m_right[b]) < 0 &&
               SideOf(b, m_left[a]) * SideOf(b, m_right[a]) < 0;
    }

    Step Neighbours(std::uint32_t a, std::uint32_t b) {
        if (!m_found && m_segments.Cross(a, b)) return Step::Crossing;
        if (ProperlyCross(a, b)) {
            SweepPoint at = SweepPoint::Crossing(m_left[a], m_right[a], m_left[b], m_right[b]);
            // Neighbours that crossed behind the sweep line are in their new order already; a
            // pair that comes together again is on the list already.
            const std::uint64_t pair = std::uint64_t{std::min(a, b)} << 32 | std::max(a, b);
            if (Compare(at, m_current) >= 0 && m_scheduled.insert(pair).second) {
                if (m_found) {
                    m_found->emplace_back(a, b);
                    if (static_cast<double>(m_scheduled.size()) > m_limit) return Step::Undecided;
                } else if (static_cast<double>(m_scheduled.size()) >
                           kCrossingsPerSegment * static_cast<double>(m_left.size()) + 4096) {
                    return Step::Undecided;
                }
                m_crossings.push_back({std::move(at), a, b});
                std::push_heap(m_crossings.begin(), m_crossings.end(), Later{});
            }
        }
        return Step::Continue;
    }

    // Stepping past the last segment would climb the whole tree to find the end; the last one
    // is known at once.
    bool IsLast(Status::const_iterator it) const { return it == std::prev(m_status.end()); }

    Step Insert(std::uint32_t s) {
        m_inserting = s;
        const auto it = m_status.insert(s).first;
        m_handles[s] = it;
        if (it != m_status.begin()) {
            const Step step = Neighbours(*std::prev(it), s);
            if (step != Step::Continue) return step;
        }
        return IsLast(it) ? Step::Continue : Neighbours(s, *std::next(it));
    }

    Step Remove(std::uint32_t s) {
        const auto it = m_handles[s];
        if (it == m_status.begin() || IsLast(it)) {
            m_status.extract(it);  // unlike erase, finds no successor
            return Step::Continue;
        }
        const std::uint32_t below = *std::prev(it);
        const std::uint32_t above = *std::next(it);
        m_status.extract(it);
        return Neighbours(below, above);
    }

    // Whether segment k's line passes exactly through the point.
    bool PassesThrough(std::uint32_t k, const SweepPoint& p) const {
        const Point2d& l = m_left[k];
        const Point2d& r = m_right[k];
        const double dx = r.x - l.x;
        const double dy = r.y - l.y;
        const double estimate = dx * (p.Y() - l.y) - dy * (p.X() - l.x);
        const double bound = 8 * kUnitRoundoff *
                                 (std::fabs(dx) * (std::fabs(p.Y()) + std::fabs(l.y)) +
                                  std::fabs(dy) * (std::fabs(p.X()) + std::fabs(l.x))) +
                             std::fabs(dx) * p.ErrorY() + std::fabs(dy) * p.ErrorX();
        if (std::fabs(estimate) > bound) return false;
        const SweepPoint::Exact& exact = p.Exactly();
        return (Expansion::Difference(r.x, l.x) * (exact.y - Expansion(l.y) * exact.w) -
                Expansion::Difference(r.y, l.y) * (exact.x - Expansion(l.x) * exact.w))
                   .Sign() == 0;
    }

    bool Collinear(std::uint32_t a, std::uint32_t b) const {
        return SideOf(a, m_left[b]) == 0 && SideOf(a, m_right[b]) == 0;
    }

    // The segments through the next crossing point, a run of the order, turn round there;
    // segments along one line keep their order among themselves. Every two of them that cross
    // there are tested, as not all of them were neighbours before.
    Step CrossAtNext() {
        std::pop_heap(m_crossings.begin(), m_crossings.end(), Later{});
        const CrossingEvent event = std::move(m_crossings.back());
        m_crossings.pop_back();
        m_current = event.at;
        while (!m_crossings.empty() && Compare(m_crossings.front().at, m_current) == 0) {
            std::pop_heap(m_crossings.begin(), m_crossings.end(), Later{});
            m_crossings.pop_back();
        }
        const auto through = [&](std::uint32_t k) {
            return k == event.other || PassesThrough(k, m_current);
        };
        auto low = m_handles[event.segment];
        auto high = low;
        while (low != m_status.begin() && through(*std::prev(low))) --low;
        while (!IsLast(high) && through(*std::next(high))) ++high;
        m_block.assign(low, std::next(high));
        for (std::size_t i = 0; i < m_block.size(); ++i) {
            for (std::size_t j = i + 1; j < m_block.size(); ++j) {
                const std::uint32_t a = m_block[i];
                const std::uint32_t b = m_block[j];
                if (!m_found) {
                    if (m_segments.Cross(a, b)) return Step::Crossing;
                    continue;
                }
                // Pairs through the point that were never neighbours cross here too.
                const std::uint64_t pair = std::uint64_t{std::min(a, b)} << 32 | std::max(a, b);
                if (ProperlyCross(a, b) && m_scheduled.insert(pair).second) {
                    m_found->emplace_back(a, b);
                    if (static_cast<double>(m_scheduled.size()) > m_limit) return Step::Undecided;
                }
            }
        }
        std::reverse(m_block.begin(), m_block.end());
        for (std::size_t i = 0; i < m_block.size();) {
            std::size_t j = i + 1;
            while (j < m_block.size() && Collinear(m_block[i], m_block[j])) ++j;
            std::reverse(m_block.begin() + static_cast<std::ptrdiff_t>(i),
                         m_block.begin() + static_cast<std::ptrdiff_t>(j));
            i = j;
        }
        // The set orders by position on the sweep line, which the new order is right for from
        // here on; the nodes keep their places in the tree and take the new segments.
        auto it = low;
        for (const std::uint32_t k : m_block) {
            const_cast<std::uint32_t&>(*it) = k;
            m_handles[k] = it;
            ++it;
        }
        if (low != m_status.begin()) {
            const Step step = Neighbours(*std::prev(low), *low);
            if (step != Step::Continue) return step;
        }
        return IsLast(high) ? Step::Continue : Neighbours(*high, *std::next(high));
    }

    // Whether segment k passes within the window of point p in y on the sweep line.
    bool Near(std::uint32_t k, const Point2d& p) const {
        if (HasEnd(k, p)) return true;
        if (m_left[k].x == m_right[k].x) return true;  // upright and met: through p
        return SideOf(k, Point2d{p.x, p.y + m_window}) >= 0 &&
               SideOf(k, Point2d{p.x, p.y - m_window}) <= 0;
    }

    bool HasEnd(std::uint32_t k, const Point2d& at) const {
        return SamePoint(m_left[k], at) || SamePoint(m_right[k], at);
    }

    // The segments with an end at the event point against those that pass near it, and
    // against each other.
    Step NearPairs(std::size_t first, std::size_t last, Status::iterator middle) {
        const Point2d at = m_events[first].at;
        // The point of the drawing that the event point stands for.
        const std::uint32_t any = m_events[first].segment;
        const Point2d& original =
            SamePoint(Frame(m_scaled.start[any]), at) ? m_segments.Start(any) : m_segments.End(any);
        m_run.clear();
        // The few largest segments, wherever they are, when the point lies in their box
        // widened by their own window.
        for (const std::uint32_t t : m_scaled.large) {
            const double window =
                kNearWindow * (Magnitude(at) + Magnitude(m_left[t]) + Magnitude(m_right[t]));
            if (at.x >= m_left[t].x - window && at.x <= m_right[t].x + window &&
                at.y >= std::min(m_left[t].y, m_right[t].y) - window &&
                at.y <= std::max(m_left[t].y, m_right[t].y) + window) {
                m_run.push_back(t);
            }
        }
        for (auto it = middle; Near(*it, at); ++it) {
            m_run.push_back(*it);
            if (IsLast(it)) break;
        }
        for (auto it = middle; it != m_status.begin();) {
            --it;
            if (!Near(*it, at)) break;
            m_run.push_back(*it);
        }
        for (const std::uint32_t t : m_run) {
            if (HasEnd(t, at)) continue;
            // A side of exactly zero makes every product with it zero.
            if (Line(m_segments.Start(t), m_segments.End(t)).Side(original) == 0) continue;
            for (std::size_t k = first; k < last; ++k) {
                if (m_segments.Cross(m_events[k].segment, t)) return Step::Crossing;
            }
        }
        m_shared.clear();
        for (std::size_t k = first; k < last; ++k) {
            const std::uint32_t s = m_events[k].segment;
            if (!SamePoint(m_segments.End(s), original)) continue;  // starts here
            const double side = Line(m_segments.Start(s), original).Side(original);
            if (side != 0) m_shared.push_back(s);
        }
        if (m_shared.size() < 2) return Step::Continue;
        return SharedEnd(m_segments, original).Decide(m_shared);
    }

    Point2d Frame(const Point2d& p) const { return m_exchanged ? Point2d{p.y, p.x} : p; }

    // End points straight above the event point within the window: the segments there are
    // not yet, or no longer, on the sweep line when the other point is reached.
    Step SameColumnPairs(std::size_t first, std::size_t last) const {
        const Point2d& at = m_events[first].at;
        for (std::size_t next = last; next < m_events.size() && m_events[next].at.x == at.x &&
                                      m_events[next].at.y - at.y <= m_window;
             ++next) {
            for (std::size_t k = first; k < last; ++k) {
                if (m_segments.Cross(m_events[k].segment, m_events[next].segment)) {
                    return Step::Crossing;
                }
            }
        }
        return Step::Continue;
    }

    const Segments& m_segments;
    const ScaledEnds& m_scaled;
    bool m_exchanged;
    double m_window = 0;  // around the current end point
    std::vector<Point2d> m_left;
    std::vector<Point2d> m_right;
    std::vector<Event> m_events;
    std::pmr::monotonic_buffer_resource m_nodes;
    Status m_status;
    std::vector<Status::iterator> m_handles;
    std::uint32_t m_inserting = 0;
    SweepPoint m_current = SweepPoint::Of({0, 0});
    std::vector<CrossingEvent> m_crossings;  // a heap, the next crossing in front
    std::vector<std::uint32_t> m_run;
    std::vector<std::uint32_t> m_shared;
    std::vector<std::uint32_t> m_block;
    std::unordered_set<std::uint64_t> m_scheduled;  // pairs whose crossing is on the list
    std::vector<std::pair<std::uint32_t, std::uint32_t>>* m_found;
    double m_limit;
};

}  // namespace

SweepAnswer SweepForCrossing(const Segments& segments) {
    ScaledEnds scaled;
    if (!Scale(segments, scaled)) return SweepAnswer::Undecided;
    const SweepAnswer first = Sweep(segments, scaled, false).Run();
    if (first != SweepAnswer::NoCrossing) return first;
    // The sweep with x and y exchanged is there for segments steeper than 45 degrees.
    for (std::size_t k = 0; k < segments.Size(); ++k) {
        const Point2d& p = scaled.start[k];
        const Point2d& q = scaled.end[k];
        if (std::fabs(q.y - p.y) > std::fabs(q.x - p.x)) {
            return Sweep(segments, scaled, true).Run();
        }
    }
    return SweepAnswer::NoCrossing;
}

bool ListExactCrossings(const Segments& segments, double limit,
                        std::vector<std::pair<std::uint32_t, std::uint32_t>>& found) {
    ScaledEnds scaled;
    if (!Scale(segments, scaled)) return false;
    return Sweep(segments, scaled, false, &found, limit).Run() == SweepAnswer::NoCrossing;
}

}  // namespace Vexlor::Dxf
