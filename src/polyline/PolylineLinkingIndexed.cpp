// End-to-end linking through a hash grid over the end points, with the joins of the rescanning
// form in the same order.
// SPDX-License-Identifier: MIT
#include <cmath>          // std::floor, std::isfinite
#include <cstdint>        // std::int64_t, std::uint64_t
#include <deque>          // std::deque
#include <limits>         // std::numeric_limits
#include <optional>       // std::optional
#include <unordered_map>  // std::unordered_map
#include <utility>        // std::move, std::swap
#include <vector>         // std::vector

#include "polyline/PolylineGeometry.h"
#include "polyline/PolylineLinking.h"

namespace Vexlor::Dxf {

namespace {

// Points that meet lie less than 0.0001 apart, so they fall into the same or neighbouring
// cells of this size (twice the distance, to leave room for rounding).
constexpr double kCellSize = 2e-4;
// Cell coordinates are clamped here; beyond it points that meet are equal anyway.
constexpr double kCellLimit = 4.0e18;

struct CellKey {
    std::int64_t x;
    std::int64_t y;
    bool operator==(const CellKey& other) const { return x == other.x && y == other.y; }
};

struct CellKeyHash {
    std::size_t operator()(const CellKey& key) const {
        const auto hx = static_cast<std::uint64_t>(key.x) * 0x9E3779B97F4A7C15ull;
        const auto hy = static_cast<std::uint64_t>(key.y) * 0xC2B2AE3D27D4EB4Full;
        return static_cast<std::size_t>(hx ^ (hy >> 17) ^ (hy << 47));
    }
};

inline std::int64_t CellCoordinate(double value) {
    double cell = std::floor(value / kCellSize);
    if (cell > kCellLimit) cell = kCellLimit;
    if (cell < -kCellLimit) cell = -kCellLimit;
    return static_cast<std::int64_t>(cell);
}

// A point with a NaN or infinite coordinate meets no point, so it never enters the grid.
inline bool CanMeet(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

inline CellKey CellOf(const Point2d& p) { return {CellCoordinate(p.x), CellCoordinate(p.y)}; }

// A piece while it is being linked: a double-ended sequence that can also be read backwards,
// so that joining costs the length of the shorter piece.
class Chain {
public:
    explicit Chain(std::vector<Point2d>&& points) : m_points(points.begin(), points.end()) {
        points.clear();
        points.shrink_to_fit();
    }
    std::size_t Size() const { return m_points.size(); }
    const Point2d& At(std::size_t k) const {
        return m_reversed ? m_points[m_points.size() - 1 - k] : m_points[k];
    }
    const Point2d& Front() const { return At(0); }
    const Point2d& Back() const { return At(Size() - 1); }
    void PushFront(const Point2d& p) {
        if (m_reversed)
            m_points.push_back(p);
        else
            m_points.push_front(p);
    }
    void PushBack(const Point2d& p) {
        if (m_reversed)
            m_points.push_front(p);
        else
            m_points.push_back(p);
    }
    void PopFront() {
        if (m_reversed)
            m_points.pop_back();
        else
            m_points.pop_front();
    }
    void PopBack() {
        if (m_reversed)
            m_points.pop_front();
        else
            m_points.pop_back();
    }
    void Reverse() { m_reversed = !m_reversed; }
    std::vector<Point2d> TakePoints() {
        std::vector<Point2d> points;
        points.reserve(Size());
        for (std::size_t k = 0; k < Size(); ++k) points.push_back(At(k));
        m_points.clear();
        return points;
    }

private:
    std::deque<Point2d> m_points;
    bool m_reversed = false;
};

struct EndEntry {
    std::size_t polyline;
    bool back;
};

class Linker {
public:
    explicit Linker(std::vector<Polyline2d>& polylines)
        : m_polylines(polylines), m_chains(polylines.size()) {}

    void Run() {
        for (std::size_t i = 0; i < m_polylines.size(); ++i) {
            if (Takes(i)) Register(i);
        }
        // A rescan from the start would find the lowest pair (i, j) that meets. Invariant: no
        // pair (x, y) with x < current meets. A join leaves the piece that takes over with
        // ends that were ends of its two pieces before, so no earlier piece can newly meet
        // it: the next lowest pair starts at `current` or later.
        std::size_t current = 0;
        while (current < m_polylines.size()) {
            if (!Takes(current)) {
                ++current;
                continue;
            }
            const std::optional<std::size_t> partner = LowestPartnerAfter(current);
            if (!partner) {
                ++current;
                continue;
            }
            Link(current, *partner);
        }
        for (std::size_t i = 0; i < m_chains.size(); ++i) {
            if (m_chains[i]) m_polylines[i].points = m_chains[i]->TakePoints();
        }
    }

private:
    bool Takes(std::size_t i) const { return !m_polylines[i].closed && Size(i) > 0; }

    std::size_t Size(std::size_t i) const {
        return m_chains[i] ? m_chains[i]->Size() : m_polylines[i].points.size();
    }
    const Point2d& At(std::size_t i, std::size_t k) const {
        return m_chains[i] ? m_chains[i]->At(k) : m_polylines[i].points[k];
    }
    const Point2d& Front(std::size_t i) const { return At(i, 0); }
    const Point2d& Back(std::size_t i) const { return At(i, Size(i) - 1); }

    Chain& ChainOf(std::size_t i) {
        if (!m_chains[i]) m_chains[i].emplace(std::move(m_polylines[i].points));
        return *m_chains[i];
    }

    void AddEnd(const Point2d& p, EndEntry entry) {
        if (CanMeet(p)) m_grid[CellOf(p)].push_back(entry);
    }
    void RemoveEnd(const Point2d& p, EndEntry entry) {
        if (!CanMeet(p)) return;
        const auto cell = m_grid.find(CellOf(p));
        if (cell == m_grid.end()) return;
        std::vector<EndEntry>& entries = cell->second;
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (entries[k].polyline == entry.polyline && entries[k].back == entry.back) {
                entries[k] = entries.back();
                entries.pop_back();
                break;
            }
        }
        if (entries.empty()) m_grid.erase(cell);
    }
    void Register(std::size_t i) {
        AddEnd(Front(i), {i, false});
        AddEnd(Back(i), {i, true});
    }
    void Unregister(std::size_t i) {
        RemoveEnd(Front(i), {i, false});
        RemoveEnd(Back(i), {i, true});
    }

    // The lowest piece after i with an end that meets an end of piece i.
    std::optional<std::size_t> LowestPartnerAfter(std::size_t i) const {
        std::optional<std::size_t> lowest;
        for (const Point2d& end : {Front(i), Back(i)}) {
            if (!CanMeet(end)) continue;
            const CellKey center = CellOf(end);
            for (std::int64_t dx = -1; dx <= 1; ++dx) {
                for (std::int64_t dy = -1; dy <= 1; ++dy) {
                    const auto cell = m_grid.find(CellKey{center.x + dx, center.y + dy});
                    if (cell == m_grid.end()) continue;
                    for (const EndEntry& entry : cell->second) {
                        const std::size_t other = entry.polyline;
                        if (other <= i || (lowest && other >= *lowest)) continue;
                        const Point2d& otherEnd = entry.back ? Back(other) : Front(other);
                        if (Meet(end, otherEnd)) lowest = other;
                    }
                }
            }
        }
        return lowest;
    }

    bool IsDuplicate(std::size_t a, std::size_t aStart, std::size_t b, std::size_t bStart) const {
        const std::size_t m = Size(a);
        const std::size_t n = Size(b);
        for (std::size_t k = 0; k < m; ++k) {
            if (!Equal(At(a, (aStart + k) % m), At(b, (bStart + k) % n))) return false;
        }
        return true;
    }

    // Joins piece b into piece a (a < b) as the rescanning form does, or drops b when it
    // duplicates a.
    void Link(std::size_t a, std::size_t b) {
        const std::size_t m = Size(a);
        const std::size_t n = Size(b);
        const EndPair pair = MatchEnds(Front(a), Back(a), Front(b), Back(b));
        const std::size_t aStart = StartsAtFront(pair, true) ? 0 : m - 1;
        const std::size_t bStart = StartsAtFront(pair, false) ? 0 : n - 1;
        const bool duplicate = IsDuplicate(a, aStart, b, bStart);
        Unregister(b);
        if (duplicate) {
            m_chains[b].reset();
            m_polylines[b].points.clear();
            return;
        }
        Unregister(a);
        Chain& chainA = ChainOf(a);
        Chain& chainB = ChainOf(b);
        // The longer piece keeps its storage; the shorter one's points move over.
        if (m >= n) {
            switch (pair) {
                case EndPair::FrontToFront:
                    for (std::size_t k = 1; k < n; ++k) chainA.PushFront(chainB.At(k));
                    break;
                case EndPair::BackToFront:
                    for (std::size_t k = 1; k < n; ++k) chainA.PushBack(chainB.At(k));
                    break;
                case EndPair::FrontToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chainA.PushFront(chainB.At(k));
                    break;
                case EndPair::BackToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chainA.PushBack(chainB.At(k));
                    break;
                case EndPair::None:
                    break;
            }
        } else {
            switch (pair) {
                case EndPair::FrontToFront:  // B reversed without B[0], then A
                    chainB.Reverse();
                    chainB.PopBack();
                    for (std::size_t k = 0; k < m; ++k) chainB.PushBack(chainA.At(k));
                    break;
                case EndPair::BackToFront:  // A, then B without B[0]
                    chainB.PopFront();
                    for (std::size_t k = m; k-- > 0;) chainB.PushFront(chainA.At(k));
                    break;
                case EndPair::FrontToBack:  // B without B[n-1], then A
                    chainB.PopBack();
                    for (std::size_t k = 0; k < m; ++k) chainB.PushBack(chainA.At(k));
                    break;
                case EndPair::BackToBack:  // A, then B reversed without B[n-1]
                    chainB.Reverse();
                    chainB.PopFront();
                    for (std::size_t k = m; k-- > 0;) chainB.PushFront(chainA.At(k));
                    break;
                case EndPair::None:
                    break;
            }
            std::swap(m_chains[a], m_chains[b]);
        }
        m_chains[b].reset();
        m_polylines[b].points.clear();
        Register(a);
    }

    std::vector<Polyline2d>& m_polylines;
    std::vector<std::optional<Chain>> m_chains;
    std::unordered_map<CellKey, std::vector<EndEntry>, CellKeyHash> m_grid;
};

}  // namespace

void LinkOpenPolylinesIndexed(std::vector<Polyline2d>& polylines) { Linker(polylines).Run(); }

}  // namespace Vexlor::Dxf
