// Plain 2D and 3D points of the math library, as the import and export exchange them.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t

namespace Vexlor::Math {

/// A point of N coordinates of type T; only the 2D and 3D forms exist.
template <typename T, std::size_t N>
struct point;

/// A plain 2D point: `x`, then `y`. An aggregate, so `{x, y}` builds one.
template <typename T>
struct point<T, 2> {
    T x;
    T y;
};

/// A plain 3D point: `x`, `y`, then `z`.
template <typename T>
struct point<T, 3> {
    T x;
    T y;
    T z;
};

}  // namespace Vexlor::Math
