// End-to-end linking through a hash grid over the end points, with the joins of the rescanning
// form in the same order.
// SPDX-License-Identifier: MIT
#include <cmath>     // std::floor, std::isfinite
#include <cstdint>   // std::int64_t, std::uint64_t
#include <limits>    // std::numeric_limits
#include <memory>    // std::unique_ptr, std::make_unique
#include <optional>  // std::optional
#include <utility>   // std::move, std::swap
#include <vector>    // std::vector

#include "polyline/PolylineGeometry.h"
#include "polyline/PolylineLinking.h"

namespace Vexlor::Dxf {

namespace {

// Points that meet lie less than 0.0001 apart, so they fall into the same or neighbouring
// cells of this size (twice the distance, to leave room for rounding).
constexpr double kCellsPerUnit = 5000.0;  // cells of 0.0002
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
    double cell = std::floor(value * kCellsPerUnit);
    if (cell > kCellLimit) cell = kCellLimit;
    if (cell < -kCellLimit) cell = -kCellLimit;
    return static_cast<std::int64_t>(cell);
}

// A point with a NaN or infinite coordinate meets no point, so it never enters the grid.
inline bool CanMeet(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

inline CellKey CellOf(const Point2d& p) { return {CellCoordinate(p.x), CellCoordinate(p.y)}; }

// A piece while it is being linked: a sequence that grows and shrinks at both ends and can
// be read backwards, so that joining costs the length of the shorter piece. The points are
// front[frontEnd - 1] ... front[frontBegin], then back[backBegin] ... back[backEnd - 1]; a
// piece's own vector becomes `back` without a copy.
class Chain {
public:
    explicit Chain(std::vector<Point2d>&& points)
        : m_back(std::move(points)), m_backEnd(m_back.size()) {}
    std::size_t Size() const { return FrontCount() + (m_backEnd - m_backBegin); }
    const Point2d& At(std::size_t k) const { return Raw(m_reversed ? Size() - 1 - k : k); }
    void PushFront(const Point2d& p) { m_reversed ? RawPushBack(p) : RawPushFront(p); }
    void PushBack(const Point2d& p) { m_reversed ? RawPushFront(p) : RawPushBack(p); }
    void PopFront() { m_reversed ? RawPopBack() : RawPopFront(); }
    void PopBack() { m_reversed ? RawPopFront() : RawPopBack(); }
    void Reverse() { m_reversed = !m_reversed; }
    std::vector<Point2d> TakePoints() {
        if (!m_reversed && FrontCount() == 0 && m_backBegin == 0) {
            m_back.resize(m_backEnd);
            return std::move(m_back);
        }
        std::vector<Point2d> points;
        points.reserve(Size());
        for (std::size_t k = 0; k < Size(); ++k) points.push_back(At(k));
        return points;
    }

private:
    std::size_t FrontCount() const { return m_frontEnd - m_frontBegin; }
    const Point2d& Raw(std::size_t k) const {
        const std::size_t frontCount = FrontCount();
        return k < frontCount ? m_front[m_frontEnd - 1 - k] : m_back[m_backBegin + k - frontCount];
    }
    void RawPushFront(const Point2d& p) {
        m_front.resize(m_frontEnd);
        m_front.push_back(p);
        ++m_frontEnd;
    }
    void RawPushBack(const Point2d& p) {
        m_back.resize(m_backEnd);
        m_back.push_back(p);
        ++m_backEnd;
    }
    void RawPopFront() {
        if (FrontCount() > 0) {
            --m_frontEnd;
        } else {
            ++m_backBegin;
        }
    }
    void RawPopBack() {
        if (m_backEnd > m_backBegin) {
            --m_backEnd;
        } else {
            ++m_frontBegin;
        }
    }

    std::vector<Point2d> m_front;
    std::vector<Point2d> m_back;
    std::size_t m_frontBegin = 0;
    std::size_t m_frontEnd = 0;
    std::size_t m_backBegin = 0;
    std::size_t m_backEnd;
    bool m_reversed = false;
};

// The end points of the open pieces, by cell: an open-addressing table of cells, each the
// head of a list threaded through `m_next`. Entry 2i is the front of piece i, 2i + 1 its back.
class EndGrid {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    explicit EndGrid(std::size_t pieces) : m_next(2 * pieces, kNone) { Rehash(2 * pieces + 16); }

    void Add(const CellKey& key, std::uint32_t entry) {
        // At most seven cells in ten slots keep the probe sequences short.
        if (10 * (m_cells + 1) > 7 * m_slots.size()) Rehash(2 * m_slots.size());
        Slot& slot = m_slots[Find(key)];
        if (!slot.used) {
            slot = Slot{key, kNone, true};
            ++m_cells;
        }
        m_next[entry] = slot.head;
        slot.head = entry;
    }

    void Remove(const CellKey& key, std::uint32_t entry) {
        Slot& slot = m_slots[Find(key)];
        if (!slot.used) return;
        for (std::uint32_t* link = &slot.head; *link != kNone; link = &m_next[*link]) {
            if (*link == entry) {
                *link = m_next[entry];
                return;
            }
        }
    }

    template <typename Visit>
    void ForEach(const CellKey& key, Visit&& visit) const {
        const Slot& slot = m_slots[Find(key)];
        if (!slot.used) return;
        for (std::uint32_t entry = slot.head; entry != kNone; entry = m_next[entry]) visit(entry);
    }

private:
    struct Slot {
        CellKey key;
        std::uint32_t head;
        bool used;
    };

    // The slot holding `key`, or the free slot where it would go.
    std::size_t Find(const CellKey& key) const {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t index = CellKeyHash()(key) & mask;
        while (m_slots[index].used && !(m_slots[index].key == key)) index = (index + 1) & mask;
        return index;
    }

    void Rehash(std::size_t minimum) {
        std::size_t capacity = 16;
        while (capacity < minimum) capacity *= 2;
        std::vector<Slot> old(capacity, Slot{{0, 0}, kNone, false});
        m_slots.swap(old);
        for (const Slot& slot : old) {
            if (slot.used) m_slots[Find(slot.key)] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::vector<std::uint32_t> m_next;
    std::size_t m_cells = 0;
};

class Linker {
public:
    explicit Linker(std::vector<Polyline2d>& polylines)
        : m_polylines(polylines), m_chains(polylines.size()), m_grid(polylines.size()) {}

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
        if (!m_chains[i]) m_chains[i] = std::make_unique<Chain>(std::move(m_polylines[i].points));
        return *m_chains[i];
    }

    void Register(std::size_t i) {
        const auto entry = static_cast<std::uint32_t>(2 * i);
        if (CanMeet(Front(i))) m_grid.Add(CellOf(Front(i)), entry);
        if (CanMeet(Back(i))) m_grid.Add(CellOf(Back(i)), entry + 1);
    }
    void Unregister(std::size_t i) {
        const auto entry = static_cast<std::uint32_t>(2 * i);
        if (CanMeet(Front(i))) m_grid.Remove(CellOf(Front(i)), entry);
        if (CanMeet(Back(i))) m_grid.Remove(CellOf(Back(i)), entry + 1);
    }

    // The lowest piece after i with an end that meets an end of piece i.
    std::optional<std::size_t> LowestPartnerAfter(std::size_t i) const {
        std::optional<std::size_t> lowest;
        for (const Point2d& end : {Front(i), Back(i)}) {
            if (!CanMeet(end)) continue;
            // Points that meet this end lie less than half a cell away, so only the cells on
            // the nearer side of each axis can hold them (both sides when it is close to the
            // middle of its cell).
            const double scaledX = end.x * kCellsPerUnit;
            const double scaledY = end.y * kCellsPerUnit;
            const CellKey center = CellOf(end);
            // The margin covers the rounding of the scaled coordinates, which grows with them.
            const double marginX = 0.01 + std::fabs(scaledX) * 4.5e-16;
            const double marginY = 0.01 + std::fabs(scaledY) * 4.5e-16;
            const double fractionX = scaledX - std::floor(scaledX);
            const double fractionY = scaledY - std::floor(scaledY);
            const std::int64_t fromX = fractionX < 0.5 + marginX ? -1 : 0;
            const std::int64_t toX = fractionX > 0.5 - marginX ? 1 : 0;
            const std::int64_t fromY = fractionY < 0.5 + marginY ? -1 : 0;
            const std::int64_t toY = fractionY > 0.5 - marginY ? 1 : 0;
            for (std::int64_t dx = fromX; dx <= toX; ++dx) {
                for (std::int64_t dy = fromY; dy <= toY; ++dy) {
                    m_grid.ForEach(CellKey{center.x + dx, center.y + dy}, [&](std::uint32_t e) {
                        const std::size_t other = e / 2;
                        if (other <= i || (lowest && other >= *lowest)) return;
                        const Point2d& otherEnd = e % 2 == 1 ? Back(other) : Front(other);
                        if (Meet(end, otherEnd)) lowest = other;
                    });
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
        // The longer piece keeps its storage and becomes a chain; the shorter one's points are
        // copied over from wherever they are.
        if (m >= n) {
            Chain& chainA = ChainOf(a);
            switch (pair) {
                case EndPair::FrontToFront:
                    for (std::size_t k = 1; k < n; ++k) chainA.PushFront(At(b, k));
                    break;
                case EndPair::BackToFront:
                    for (std::size_t k = 1; k < n; ++k) chainA.PushBack(At(b, k));
                    break;
                case EndPair::FrontToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chainA.PushFront(At(b, k));
                    break;
                case EndPair::BackToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chainA.PushBack(At(b, k));
                    break;
                case EndPair::None:
                    break;
            }
        } else {
            Chain& chainB = ChainOf(b);
            switch (pair) {
                case EndPair::FrontToFront:  // B reversed without B[0], then A
                    chainB.Reverse();
                    chainB.PopBack();
                    for (std::size_t k = 0; k < m; ++k) chainB.PushBack(At(a, k));
                    break;
                case EndPair::BackToFront:  // A, then B without B[0]
                    chainB.PopFront();
                    for (std::size_t k = m; k-- > 0;) chainB.PushFront(At(a, k));
                    break;
                case EndPair::FrontToBack:  // B without B[n-1], then A
                    chainB.PopBack();
                    for (std::size_t k = 0; k < m; ++k) chainB.PushBack(At(a, k));
                    break;
                case EndPair::BackToBack:  // A, then B reversed without B[n-1]
                    chainB.Reverse();
                    chainB.PopFront();
                    for (std::size_t k = m; k-- > 0;) chainB.PushFront(At(a, k));
                    break;
                case EndPair::None:
                    break;
            }
            std::swap(m_chains[a], m_chains[b]);
            m_polylines[a].points = std::vector<Point2d>();  // now held by the chain
        }
        m_chains[b].reset();
        m_polylines[b].points.clear();
        Register(a);
    }

    std::vector<Polyline2d>& m_polylines;
    std::vector<std::unique_ptr<Chain>> m_chains;  // made on a piece's first join
    EndGrid m_grid;
};

}  // namespace

void LinkOpenPolylinesIndexed(std::vector<Polyline2d>& polylines) {
    // End entries are 32-bit; more pieces than that could never be held in memory anyway, but
    // the rescanning form still gives the defined result.
    if (polylines.size() >= 0x7FFFFFFFu) {
        LinkOpenPolylines(polylines);
        return;
    }
    Linker(polylines).Run();
}

}  // namespace Vexlor::Dxf
