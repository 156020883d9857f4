// The contours' types, and the point and segment predicates that linking and the crossing test
// share.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::min, std::max
#include <cstddef>    // std::size_t

#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// Two points meet when their squared distance is below this: they are less than 0.0001 apart.
constexpr double kMeetDistanceSquared = 1e-8;

/// How close end points must come to join: less than `distance` apart, which is decided by
/// comparing the squared distance with `squared`. The default is the polyline reader's 0.0001,
/// compared with 1e-8 exactly (0.0001 squared in double is a little more).
struct MeetDistance {
    double distance = 1e-4;
    double squared = kMeetDistanceSquared;

    /// The distance `distance` (positive and finite); 0.0001 gives the default exactly.
    static MeetDistance Of(double distance) {
        return distance == 1e-4 ? MeetDistance{} : MeetDistance{distance, distance * distance};
    }
};

/// Two points meet when their squared distance is below `squared` (by default: they are less
/// than 0.0001 apart); a NaN or infinite coordinate meets nothing.
inline bool Meet(const Point2d& p, const Point2d& q, double squared = kMeetDistanceSquared) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    return dx * dx + dy * dy < squared;
}

/// Exact equality; a NaN coordinate is equal to nothing.
inline bool Equal(const Point2d& p, const Point2d& q) { return p.x == q.x && p.y == q.y; }

/// Which ends of two open pieces A and B meet, by the first test that holds in this order.
enum class EndPair { None, FrontToFront, BackToFront, FrontToBack, BackToBack };

inline EndPair MatchEnds(const Point2d& aFront, const Point2d& aBack, const Point2d& bFront,
                         const Point2d& bBack, double squared = kMeetDistanceSquared) {
    if (Meet(aFront, bFront, squared)) return EndPair::FrontToFront;
    if (Meet(aBack, bFront, squared)) return EndPair::BackToFront;
    if (Meet(aFront, bBack, squared)) return EndPair::FrontToBack;
    if (Meet(aBack, bBack, squared)) return EndPair::BackToBack;
    return EndPair::None;
}

/// Whether the matched end of A (`ofA` true) or of B is its front.
inline bool StartsAtFront(EndPair pair, bool ofA) {
    if (ofA) return pair == EndPair::FrontToFront || pair == EndPair::FrontToBack;
    return pair == EndPair::FrontToFront || pair == EndPair::BackToFront;
}

/// The line through p1 and p2; `Side(q)` is evaluated in exactly this order, since the
/// crossing test compares its signs exactly.
struct Line {
    double a;
    double b;
    double c;
    Line(const Point2d& p1, const Point2d& p2)
        : a(p2.y - p1.y), b(p1.x - p2.x), c((-p1.y) * b - p1.x * a) {}
    double Side(const Point2d& q) const { return (q.y * b + q.x * a) + c; }
};

/// True when segment p1-p2 properly crosses segment q1-q2; p1-p2 belongs to the polyline that
/// comes first in the vector.
inline bool SegmentsCross(const Point2d& p1, const Point2d& p2, const Point2d& q1,
                          const Point2d& q2) {
    // Boxes that only touch are not rejected; a NaN passes here and fails the side tests.
    if (std::min(q1.x, q2.x) > std::max(p1.x, p2.x)) return false;
    if (std::min(p1.x, p2.x) > std::max(q1.x, q2.x)) return false;
    if (std::min(q1.y, q2.y) > std::max(p1.y, p2.y)) return false;
    if (std::min(p1.y, p2.y) > std::max(q1.y, q2.y)) return false;
    // Strict signs, no tolerance: an end point exactly on the other line is no crossing.
    const Line lineP(p1, p2);
    if (!(lineP.Side(q1) * lineP.Side(q2) < 0)) return false;
    const Line lineQ(q1, q2);
    return lineQ.Side(p2) * lineQ.Side(p1) < 0;
}

/// Number of segments: one per pair of neighbours, and one more back to the start when closed.
inline std::size_t SegmentCount(const Polyline2d& polyline) {
    const std::size_t k = polyline.points.size();
    if (k == 0) return 0;
    return polyline.closed ? k : k - 1;
}

/// The end point of segment `s`: the next point, or the first for the closing segment.
inline const Point2d& SegmentEnd(const Polyline2d& polyline, std::size_t s) {
    const std::size_t next = s + 1;
    return polyline.points[next == polyline.points.size() ? 0 : next];
}

}  // namespace Vexlor::Dxf
