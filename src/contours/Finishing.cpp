// The finishing of an import's pieces into contours.
// SPDX-License-Identifier: MIT
#include "contours/Finishing.h"

#include <array>    // std::array
#include <utility>  // std::move

#include "contours/Linking.h"
#include "contours/Reduction.h"
#include "geometry/Prefetch.h"

namespace Vexlor::Dxf {

namespace {

// Where piece i was on entry. Empty `origins` stand for every piece being where it was, and stay
// so while none is cut off: most drawings lose no piece before linking.
std::size_t OriginOf(const std::vector<std::size_t>& origins, std::size_t i) {
    return origins.empty() ? i : origins[i];
}

// Cuts off the pieces of fewer than two points, which go to `dropped` when it is given (a flat
// piece of two equal points has one); the others move to the front in their order, their
// origins with them. Only the pieces' places move: their polylines stay where they are.
void CutDegenerate(PieceTable& pieces, const std::vector<Polyline2d>& polylines,
                   std::vector<std::size_t>* origins, std::vector<DroppedPiece>* dropped) {
    std::vector<std::size_t> keptOrigins;  // once one is cut off
    const std::size_t count = pieces.Size();
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t points = 2;
        if (pieces.Holds(i)) {
            const std::array<Point2d, 2>& ends = pieces.At(i);
            if (Equal(ends[0], ends[1])) points = 1;
        } else {
            points = pieces.HasPolyline(i) ? polylines[pieces.PolylineOf(i)].points.size() : 0;
        }
        if (points < 2) {
            if (dropped) dropped->push_back({i, points > 0});
            if (origins && kept == i) {  // the first cut: those before it stayed in place
                for (std::size_t k = 0; k < i; ++k) keptOrigins.push_back(OriginOf(*origins, k));
            }
            continue;
        }
        if (kept != i) {
            pieces.Move(kept, i);
            if (origins) keptOrigins.push_back(OriginOf(*origins, i));
        }
        ++kept;
    }
    if (origins && kept != count) *origins = std::move(keptOrigins);
    pieces.Resize(kept);
}

// The pieces left with any point, in their order, each as a polyline of its own, settled by
// `settle(polyline)` as it comes; `origins` become theirs.
template <typename Settle>
std::vector<Polyline2d> Gather(const PieceTable& pieces, std::vector<Polyline2d>& polylines,
                               std::vector<std::size_t>* origins, Settle&& settle) {
    // Room for every piece, most of it never touched where linking leaves few: the contours are
    // moved once rather than again at each growth.
    std::vector<Polyline2d> contours;
    contours.reserve(pieces.Size());
    std::vector<std::size_t> contourOrigins;
    if (origins) contourOrigins.reserve(pieces.Size());
    for (std::size_t i = 0; i < pieces.Size(); ++i) {
        if (pieces.Holds(i)) {
            const std::array<Point2d, 2>& ends = pieces.At(i);
            contours.push_back({{ends[0], ends[1]}, false});
        } else if (pieces.HasPolyline(i) && !polylines[pieces.PolylineOf(i)].points.empty()) {
            FetchAhead(polylines, pieces.PolylineOf(i));
            contours.push_back(std::move(polylines[pieces.PolylineOf(i)]));
        } else {
            continue;  // joined into another, dropped as a repeat, or hidden
        }
        settle(contours.back());
        if (origins) contourOrigins.push_back(OriginOf(*origins, i));
    }
    if (origins) *origins = std::move(contourOrigins);
    return contours;
}

}  // namespace

void FinishContours(std::vector<Polyline2d>& polylines, const FinishOptions& options,
                    std::vector<std::size_t>* origins, PieceTable* table,
                    std::vector<DroppedPiece>* dropped) {
    const double squared = options.meet.squared;
    // Without pieces held flat, each piece is the polyline in its own place.
    PieceTable own;
    if (!table) {
        own.Reserve(polylines.size());
        for (std::size_t i = 0; i < polylines.size(); ++i) own.AddPolyline();
        table = &own;
    }
    PieceTable& pieces = *table;
    if (origins) origins->clear();  // each where it is, until pieces are cut off
    // The polylines in the order of their pieces; flat pieces have nothing to reduce.
    for (std::size_t k = 0; k < polylines.size(); ++k) {
        FetchAhead(polylines, k);
        Polyline2d& polyline = polylines[k];
        // A closed shape ends where it starts (a full turn, a closed spline): once, and its
        // first point stays first.
        while (options.closeRings && polyline.closed && polyline.points.size() > 1 &&
               Meet(polyline.points.front(), polyline.points.back(), squared)) {
            polyline.points.pop_back();
        }
        CollapseRepeatedPoints(polyline);
    }
    // Pieces of fewer than two points are no curves. The indices are still those on entry.
    CutDegenerate(pieces, polylines, origins, dropped);
    if (options.link) LinkOpenPolylines(polylines, options.meet, &pieces);
    const bool closing = options.link && options.closeRings;
    polylines = Gather(pieces, polylines, origins, [&](Polyline2d& polyline) {
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
    pieces.Clear();
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
