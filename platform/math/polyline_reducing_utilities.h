// Point removal over a polyline's point indices, from the SDK's math library.
// SPDX-License-Identifier: MIT
#pragma once

#include <cassert>  // assert
#include <cstddef>  // std::size_t
#include <cstdint>  // std::int32_t, std::uint64_t
#include <vector>   // std::vector

namespace Vexlor::Math::polyline_reducing_utilities {

/// A doubly linked list over the point indices 0 ... n-1 of one polyline. Right after
/// construction `first` is 0, `count` is n and next[i] is i + 1; in a closed polyline the last
/// point's `next` leads back to 0 (and point 0's `previous` to the last). Walking from `first`
/// along `next` for `count` steps visits the remaining points in their polyline order.
struct bidirectional_polyline_indexing {
    std::uint64_t first = 0;
    std::uint64_t count = 0;
    std::vector<std::int32_t> next;
    std::vector<std::int32_t> previous;

    bidirectional_polyline_indexing(std::size_t n, bool closed) : count(n), next(n), previous(n) {
        for (std::size_t i = 0; i < n; ++i) {
            next[i] = static_cast<std::int32_t>(i + 1);
            previous[i] = static_cast<std::int32_t>(i) - 1;
        }
        if (closed && n > 0) {
            next[n - 1] = 0;
            previous[0] = static_cast<std::int32_t>(n - 1);
        }
    }
};

/// Unlinks point `index`, which must still be in the list, and lowers `count` by one. When the
/// point is `first`, the point after it becomes `first`.
inline void remove_point(bidirectional_polyline_indexing& indexing, std::size_t index) {
    assert(index < indexing.next.size() && indexing.count > 0);
    const std::int32_t before = indexing.previous[index];
    const std::int32_t after = indexing.next[index];
    const auto size = static_cast<std::int32_t>(indexing.next.size());
    if (before >= 0) indexing.next[static_cast<std::size_t>(before)] = after;
    if (after >= 0 && after < size) indexing.previous[static_cast<std::size_t>(after)] = before;
    if (indexing.first == index) indexing.first = static_cast<std::uint64_t>(after);
    --indexing.count;
}

}  // namespace Vexlor::Math::polyline_reducing_utilities
