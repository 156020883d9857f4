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
void Compact(std::vector<Polyline2d>& polylines, std::vector<std::size_t>* origins,
             TwoPointPieces* twoPoint, std::size_t least,
             std::vector<DroppedPiece>* dropped = nullptr) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        const bool held = twoPoint && twoPoint->Holds(i);
        if (!held && polylines[i].points.size() < least) {
            if (dropped) dropped->push_back({i, !polylines[i].points.empty()});
            continue;
        }
        if (kept != i) {  // a vector moved onto itself would lose its points
            polylines[kept] = std::move(polylines[i]);
            if (origins) (*origins)[kept] = (*origins)[i];
            if (twoPoint) twoPoint->Move(kept, i);
        }
        ++kept;
    }
    polylines.resize(kept);
    if (origins) origins->resize(kept);
    if (twoPoint) twoPoint->Resize(kept);
}

}  // namespace

void FinishContours(std::vector<Polyline2d>& polylines, const FinishOptions& options,
                    std::vector<std::size_t>* origins, TwoPointPieces* twoPoint,
                    std::vector<DroppedPiece>* dropped) {
    const double squared = options.meet.squared;
    if (origins) {
        origins->resize(polylines.size());
        std::iota(origins->begin(), origins->end(), std::size_t{0});
    }
    for (std::size_t i = 0; i < polylines.size(); ++i) {
        FetchAhead(polylines, i);
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
    Compact(polylines, origins, twoPoint, 2, dropped);
    if (options.link) LinkOpenPolylines(polylines, options.meet, twoPoint);
    // The pieces of two points that are left stand on their own from here.
    if (twoPoint) twoPoint->Give(polylines);
    if (options.link) {
        for (std::size_t i = 0; i < polylines.size(); ++i) {
            FetchAhead(polylines, i);
            Polyline2d& polyline = polylines[i];
            // A contour whose ends meet is a ring.
            auto& points = polyline.points;
            if (options.closeRings && !polyline.closed && points.size() > 2 &&
                Meet(points.front(), points.back(), squared)) {
                points.pop_back();
                polyline.closed = true;
            }
        }
    }
    if (options.negateY) {
        for (Polyline2d& polyline : polylines) {
            for (Point2d& p : polyline.points) p.y = -p.y;
        }
    }
    // Pieces joined into another, or dropped as repeats, were left empty.
    Compact(polylines, origins, nullptr, 1);
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
