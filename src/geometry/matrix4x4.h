// The 4x4 placement matrix of the math library: sixteen values in memory order.
// SPDX-License-Identifier: MIT
#pragma once

namespace Vexlor::Math {

/// Sixteen values m[0] ... m[15] in memory order. The exporters map a vertex (x, y, z) to
/// (m0 x + m4 y + m8 z + m12, m1 x + m5 y + m9 z + m13, m2 x + m6 y + m10 z + m14).
template <typename T>
struct matrix4x4 {
    T m[16];

    /// The identity: m0 = m5 = m10 = m15 = 1, every other element 0.
    static matrix4x4 identity() {
        matrix4x4 result{};
        result.m[0] = T(1);
        result.m[5] = T(1);
        result.m[10] = T(1);
        result.m[15] = T(1);
        return result;
    }
};

}  // namespace Vexlor::Math
