// The crossing test of the contours of an import.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "contours/Geometry.h"

namespace Vexlor::Dxf {

/// True when a segment of `first` properly crosses a segment of `second`: both end points of
/// each segment lie strictly on opposite sides of the other's line, by the rounded products of
/// SegmentsCross. Touching, collinear overlap and end points on the other segment are not
/// crossings.
bool PolylinesCross(const Polyline2d& first, const Polyline2d& second);

/// True when two different polylines of `polylines` cross; a polyline is never tested against
/// itself. The answer is that of PolylinesCross over every pair, found by testing only pairs of
/// segments that can cross: polylines whose box meets no other polyline's box are passed over,
/// and the segments of the others are bucketed in a uniform grid, or, where long segments fill
/// it or too many crowd a cell, swept in x in their order in y (CrossingSweep.h); only what
/// that sweep cannot decide goes to a sweep over x that tests pairs overlapping in x. Throws
/// std::bad_alloc for 2^31 segments or more, beyond what its indices address (such a drawing
/// would take more than 32 GiB). `box`, when given, receives BoxOf(polylines), taken in the same
/// pass over the points.
bool AnyPolylinesCross(const std::vector<Polyline2d>& polylines, Box2d* box = nullptr);

/// The pairs of polylines (a polyline with itself too) that cross exactly: two of their
/// segments meet at a single point inside both. Each pair once, with that point; the pairs in
/// the order the sweep finds them.
struct CrossingReport {
    std::vector<ContourCrossing> crossings;  ///< at most `cap`
    std::size_t count = 0;                   ///< the pairs found, beyond `cap` too
    bool complete = true;
};

/// Locates the crossings of `polylines` with the sweep of the crossing test, which turns the
/// order of segments at each crossing (CrossingSweep.h): in time (n + k) log n for n segments
/// and k crossings of segments, where k is held to 4 n + 16 `cap`; beyond that, or when the
/// coordinates span too much for its exact comparisons, `complete` is false and the count a
/// lower bound. Throws std::bad_alloc for 2^31 segments or more, as AnyPolylinesCross.
CrossingReport LocateCrossings(const std::vector<Polyline2d>& polylines, std::size_t cap);

}  // namespace Vexlor::Dxf
