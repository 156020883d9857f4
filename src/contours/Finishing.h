// The finishing of an import's pieces into contours, which both importers share: repeated points
// go, degenerate pieces go, open pieces join end to end, rings close, emptied pieces go; then the
// box of what is left.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "contours/Geometry.h"
#include "contours/PieceTable.h"

namespace Vexlor::Dxf {

struct FinishOptions {
    /// How close end points must come to join, and a ring's ends to close it.
    MeetDistance meet;
    /// Whether open pieces whose ends meet are joined.
    bool link = true;
    /// Whether a closed piece loses the end points that meet its first point (a full turn drawn
    /// back to its start), and a joined contour whose ends meet becomes closed without repeating
    /// its first point.
    bool closeRings = false;
    /// Whether y is negated once the contours are made.
    bool negateY = false;
};

/// A piece that finishing dropped as no curve (fewer than two points once reduced): its index on
/// entry, and whether it had any point.
struct DroppedPiece {
    std::size_t index;
    bool hadPoints;
};

/// Finishes the pieces of an import into contours, in this order: in each polyline, with
/// closeRings, the last points that meet the first go while more than one point is left; runs of
/// equal points collapse (CollapseRepeatedPoints); pieces of fewer than two points go; with link,
/// open pieces join (LinkOpenPolylines); with closeRings, an open contour of more than two points
/// whose ends meet drops its last point and is closed; with negateY, y is negated; pieces left
/// empty by joining go. The others keep their order. The pieces are `polylines`, one each, or
/// when `table` is given, the pieces it lists, some held flat and the others naming their
/// polylines in `polylines` (see PieceTable). On return `polylines` holds the contours, each
/// with its own points, and `table` no piece. `origins`, when given, receives for each contour
/// the index its piece had on entry. `dropped`, when given, receives the pieces dropped as no
/// curve, in no particular order.
void FinishContours(std::vector<Polyline2d>& polylines, const FinishOptions& options,
                    std::vector<std::size_t>* origins = nullptr, PieceTable* table = nullptr,
                    std::vector<DroppedPiece>* dropped = nullptr);

/// The box of every point of `polylines`.
Box2d BoxOf(const std::vector<Polyline2d>& polylines);

}  // namespace Vexlor::Dxf
