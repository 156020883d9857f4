// A polyline of the math library: its vertices in order and whether it closes on itself.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <vector>   // std::vector

#include "point.h"

namespace Vexlor::Math {

/// A polyline of points of N coordinates of type T.
template <typename T, std::size_t N>
struct polyline {
    /// The vertices, in order.
    std::vector<point<T, N>> points;
    /// True when the last vertex connects back to the first. The import starts every polyline
    /// it makes as closed; each entity reader then decides for its own.
    bool closed = true;
};

}  // namespace Vexlor::Math
