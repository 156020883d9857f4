// Closed contours nested by containment, their areas and turns, and contours drawn twice.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "VexlorDxfContours.h"
#include "contours/Geometry.h"

namespace Vexlor::Dxf {

/// The signed area of the closed ring through the points of `polyline` (shoelace, taken about
/// its first point): positive when they turn counter-clockwise with y up; 0 below three points.
double SignedArea(const Polyline2d& polyline);

/// Each polyline's parent, depth and signed area. Closed polylines of finite points are nested
/// by one sweep over x in n log n: a contour's parent is decided at its lowest point of least x
/// (its first point in the sweep), from the nearest segment of an earlier contour above the
/// contour's upper edge there (segments of slope ordered by their height, then their slope,
/// just right of that x): inside that segment's contour when its interior lies below the
/// segment (by the contour's turn), beside it (same parent) otherwise. Where no contour crosses
/// another or itself, that is containment; elsewhere it is the rule. Open polylines, and closed
/// ones with a point that is not finite, get no parent and depth 0 (and area 0 when open), as
/// do those that `leaveOut` (when given) marks, which are not looked at either.
std::vector<ContourNesting> NestContours(const std::vector<Polyline2d>& polylines,
                                         const std::vector<bool>* leaveOut = nullptr);

/// The regions of a nesting: each closed polyline of even depth with its children, leaving out
/// those that `leaveOut` (when given) marks.
std::vector<ContourRegion> RegionsOf(const std::vector<Polyline2d>& polylines,
                                     const std::vector<ContourNesting>& nesting,
                                     const std::vector<bool>* leaveOut = nullptr);

/// Reverses the points after the first of outlines that turn clockwise and of holes that turn
/// counter-clockwise, and negates their areas in `nesting`.
void Orient(std::vector<Polyline2d>& polylines, std::vector<ContourNesting>& nesting);

/// The groups of polylines with the same points (equal coordinates), in either direction and,
/// closed, from any start, of equal closedness: the first of each group and the later ones.
std::vector<ContourDuplicate> FindDuplicates(const std::vector<Polyline2d>& polylines);

}  // namespace Vexlor::Dxf
