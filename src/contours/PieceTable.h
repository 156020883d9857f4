// The pieces of an import in order, the open pieces of two points among them (the commonest of a
// drawing: a LINE each) held flat, without a polyline or a vector of their own.
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

/// The pieces of an import in order. Each piece is one of:
/// - held flat: the open piece of the two points At(i), which has no polyline;
/// - a polyline of a list kept beside, number PolylineOf(i) there, the list holding the pieces
///   that are not flat in their order;
/// - emptied: a piece without points, which has no polyline either.
/// A flat piece behaves in every way as the open polyline of its two points would: it only takes
/// no allocation, and no pass over the pieces has to reach for its points elsewhere in memory.
class PieceTable {
public:
    /// The next piece is the next polyline of the list.
    void AddPolyline() {
        if (m_polylines >= kLast) throw std::bad_alloc();
        m_slots.push_back(kPolyline | m_polylines++);
    }
    /// The next piece is the open piece from `from` to `to`, held flat. Throws std::bad_alloc past
    /// 2^31 - 1 of them.
    void Add(const Point2d& from, const Point2d& to) {
        if (m_ends.size() >= kLast) throw std::bad_alloc();
        m_slots.push_back(static_cast<std::uint32_t>(m_ends.size()));
        m_ends.push_back({from, to});
    }
    /// Room for `pieces` pieces, any of them flat.
    void Reserve(std::size_t pieces) {
        m_slots.reserve(pieces);
        m_ends.reserve(pieces);
    }

    /// The number of pieces.
    std::size_t Size() const { return m_slots.size(); }
    /// Whether piece i is held flat.
    bool Holds(std::size_t piece) const { return m_slots[piece] < kPolyline; }
    /// Whether piece i is a polyline of the list.
    bool HasPolyline(std::size_t piece) const {
        return m_slots[piece] >= kPolyline && m_slots[piece] != kEmptied;
    }
    /// The two points of a piece held flat.
    const std::array<Point2d, 2>& At(std::size_t piece) const { return m_ends[m_slots[piece]]; }
    /// The place in the list of the polyline of a piece that has one.
    std::size_t PolylineOf(std::size_t piece) const { return m_slots[piece] & ~kPolyline; }

    /// Piece i has no points from here (a flat piece's two points are let go).
    void Empty(std::size_t piece) { m_slots[piece] = kEmptied; }
    /// Piece i is polyline `index` of the list from here.
    void SetPolyline(std::size_t piece, std::size_t index) {
        if (index >= kLast) throw std::bad_alloc();
        m_slots[piece] = kPolyline | static_cast<std::uint32_t>(index);
    }
    /// The points of a piece held flat, as a vector; the piece is emptied.
    std::vector<Point2d> Take(std::size_t piece) {
        const std::array<Point2d, 2>& ends = At(piece);
        std::vector<Point2d> points(ends.begin(), ends.end());
        Empty(piece);
        return points;
    }
    /// Piece `to` takes the place of piece `from` (as a list of pieces is compacted).
    void Move(std::size_t to, std::size_t from) { m_slots[to] = m_slots[from]; }
    /// The pieces were cut to `pieces`.
    void Resize(std::size_t pieces) {
        if (pieces < m_slots.size()) m_slots.resize(pieces);
    }
    /// No pieces any more; the room for them is given back.
    void Clear() {
        decltype(m_slots)().swap(m_slots);
        decltype(m_ends)().swap(m_ends);
        m_polylines = 0;
    }
    /// Calls `visit(point)` for both points of every piece held flat, in place.
    template <typename Visit>
    void ForEachPoint(Visit&& visit) {
        for (const std::uint32_t slot : m_slots) {
            if (slot >= kPolyline) continue;
            visit(m_ends[slot][0]);
            visit(m_ends[slot][1]);
        }
    }

private:
    static constexpr std::uint32_t kPolyline = 1u << 31;  // with the polyline's place below it
    static constexpr std::uint32_t kEmptied = ~std::uint32_t{0};
    static constexpr std::uint32_t kLast = kPolyline - 1;  // places stay below it
    // Per piece: its place in m_ends, kPolyline with its place in the list, or kEmptied.
    std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>> m_slots;
    // Filled one by one as a drawing is read, like the pieces beside them.
    std::vector<std::array<Point2d, 2>, LargeArrayAllocator<std::array<Point2d, 2>>> m_ends;
    std::uint32_t m_polylines = 0;  // added by AddPolyline
};

}  // namespace Vexlor::Dxf
