// End-to-end linking through a hash grid over the end points, with the joins of the rescanning
// form in the same order.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::max
#include <cmath>      // std::isfinite, std::fabs
#include <cstdint>    // std::int64_t, std::uint64_t
#include <optional>   // std::optional
#include <utility>    // std::move, std::swap
#include <vector>     // std::vector

#include "polyline/PolylineGeometry.h"
#include "polyline/PolylineLinking.h"

namespace Vexlor::Dxf {

namespace {

// Points that meet lie less than 0.0001 apart. Cells are at least twice that wide, so the
// points that can meet a given point lie in its own cell or in the next one on the nearer side
// of each axis.
constexpr double kMeetDistance = 1e-4;
constexpr double kFinestCell = 2 * kMeetDistance;
// Buckets of more ends than this keep a moving start for their searches.
constexpr std::uint32_t kCrowdedBucket = 16;
// Cells this wide send a search into a neighbouring cell only near their borders.
constexpr double kCoarseCell = 64 * kMeetDistance;
// Cell coordinates are clamped here; beyond it points that meet are equal anyway.
constexpr double kCellLimit = 4.0e18;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// The floor of a scaled coordinate, clamped to the limit.
inline std::int64_t CellCoordinate(double scaled) {
    if (!(scaled < kCellLimit)) return static_cast<std::int64_t>(kCellLimit);
    if (!(scaled > -kCellLimit)) return -static_cast<std::int64_t>(kCellLimit);
    auto cell = static_cast<std::int64_t>(scaled);  // toward zero
    if (static_cast<double>(cell) > scaled) --cell;
    return cell;
}

// A point with a NaN or infinite coordinate meets no point, so it never enters the index.
inline bool CanMeet(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

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
    // Gives the storage back once the chain's points live on elsewhere.
    void Release() {
        std::vector<Point2d>().swap(m_front);
        std::vector<Point2d>().swap(m_back);
        m_frontBegin = m_frontEnd = m_backBegin = m_backEnd = 0;
        m_reversed = false;
    }
    // Room for `count` more points at the front or the back, grown geometrically so that a
    // chain built up piece by piece still copies each point a bounded number of times.
    void Reserve(bool atFront, std::size_t count) {
        const bool rawFront = atFront != m_reversed;
        std::vector<Point2d>& storage = rawFront ? m_front : m_back;
        const std::size_t needed = (rawFront ? m_frontEnd : m_backEnd) + count;
        if (storage.capacity() < needed) {
            storage.reserve(std::max(needed, 2 * storage.capacity()));
        }
    }
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

// The end points of the open pieces, by cell. Linking never makes a new end: the ends of a
// chain are always ends of the pieces it was made of. So the index is built once, as buckets
// of ends in one array, and a join only records which ends it used up. An end is known by its
// place in that array, which holds the piece the end now belongs to.
class EndIndex {
public:
    // `forEachEnd(visit)` calls `visit(owner, point)` for every end that can meet another, the
    // same ends in the same order each time. Only the last call's results are the ends' places.
    template <typename ForEachEnd>
    void Build(ForEachEnd&& forEachEnd) {
        std::size_t count = 0;
        forEachEnd([&](std::uint32_t, const Point2d&) {
            ++count;
            return kNone;
        });
        if (count == 0) return;
        // About two ends per bucket: ends that meet come at least in pairs.
        std::size_t buckets = 16;
        while (2 * buckets < count) buckets *= 2;
        m_mask = buckets - 1;
        // Cells wide enough that a search mostly looks into a single bucket; when the ends
        // crowd together so that these cells would hold many, the finest cells keep the
        // buckets short.
        if (!Count(1.0 / kCoarseCell, count, forEachEnd))
            Count(1.0 / kFinestCell, count, forEachEnd);
        // Counting sort of the ids by bucket: m_start[b] becomes the end of bucket b while
        // filling, and is then shifted into the start.
        for (std::size_t b = 0, sum = 0; b <= buckets; ++b) {
            const std::uint32_t n = m_start[b];
            m_start[b] = static_cast<std::uint32_t>(sum);
            sum += n;
        }
        m_entries.resize(count);
        forEachEnd([&](std::uint32_t owner, const Point2d& p) {
            const std::uint32_t place = m_start[Bucket(p)]++;
            m_entries[place] = owner;
            return place;
        });
        for (std::size_t b = buckets; b > 0; --b) m_start[b] = m_start[b - 1];
        m_start[0] = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            if (m_start[b + 1] - m_start[b] > kCrowdedBucket) {
                m_crowded.push_back(static_cast<std::uint32_t>(b));
                m_crowdedFront.push_back(m_start[b]);
            }
        }
    }

    std::uint32_t& Owner(std::uint32_t end) { return m_entries[end]; }
    std::uint32_t Owner(std::uint32_t end) const { return m_entries[end]; }

    // Calls `visit(end)` for the ends in the buckets that can hold a point meeting `p` (and
    // possibly others that share those buckets): in each bucket in the order the ends were
    // placed, until `visit` returns true. Ends at the front of a crowded bucket for which
    // `gone(end)` holds are passed over for good, so `gone` must stay true for them in every
    // later search.
    template <typename Gone, typename Visit>
    void ForEachNear(const Point2d& p, Gone&& gone, Visit&& visit) {
        if (m_entries.empty()) return;
        const double scaledX = p.x * m_cellsPerUnit;
        const double scaledY = p.y * m_cellsPerUnit;
        const std::int64_t cellX = CellCoordinate(scaledX);
        const std::int64_t cellY = CellCoordinate(scaledY);
        // The margin covers the rounding of the scaled coordinates, which grows with them.
        const double reachX = m_reach + std::fabs(scaledX) * 4.5e-16;
        const double reachY = m_reach + std::fabs(scaledY) * 4.5e-16;
        // Beyond the limit, where cells are clamped, points that meet are equal and share a
        // cell whatever these fractions say.
        const double fractionX = scaledX - static_cast<double>(cellX);
        const double fractionY = scaledY - static_cast<double>(cellY);
        const std::int64_t fromX = fractionX < reachX ? -1 : 0;
        const std::int64_t toX = fractionX > 1.0 - reachX ? 1 : 0;
        const std::int64_t fromY = fractionY < reachY ? -1 : 0;
        const std::int64_t toY = fractionY > 1.0 - reachY ? 1 : 0;
        for (std::int64_t dx = fromX; dx <= toX; ++dx) {
            for (std::int64_t dy = fromY; dy <= toY; ++dy) {
                const std::size_t b = BucketOfCell(cellX + dx, cellY + dy);
                std::uint32_t k = m_start[b];
                const std::uint32_t end = m_start[b + 1];
                if (end - k > kCrowdedBucket) {
                    // Many pieces through one point would otherwise be passed over again in
                    // every search, once joined or dropped.
                    std::uint32_t& front = m_crowdedFront[CrowdedSlot(b)];
                    for (k = front; k < end && gone(k);) ++k;
                    front = k;
                }
                for (; k < end; ++k) {
                    if (visit(k)) break;
                }
            }
        }
    }

private:
    // Counts the ends per bucket for cells of 1 / cellsPerUnit; false when the buckets come
    // out so uneven that a search would meet many ends on average.
    template <typename ForEachEnd>
    bool Count(double cellsPerUnit, std::size_t count, ForEachEnd&& forEachEnd) {
        m_cellsPerUnit = cellsPerUnit;
        // Points that meet lie less than this many cells apart; 0.01 more covers rounding.
        m_reach = kMeetDistance * cellsPerUnit + 0.01;
        m_start.assign(m_mask + 2, 0);
        forEachEnd([&](std::uint32_t, const Point2d& p) {
            ++m_start[Bucket(p)];
            return kNone;
        });
        double squares = 0.0;
        for (const std::uint32_t n : m_start) squares += static_cast<double>(n) * n;
        return squares <= 8.0 * static_cast<double>(count);
    }

    std::size_t CrowdedSlot(std::size_t bucket) const {
        return static_cast<std::size_t>(
            std::lower_bound(m_crowded.begin(), m_crowded.end(), bucket) - m_crowded.begin());
    }

    std::size_t Bucket(const Point2d& p) const {
        return BucketOfCell(CellCoordinate(p.x * m_cellsPerUnit),
                            CellCoordinate(p.y * m_cellsPerUnit));
    }

    // Cells next to each other in y fall into neighbouring buckets, so that a search that
    // looks into two of them reads one stretch of memory.
    std::size_t BucketOfCell(std::int64_t x, std::int64_t y) const {
        std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
        return static_cast<std::size_t>(h + static_cast<std::uint64_t>(y)) & m_mask;
    }

    double m_cellsPerUnit = 1.0 / kFinestCell;
    double m_reach = 0.5;
    std::size_t m_mask = 0;
    std::vector<std::uint32_t> m_start;    // bucket b holds m_entries[m_start[b], m_start[b + 1])
    std::vector<std::uint32_t> m_entries;  // the owner of each end, the ends by bucket
    std::vector<std::uint32_t> m_crowded;  // buckets of many ends, ascending
    std::vector<std::uint32_t> m_crowdedFront;  // where each crowded bucket's search begins
};

class Linker {
public:
    explicit Linker(std::vector<Polyline2d>& polylines)
        : m_polylines(polylines), m_ends(polylines.size()) {}

    void Run() {
        // Ends that cannot meet stay without a place.
        m_index.Build([&](auto&& visit) {
            for (std::size_t i = 0; i < m_polylines.size(); ++i) {
                if (!Takes(i)) continue;
                const auto owner = static_cast<std::uint32_t>(i);
                m_ends[i].front = CanMeet(Front(i)) ? visit(owner, Front(i)) : kNone;
                m_ends[i].back = CanMeet(Back(i)) ? visit(owner, Back(i)) : kNone;
            }
        });
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
        for (std::size_t i = 0; i < m_ends.size(); ++i) {
            if (HasChain(i)) m_polylines[i].points = m_chains[m_ends[i].chain].TakePoints();
        }
    }

private:
    // The places in the index of the ends a piece has now (none for an end that cannot meet),
    // and its chain once it has joined another.
    struct Ends {
        std::uint32_t front = kNone;
        std::uint32_t back = kNone;
        std::uint32_t chain = kNone;
    };

    bool Takes(std::size_t i) const { return !m_polylines[i].closed && Size(i) > 0; }

    bool HasChain(std::size_t i) const { return m_ends[i].chain != kNone; }
    void SetOwner(std::uint32_t end, std::uint32_t owner) {
        if (end != kNone) m_index.Owner(end) = owner;
    }
    std::size_t Size(std::size_t i) const {
        return HasChain(i) ? m_chains[m_ends[i].chain].Size() : m_polylines[i].points.size();
    }
    const Point2d& At(std::size_t i, std::size_t k) const {
        return HasChain(i) ? m_chains[m_ends[i].chain].At(k) : m_polylines[i].points[k];
    }
    const Point2d& Front(std::size_t i) const { return At(i, 0); }
    const Point2d& Back(std::size_t i) const { return At(i, Size(i) - 1); }

    Chain& ChainOf(std::size_t i) {
        if (!HasChain(i)) {
            m_ends[i].chain = static_cast<std::uint32_t>(m_chains.size());
            m_chains.emplace_back(std::move(m_polylines[i].points));
        }
        return m_chains[m_ends[i].chain];
    }

    // The lowest piece after i with an end that meets an end of piece i. The ends that can be
    // partners still belong to the pieces they were placed for (every other end is used up
    // or belongs to a chain at i or before), so within a bucket they come in ascending order.
    std::optional<std::size_t> LowestPartnerAfter(std::size_t i) {
        std::optional<std::size_t> lowest;
        // Used up, or belonging to i or an earlier piece: for every later search too, since
        // owners only ever become lower and the searches move on to higher pieces.
        const auto gone = [&](std::uint32_t place) {
            const std::uint32_t owner = m_index.Owner(place);
            return owner == kNone || owner <= i;
        };
        for (const Point2d& end : {Front(i), Back(i)}) {
            if (!CanMeet(end)) continue;
            m_index.ForEachNear(end, gone, [&](std::uint32_t place) {
                if (gone(place)) return false;
                const std::uint32_t other = m_index.Owner(place);
                if (lowest && other >= *lowest) return true;  // so are the rest of the bucket
                const Point2d& otherEnd = m_ends[other].front == place ? Front(other) : Back(other);
                if (!Meet(end, otherEnd)) return false;
                lowest = other;
                return true;
            });
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

    // Records which ends the join of b into a uses up and which remain.
    void JoinEnds(std::size_t a, std::size_t b, EndPair pair) {
        const Ends ea = m_ends[a];
        const Ends eb = m_ends[b];
        Ends joined;
        switch (pair) {
            case EndPair::FrontToFront:
                joined = Ends{eb.back, ea.back};
                break;
            case EndPair::BackToFront:
                joined = Ends{ea.front, eb.back};
                break;
            case EndPair::FrontToBack:
                joined = Ends{eb.front, ea.back};
                break;
            case EndPair::BackToBack:
                joined = Ends{ea.front, eb.front};
                break;
            case EndPair::None:
                return;
        }
        for (const std::uint32_t id : {ea.front, ea.back, eb.front, eb.back}) SetOwner(id, kNone);
        SetOwner(joined.front, static_cast<std::uint32_t>(a));
        SetOwner(joined.back, static_cast<std::uint32_t>(a));
        m_ends[a].front = joined.front;
        m_ends[a].back = joined.back;
        m_ends[b].front = m_ends[b].back = kNone;
    }

    // Joins piece b into piece a (a < b) as the rescanning form does, or drops b when it
    // duplicates a.
    void Link(std::size_t a, std::size_t b) {
        const std::size_t m = Size(a);
        const std::size_t n = Size(b);
        const EndPair pair = MatchEnds(Front(a), Back(a), Front(b), Back(b));
        const std::size_t aStart = StartsAtFront(pair, true) ? 0 : m - 1;
        const std::size_t bStart = StartsAtFront(pair, false) ? 0 : n - 1;
        if (IsDuplicate(a, aStart, b, bStart)) {
            SetOwner(m_ends[b].front, kNone);
            SetOwner(m_ends[b].back, kNone);
            m_ends[b].front = m_ends[b].back = kNone;
            Empty(b);
            return;
        }
        JoinEnds(a, b, pair);
        // The longer piece keeps its storage and becomes a chain; the shorter one's points are
        // copied over from wherever they are.
        const bool bGoesInFront = pair == EndPair::FrontToFront || pair == EndPair::FrontToBack;
        if (m >= n) {
            Chain& chainA = ChainOf(a);
            chainA.Reserve(bGoesInFront, n - 1);
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
            // B runs backwards in the joins of equal ends. A's points then go behind what is
            // left of B when B goes in front, and before it otherwise.
            if (pair == EndPair::FrontToFront || pair == EndPair::BackToBack) chainB.Reverse();
            chainB.Reserve(!bGoesInFront, m);
            switch (pair) {
                case EndPair::FrontToFront:  // B reversed without B[0], then A
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
                    chainB.PopFront();
                    for (std::size_t k = m; k-- > 0;) chainB.PushFront(At(a, k));
                    break;
                case EndPair::None:
                    break;
            }
            std::swap(m_ends[a].chain, m_ends[b].chain);
            std::vector<Point2d>().swap(m_polylines[a].points);  // now held by the chain
        }
        Empty(b);
    }

    // Leaves piece b without points. Its storage goes back at once, so that the chains that
    // grow meanwhile can reuse it.
    void Empty(std::size_t b) {
        if (HasChain(b)) m_chains[m_ends[b].chain].Release();
        m_ends[b].chain = kNone;
        std::vector<Point2d>().swap(m_polylines[b].points);
    }

    std::vector<Polyline2d>& m_polylines;
    std::vector<Ends> m_ends;     // per piece
    std::vector<Chain> m_chains;  // made on a piece's first join
    EndIndex m_index;
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
