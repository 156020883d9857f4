// The finishing of an import's pieces into contours.
// SPDX-License-Identifier: MIT
#include "contours/Finishing.h"

#include <array>    // std::array
#include <numeric>  // std::iota
#include <utility>  // std::move

#include "contours/Linking.h"
#include "contours/Reduction.h"
#include "geometry/Prefetch.h"

namespace Vexlor::Dxf {

namespace {

// Moves the polylines of at least `least` points to the front, in their order, and cuts off the
// rest, which go to `dropped` when it is given; `origins` and the pieces of two points follow them.
// Empty `origins` stand for every polyline being where it was on entry, and stay so while none is
// cut off: most drawings lose no piece before linking, and linking leaves few.
// `settle(i)` is called for each polyline i kept, before it moves.
template <typename Settle>
void Compact(std::vector<Polyline2d>& polylines, std::vector<std::size_t>* origins,
             TwoPointPieces* twoPoint, std::size_t least, std::vector<DroppedPiece>* dropped,
             Settle&& settle) {
    const auto originOf = [&](std::size_t i) { return origins->empty() ? i : (*origins)[i]; };
    std::vector<std::size_t> keptOrigins;  // once one is cut off
    std::size_t kept = 0;
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const bool held = twoPoint && twoPoint->Holds(i);
        if (!held && polylines[i].points.size() < least) {
            if (dropped) dropped->push_back({i, !polylines[i].points.empty()});
            if (origins && kept == i) {  // the first cut: those before it stayed in place
                for (std::size_t k = 0; k < i; ++k) keptOrigins.push_back(originOf(k));
            }
            continue;
        }
        settle(i);
        if (kept != i) {  // a vector moved onto itself would lose its points
            polylines[kept] = std::move(polylines[i]);
            if (origins) keptOrigins.push_back(originOf(i));
            if (twoPoint) twoPoint->Move(kept, i);
        }
        ++kept;
    }
    if (origins && kept != polylines.size()) *origins = std::move(keptOrigins);
    polylines.resize(kept);
    if (twoPoint) twoPoint->Resize(kept);
}

}  // namespace

void FinishContours(std::vector<Polyline2d>& polylines, const FinishOptions& options,
                    std::vector<std::size_t>* origins, TwoPointPieces* twoPoint,
                    std::vector<DroppedPiece>* dropped) {
    const double squared = options.meet.squared;
    if (origins) origins->clear();  // each where it is, until pieces are cut off
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        // A piece held there leaves its polyline alone: the pass then reads only the points.
        if (twoPoint && twoPoint->Holds(i)) {
            // An open piece of two points: equal, they collapse to one, which is no curve.
            const std::array<Point2d, 2>& ends = twoPoint->At(i);
            if (Equal(ends[0], ends[1])) {
                const Point2d point = ends[0];
                twoPoint->Release(i);
                polylines[i].points.assign(1, point);
            }
            continue;
        }
        FetchAhead(polylines, i);
        Polyline2d& polyline = polylines[i];
        // A closed shape ends where it starts (a full turn, a closed spline): once, and its
        // first point stays first.
        while (options.closeRings && polyline.closed && polyline.points.size() > 1 &&
               Meet(polyline.points.front(), polyline.points.back(), squared)) {
            polyline.points.pop_back();
        }
        CollapseRepeatedPoints(polyline);
    }
    // Pieces of fewer than two points are no curves. The indices are still those on entry.
    Compact(polylines, origins, twoPoint, 2, dropped, [](std::size_t) {});
    if (options.link) LinkOpenPolylines(polylines, options.meet, twoPoint);
    // The pieces of two points that are left stand on their own from here.
    if (twoPoint) twoPoint->Give(polylines);
    // Pieces joined into another, or dropped as repeats, were left empty; the others are
    // settled in the same pass.
    const bool closing = options.link && options.closeRings;
    Compact(polylines, origins, nullptr, 1, nullptr, [&](std::size_t i) {
        FetchAhead(polylines, i);
        Polyline2d& polyline = polylines[i];
        auto& points = polyline.points;
        // A contour whose ends meet is a ring.
        if (closing && !polyline.closed && points.size() > 2 &&
            Meet(points.front(), points.back(), squared)) {
            points.pop_back();
            polyline.closed = true;
        }
        if (options.negateY) {
            for (Point2d& p : points) p.y = -p.y;
        }
    });
    if (origins && origins->empty()) {
        origins->resize(polylines.size());
        std::iota(origins->begin(), origins->end(), std::size_t{0});
    }
}

Box2d BoxOf(const std::vector<Polyline2d>& polylines) {
    Box2d box;
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        FetchAhead(polylines, i);
        box.Extend(polylines[i].points);
    }
    return box;
}

}  // namespace Vexlor::Dxf
