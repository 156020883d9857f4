// The contour rules in their straightforward form, as oracles for the engine: point reduction
// through an index list, linking by rescanning from the start after every change, and the
// crossing test over every pair of polylines.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::reverse
#include <vector>     // std::vector

#include "contours/Crossing.h"
#include "contours/Geometry.h"
#include "polyline_reducing_utilities.h"

namespace VexlorDxfTest {

using Vexlor::Dxf::Point2d;
using Vexlor::Dxf::Polyline2d;

/// Runs of equal consecutive points collapse to their first point; in a closed polyline the last
/// remaining point is compared with the first as well.
inline Polyline2d ReduceByIndexList(const Polyline2d& polyline) {
    namespace reducing = Vexlor::Math::polyline_reducing_utilities;
    const auto& p = polyline.points;
    if (p.size() < 2) return polyline;
    reducing::bidirectional_polyline_indexing list(p.size(), polyline.closed);
    std::size_t cursor = list.first;
    for (std::size_t k = polyline.closed ? list.count : list.count - 1; k > 0; --k) {
        const auto next = static_cast<std::size_t>(list.next[cursor]);
        if (Vexlor::Dxf::Equal(p[cursor], p[next])) {
            reducing::remove_point(list, next);
        } else {
            cursor = next;
        }
    }
    Polyline2d result{{}, polyline.closed};
    for (std::size_t k = 0, at = list.first; k < list.count; ++k, at = list.next[at]) {
        result.points.push_back(p[at]);
    }
    return result;
}

/// Joins open pieces one pair at a time, each scan from the start: the first pair (i < j) whose
/// ends meet, front-front, back-front, front-back, back-back in that order, is joined into A, or
/// B is dropped when it repeats A read from the matched ends; B is left empty in place.
inline void LinkByRescanning(std::vector<Polyline2d>& pieces,
                             double squared = Vexlor::Dxf::kMeetDistanceSquared) {
    using namespace Vexlor::Dxf;
    const auto open = [](const Polyline2d& p) { return !p.closed && !p.points.empty(); };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t i = 0; i < pieces.size() && !changed; ++i) {
            for (std::size_t j = i + 1; j < pieces.size() && !changed && open(pieces[i]); ++j) {
                auto &a = pieces[i].points, &b = pieces[j].points;
                if (!open(pieces[j])) continue;
                const std::size_t m = a.size(), n = b.size();
                const auto pair = MatchEnds(a[0], a[m - 1], b[0], b[n - 1], squared);
                if (pair == EndPair::None) continue;
                const bool aFront = StartsAtFront(pair, true);
                const bool bFront = StartsAtFront(pair, false);
                bool duplicate = true;
                for (std::size_t k = 0; k < m && duplicate; ++k) {
                    duplicate =
                        Equal(a[((aFront ? 0 : m - 1) + k) % m], b[((bFront ? 0 : n - 1) + k) % n]);
                }
                // B without its matched end, turned so that it runs away from the joint.
                std::vector<Point2d> rest(b.begin() + (bFront ? 1 : 0), b.end() - (bFront ? 0 : 1));
                if (bFront == aFront) std::reverse(rest.begin(), rest.end());
                if (!duplicate && aFront) rest.insert(rest.end(), a.begin(), a.end());
                if (!duplicate && !aFront) a.insert(a.end(), rest.begin(), rest.end());
                if (!duplicate && aFront) a = rest;
                b.clear();
                changed = true;
            }
        }
    }
}

/// Whether two different polylines cross, trying every pair in order.
inline bool AnyCrossPairwise(const std::vector<Polyline2d>& polylines) {
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        for (std::size_t j = i + 1; j < polylines.size(); ++j) {
            if (Vexlor::Dxf::PolylinesCross(polylines[i], polylines[j])) return true;
        }
    }
    return false;
}

}  // namespace VexlorDxfTest
