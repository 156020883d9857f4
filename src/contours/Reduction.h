// Point reduction of the pieces of an import, and the removal of emptied pieces.
// SPDX-License-Identifier: MIT
#pragma once

#include <vector>  // std::vector

#include "contours/Geometry.h"

namespace Vexlor::Dxf {

/// Collapses every run of exactly equal consecutive points of `polyline` to its first point, in
/// place; in a closed polyline the last remaining point is compared with the first as well, and
/// when they are equal the first goes. A polyline without repeated points is only read.
void CollapseRepeatedPoints(Polyline2d& polyline);

/// `polylines` without those that have no points, the others in their order.
std::vector<Polyline2d> RemoveEmptyPolylines(std::vector<Polyline2d> polylines);

}  // namespace Vexlor::Dxf
