// End-to-end linking of the open pieces of an import into contours.
// SPDX-License-Identifier: MIT
#pragma once

#include <vector>  // std::vector

#include "contours/Geometry.h"
#include "contours/PieceTable.h"

namespace Vexlor::Dxf {

/// Joins open polylines whose end points meet, end to end: the lowest pair (i < j) that meets is
/// joined into i, or j is dropped when it repeats i from the matched ends, and so on until no
/// pair meets, exactly as rescanning from the start after every join would. Joined or dropped
/// pieces are left empty in place, so that every index keeps its polyline; closed and empty
/// polylines take no part. A spatial index over the end points keeps the work near-linear in
/// the number of pieces and points. Throws std::bad_alloc for 2^29 pieces or more, beyond what
/// the index addresses (such a drawing would take more than 32 GiB before linking). Ends meet
/// when they are less than `meet` apart, by default the polyline reader's 0.0001. When `table`
/// is given, the pieces are those it lists, the ones not held flat being the polylines of
/// `polylines` (see PieceTable): flat pieces take part as their open polylines would, one
/// that joins another or is dropped is emptied, and one that takes others in gets a polyline
/// made for it at the end of `polylines`.
void LinkOpenPolylines(std::vector<Polyline2d>& polylines, const MeetDistance& meet = {},
                       PieceTable* table = nullptr);

}  // namespace Vexlor::Dxf
