// Open pieces of two points, the commonest of a drawing (a LINE each), held beside a list of
// polylines without a vector of their own.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>    // std::array
#include <cstddef>  // std::size_t
#include <cstdint>  // std::uint32_t
#include <new>      // std::bad_alloc
#include <vector>   // std::vector

#include "contours/LargeArrayAllocator.h"
#include "geometry/Space.h"

namespace Vexlor::Dxf {

/// Polyline i of the list these pieces go with stands for the open piece of the two points At(i)
/// while Holds(i); its own points are then empty and it is open. Such a piece behaves in every
/// way as the polyline of those two points would: it only takes no allocation, and no pass over
/// the pieces has to reach for its points elsewhere in memory. Give(polylines) turns them into
/// polylines of their own.
class TwoPointPieces {
public:
    /// The next polyline of the list stands for itself.
    void AddNone() { m_slots.push_back(kNone); }
    /// The next polyline of the list (its points left empty, open) stands for the piece from
    /// `from` to `to`. Throws std::bad_alloc past 2^32 - 1 of them.
    void Add(const Point2d& from, const Point2d& to) {
        if (m_ends.size() >= kNone) throw std::bad_alloc();
        m_slots.push_back(static_cast<std::uint32_t>(m_ends.size()));
        m_ends.push_back({from, to});
    }
    /// Room for `pieces` polylines, any of them held.
    void Reserve(std::size_t pieces) {
        m_slots.reserve(pieces);
        m_ends.reserve(pieces);
    }

    bool Holds(std::size_t piece) const {
        return piece < m_slots.size() && m_slots[piece] != kNone;
    }
    /// Its two points, of a piece held.
    const std::array<Point2d, 2>& At(std::size_t piece) const { return m_ends[m_slots[piece]]; }
    std::array<Point2d, 2>& At(std::size_t piece) { return m_ends[m_slots[piece]]; }
    /// The piece is no longer held: its polyline stands for itself.
    void Release(std::size_t piece) {
        if (piece < m_slots.size()) m_slots[piece] = kNone;
    }
    /// The points of a piece held, as a vector; it is released.
    std::vector<Point2d> Take(std::size_t piece) {
        const std::array<Point2d, 2>& ends = At(piece);
        std::vector<Point2d> points(ends.begin(), ends.end());
        Release(piece);
        return points;
    }
    /// Polyline `to` takes the place of polyline `from` (as a list is compacted).
    void Move(std::size_t to, std::size_t from) {
        if (to < m_slots.size()) m_slots[to] = from < m_slots.size() ? m_slots[from] : kNone;
    }
    /// The list was cut to `pieces`.
    void Resize(std::size_t pieces) {
        if (pieces < m_slots.size()) m_slots.resize(pieces);
    }
    /// Every piece still held gets its two points in its own polyline of `polylines`, in place;
    /// none is held after.
    void Give(std::vector<Polyline2d>& polylines) {
        for (std::size_t i = 0; i < m_slots.size() && i < polylines.size(); ++i) {
            if (m_slots[i] != kNone) polylines[i].points = Take(i);
        }
        m_slots.clear();
        m_ends.clear();
    }
    /// Calls `visit(point)` for both points of every piece held, in place.
    template <typename Visit>
    void ForEachPoint(Visit&& visit) {
        for (std::size_t i = 0; i < m_slots.size(); ++i) {
            if (m_slots[i] == kNone) continue;
            visit(m_ends[m_slots[i]][0]);
            visit(m_ends[m_slots[i]][1]);
        }
    }

private:
    static constexpr std::uint32_t kNone = ~std::uint32_t{0};
    // Per polyline: its place in m_ends, or kNone.
    std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>> m_slots;
    // Filled one by one as a drawing is read, like the polylines beside them.
    std::vector<std::array<Point2d, 2>, LargeArrayAllocator<std::array<Point2d, 2>>> m_ends;
};

}  // namespace Vexlor::Dxf
