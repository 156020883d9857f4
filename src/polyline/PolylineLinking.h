// Contour post-processing of the import: point reduction, end-to-end linking, crossing test.
// SPDX-License-Identifier: MIT
#pragma once

#include <vector>  // std::vector

#include "polyline.h"

namespace Vexlor::Dxf {

using Polyline2d = Vexlor::Math::polyline<double, 2>;

/// Two points meet when their squared distance is below this: they are less than 0.0001 apart.
constexpr double kMeetDistanceSquared = 1e-8;

/// `polyline` with every run of exactly equal consecutive points collapsed to its first point;
/// in a closed polyline the last point is also compared with the first. Keeps the flag.
Polyline2d RemoveDuplicatePoints(const Polyline2d& polyline);

/// Changes `polyline` in place into what `RemoveDuplicatePoints` returns for it, without the
/// index list and without a copy; a polyline without repeated points is only read.
void CollapseRepeatedPoints(Polyline2d& polyline);

/// `polylines` without those that have no points, the others in their order.
std::vector<Polyline2d> RemoveEmptyPolylines(std::vector<Polyline2d> polylines);

/// Joins open polylines whose end points meet, one join per scan from the start, until a scan
/// finds nothing; a piece that duplicates the one it meets is dropped instead. Joined or
/// dropped pieces are left empty in place, so every index keeps its polyline. Closed and empty
/// polylines take no part. This is the straightforward form, whose work grows with the cube of
/// the number of open pieces.
void LinkOpenPolylines(std::vector<Polyline2d>& polylines);

/// The same joins as `LinkOpenPolylines`, in the same order and with the same result, found
/// through a spatial index over the end points instead of rescans: near-linear in the number of
/// pieces and points for ordinary drawings.
void LinkOpenPolylinesIndexed(std::vector<Polyline2d>& polylines);

/// True when a segment of `first` properly crosses a segment of `second`: both end points of
/// each segment lie strictly on opposite sides of the other's line. Touching, collinear
/// overlap and end points on the other segment are not crossings.
bool PolylinesCross(const Polyline2d& first, const Polyline2d& second);

/// True when two different polylines of `polylines` cross, trying the pairs (0, 1), (0, 2), ...,
/// (1, 2), ... in order. A polyline is never tested against itself.
bool AnyPolylinesCross(const std::vector<Polyline2d>& polylines);

/// The same answer as `AnyPolylinesCross`, testing only pairs of segments whose boxes can
/// overlap: polylines whose box meets no other polyline's box are passed over, and the segments
/// of the others are bucketed in a uniform grid (or swept by x when the grid would be too full).
bool AnyPolylinesCrossSweep(const std::vector<Polyline2d>& polylines);

}  // namespace Vexlor::Dxf
