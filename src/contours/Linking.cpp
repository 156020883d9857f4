// End-to-end linking through a spatial index over the end points, with the joins of the
// rescanning form in the same order.
// SPDX-License-Identifier: MIT
#include "contours/Linking.h"

#include <algorithm>  // std::max
#include <cstdint>    // std::uint32_t, std::uint8_t
#include <new>        // std::bad_alloc
#include <optional>   // std::optional
#include <utility>    // std::move, std::swap
#include <vector>     // std::vector

#include "contours/EndIndex.h"
#include "geometry/Prefetch.h"

namespace Vexlor::Dxf {

namespace {

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

// A piece's points where they lie: in its polyline, or among the pieces of two points.
struct Points {
    const Point2d* data;
    std::size_t size;
};

// A piece found as a partner: it has never joined, so its points are its own, and those of a
// piece of one or two points are read from the index.
class Partner {
public:
    template <typename PointsOf>
    Partner(const EndIndex& index, std::uint32_t place, const PointsOf& pointsOf) {
        const End& end = index.At(place);
        m_piece = end.piece;
        if (end.mate & kShort) {
            const std::uint32_t mate = end.mate & kNoMate;
            m_own[0] = end.point;
            m_size = 1;
            if (mate != kNoMate) {
                m_own[1] = index.At(mate).point;
                m_size = 2;
                if (end.mate & kIsBack) std::swap(m_own[0], m_own[1]);
            }
            m_points = m_own;
        } else {
            const Points points = pointsOf(m_piece);
            m_points = points.data;
            m_size = points.size;
        }
    }
    Partner(const Partner&) = delete;  // may point into itself
    Partner& operator=(const Partner&) = delete;
    std::uint32_t Piece() const { return m_piece; }
    std::size_t Size() const { return m_size; }
    const Point2d& At(std::size_t k) const { return m_points[k]; }

private:
    std::uint32_t m_piece;
    std::size_t m_size;
    const Point2d* m_points;
    Point2d m_own[2];
};

class Linker {
public:
    Linker(std::vector<Polyline2d>& polylines, const MeetDistance& meet, PieceTable& pieces)
        : m_polylines(polylines),
          m_pieces(pieces),
          m_meet(meet),
          m_usedUp(pieces.Size(), 0),
          m_placeOf(pieces.Size(), kNone),
          m_index(meet) {}

    void Run() {
        // Ends that cannot meet stay out of the index; a piece of one point has one end.
        m_index.Build(
            [&](auto&& visit) {
                for (std::size_t i = 0; i < m_pieces.Size(); ++i) {
                    if (!m_pieces.Holds(i) && Closed(i)) continue;
                    const Points points = PointsOf(i);
                    if (points.size == 0) continue;
                    const Point2d* first = points.data;
                    const Point2d* last = points.data + (points.size - 1);
                    const Point2d* front = CanMeet(*first) ? first : nullptr;
                    const Point2d* back = points.size > 1 && CanMeet(*last) ? last : nullptr;
                    if (!front && !back) continue;
                    const bool isShort = front && (points.size == 1 || (back && points.size == 2));
                    visit(static_cast<std::uint32_t>(i), front, back, isShort);
                }
            },
            m_placeOf.data());
        if (!m_index.AnyEndsMeet()) return;
        // A rescan from the start would find the lowest pair (i, j) that meets. Invariant: no
        // pair (x, y) with x < current meets. A join leaves the piece that takes over with
        // ends that were ends of its two pieces before, so no earlier piece can newly meet
        // it: the next lowest pair starts at `current` or later. So only the current piece
        // ever joins more than once, and every partner is a piece as it came in.
        for (m_current = 0; m_current < m_pieces.Size(); ++m_current) {
            if (m_usedUp[m_current]) continue;
            if (!m_pieces.Holds(m_current) && Closed(m_current)) continue;
            m_own = PointsOf(m_current);
            if (m_own.size == 0) continue;
            m_searched[0] = m_searched[1] = false;  // they were for an earlier piece
            for (;;) {
                std::uint32_t place = NextInLine();
                if (place == kNone) {
                    const std::optional<std::uint32_t> lowest = LowestPartner();
                    if (!lowest) break;
                    place = *lowest;
                }
                Link(place);
            }
            if (m_chain) {
                SetPoints(m_current, m_chain->TakePoints());
                m_chain.reset();
            }
        }
        // Used-up pieces give their storage back in one pass in order, rather than each at its
        // join, which would reach into memory far from the contour being followed.
        for (std::size_t i = 0; i < m_pieces.Size(); ++i) {
            if (m_usedUp[i]) Release(i);
        }
    }

private:
    // Whether piece i, which is not flat, is a closed polyline (an emptied piece is open).
    bool Closed(std::size_t i) const {
        if (!m_pieces.HasPolyline(i)) return false;
        FetchAhead(m_polylines, m_pieces.PolylineOf(i));
        return m_polylines[m_pieces.PolylineOf(i)].closed;
    }
    Points PointsOf(std::size_t i) const {
        if (m_pieces.Holds(i)) return {m_pieces.At(i).data(), 2};
        if (!m_pieces.HasPolyline(i)) return {nullptr, 0};
        const std::vector<Point2d>& points = m_polylines[m_pieces.PolylineOf(i)].points;
        return {points.data(), points.size()};
    }
    // The points of piece i as a vector of their own, which it no longer holds.
    std::vector<Point2d> TakePoints(std::size_t i) {
        if (m_pieces.Holds(i)) return m_pieces.Take(i);
        return std::move(m_polylines[m_pieces.PolylineOf(i)].points);
    }
    // Piece i, used up, gives its storage back.
    void Release(std::size_t i) {
        if (m_pieces.Holds(i)) {
            m_pieces.Empty(i);
        } else if (m_pieces.HasPolyline(i)) {
            const std::size_t k = m_pieces.PolylineOf(i);
            FetchAhead(m_polylines, k);  // the allocator reads beside both ends of the storage
            std::vector<Point2d>().swap(m_polylines[k].points);
        }
    }
    // Piece i, open, has `points` from here: in its polyline, or in one made for it at the end of
    // the list when it has none.
    void SetPoints(std::size_t i, std::vector<Point2d>&& points) {
        if (m_pieces.HasPolyline(i)) {
            m_polylines[m_pieces.PolylineOf(i)].points = std::move(points);
            return;
        }
        m_polylines.push_back({std::move(points), false});
        m_pieces.SetPolyline(i, m_polylines.size() - 1);
    }

    // The current piece: its own points until its first join, a chain from then on.
    std::size_t Size() const { return m_chain ? m_chain->Size() : m_own.size; }
    const Point2d& At(std::size_t k) const { return m_chain ? m_chain->At(k) : m_own.data[k]; }
    const Point2d& Front() const { return At(0); }
    const Point2d& Back() const { return At(Size() - 1); }

    // The place of an end of the lowest piece after the current one that meets an end of it;
    // the front's on a tie.
    std::optional<std::uint32_t> LowestPartner() {
        const Point2d& frontEnd = Front();
        const Point2d& backEnd = Back();
        const int frontKnown = Standing(frontEnd);
        const int backKnown = Standing(backEnd);
        const std::uint32_t front = frontKnown >= 0 ? m_found[frontKnown] : FindPartner(frontEnd);
        const std::uint32_t back = backKnown >= 0 ? m_found[backKnown] : FindPartner(backEnd);
        const std::uint32_t frontPiece =
            frontKnown >= 0 ? m_foundPiece[frontKnown] : PieceAt(front);
        const std::uint32_t backPiece = backKnown >= 0 ? m_foundPiece[backKnown] : PieceAt(back);
        // Kept field by field, as Standing reads them: a record written in parts and then
        // copied whole makes the copy wait for the parts to reach memory.
        m_searchedFrom[0] = frontEnd;
        m_searchedFrom[1] = backEnd;
        m_found[0] = front;
        m_found[1] = back;
        m_foundPiece[0] = frontPiece;
        m_foundPiece[1] = backPiece;
        m_searched[0] = m_searched[1] = true;
        // No piece is kNone, which stands for no partner.
        const std::uint32_t lowest = backPiece < frontPiece ? back : front;
        return lowest == kNone ? std::nullopt : std::optional<std::uint32_t>(lowest);
    }

    // The piece of the end at `place`, kNone for none; the place was just searched, so its end
    // is at hand.
    std::uint32_t PieceAt(std::uint32_t place) const {
        return place == kNone ? kNone : m_index.At(place).piece;
    }

    // The place of an end of the next piece in order after the current one that can still join,
    // when that piece meets an end of the current one; else kNone. No piece lies between them,
    // so it is then the lowest partner, found without a search: drawings mostly write the pieces
    // of a contour one after another. Searches made before stay good, as after any join.
    std::uint32_t NextInLine() {
        if (m_next <= m_current) m_next = m_current + 1;
        // Pieces used up, and those without an end in the index, never come back.
        while (m_next < m_placeOf.size() && (m_placeOf[m_next] == kNone || m_usedUp[m_next])) {
            ++m_next;
        }
        if (m_next == m_placeOf.size()) return kNone;
        // The pieces after it are mostly read here next, one by one as they join, while the
        // pass over the pieces asks ahead only for those that start a contour.
        if (m_pieces.HasPolyline(m_next)) FetchAhead(m_polylines, m_pieces.PolylineOf(m_next));
        // Its ends read where the piece keeps them, which lie in the drawing's order as the
        // current piece's do, rather than at their places in the index. An end that is not
        // finite is not in the index, and meets none.
        const Points points = PointsOf(m_next);
        const Point2d& first = points.data[0];
        const Point2d& last = points.data[points.size - 1];
        const auto meets = [&](const Point2d& p) {
            return Meet(p, first, m_meet.squared) ||
                   (points.size > 1 && Meet(p, last, m_meet.squared));
        };
        return meets(Front()) || meets(Back()) ? m_placeOf[m_next] : kNone;
    }

    // Which of the last searches of the current piece (0 or 1) was made from `end` and still
    // stands: what it found is not used up since. -1 when none. A join only uses pieces up,
    // never adds one, so such a search finds what a new one would: the end that a join leaves
    // where it was is not searched from again.
    int Standing(const Point2d& end) const {
        for (int k = 0; k < 2; ++k) {
            if (m_searched[k] && Equal(m_searchedFrom[k], end) &&
                (m_found[k] == kNone || !m_usedUp[m_foundPiece[k]])) {
                return k;
            }
        }
        return -1;
    }

    // The place of an end of the lowest piece after the current one that meets `end`, or kNone.
    // The ends that can be partners still belong to the pieces they were placed for, so within
    // a bucket they come in ascending order of piece.
    std::uint32_t FindPartner(const Point2d& end) {
        if (!CanMeet(end)) return kNone;
        const auto current = static_cast<std::uint32_t>(m_current);
        // Used up, or of the current piece or an earlier one: for every later search too, since
        // the searches move on to higher pieces.
        const auto gone = [&](std::uint32_t place) {
            const std::uint32_t piece = m_index.At(place).piece;
            return piece == kNone || piece <= current;
        };
        std::uint32_t lowest = kNone;
        std::uint32_t found = kNone;
        m_index.ForEachNear(end, gone, [&](std::uint32_t place) {
            const End& other = m_index.At(place);
            if (other.piece == kNone || other.piece <= current) return false;
            if (other.piece >= lowest) return true;  // so are the rest of the bucket
            if (!Meet(end, other.point, m_meet.squared)) return false;
            lowest = other.piece;
            found = place;
            return true;
        });
        return found;
    }

    bool IsDuplicate(std::size_t aStart, const Partner& b, std::size_t bStart) const {
        const std::size_t m = Size();
        const std::size_t n = b.Size();
        // Both walks wrap around their piece, counted without a division per point.
        std::size_t a = aStart;
        std::size_t c = bStart;
        for (std::size_t k = 0; k < m; ++k) {
            if (!Equal(At(a), b.At(c))) return false;
            if (++a == m) a = 0;
            if (++c == n) c = 0;
        }
        return true;
    }

    Chain& CurrentChain() {
        if (!m_chain) m_chain.emplace(TakePoints(m_current));
        return *m_chain;
    }

    // Joins the partner with an end at `place` into the current piece as the rescanning form
    // does, or drops it when it duplicates the current piece.
    void Link(std::uint32_t place) {
        const Partner b(m_index, place, [&](std::size_t i) { return PointsOf(i); });
        m_index.UseUp(place);
        m_usedUp[b.Piece()] = 1;
        const std::size_t m = Size();
        const std::size_t n = b.Size();
        const EndPair pair = MatchEnds(Front(), Back(), b.At(0), b.At(n - 1), m_meet.squared);
        const std::size_t aStart = StartsAtFront(pair, true) ? 0 : m - 1;
        const std::size_t bStart = StartsAtFront(pair, false) ? 0 : n - 1;
        if (IsDuplicate(aStart, b, bStart)) return;
        // The longer piece keeps its storage and becomes the chain; the shorter one's points are
        // copied over from wherever they are.
        const bool bGoesInFront = pair == EndPair::FrontToFront || pair == EndPair::FrontToBack;
        if (m >= n) {
            Chain& chain = CurrentChain();
            chain.Reserve(bGoesInFront, n - 1);
            switch (pair) {
                case EndPair::FrontToFront:
                    for (std::size_t k = 1; k < n; ++k) chain.PushFront(b.At(k));
                    break;
                case EndPair::BackToFront:
                    for (std::size_t k = 1; k < n; ++k) chain.PushBack(b.At(k));
                    break;
                case EndPair::FrontToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chain.PushFront(b.At(k));
                    break;
                case EndPair::BackToBack:
                    for (std::size_t k = n - 1; k-- > 0;) chain.PushBack(b.At(k));
                    break;
                case EndPair::None:
                    break;
            }
            return;
        }
        Chain chain(TakePoints(b.Piece()));
        // B runs backwards in the joins of equal ends. A's points then go behind what is left
        // of B when B goes in front, and before it otherwise.
        if (pair == EndPair::FrontToFront || pair == EndPair::BackToBack) chain.Reverse();
        chain.Reserve(!bGoesInFront, m);
        switch (pair) {
            case EndPair::FrontToFront:  // B reversed without B[0], then A
                chain.PopBack();
                for (std::size_t k = 0; k < m; ++k) chain.PushBack(At(k));
                break;
            case EndPair::BackToFront:  // A, then B without B[0]
                chain.PopFront();
                for (std::size_t k = m; k-- > 0;) chain.PushFront(At(k));
                break;
            case EndPair::FrontToBack:  // B without B[n-1], then A
                chain.PopBack();
                for (std::size_t k = 0; k < m; ++k) chain.PushBack(At(k));
                break;
            case EndPair::BackToBack:  // A, then B reversed without B[n-1]
                chain.PopFront();
                for (std::size_t k = m; k-- > 0;) chain.PushFront(At(k));
                break;
            case EndPair::None:
                break;
        }
        Release(m_current);
        m_chain = std::move(chain);
    }

    std::vector<Polyline2d>& m_polylines;  // of the pieces that are not flat
    PieceTable& m_pieces;
    MeetDistance m_meet;
    std::vector<std::uint8_t> m_usedUp;    // per piece: joined into another or dropped
    std::vector<std::uint32_t> m_placeOf;  // per piece: its front end's place, kNone if none
    std::size_t m_current = 0;
    std::size_t m_next = 0;        // no piece after the current one and before this can still join
    Points m_own{nullptr, 0};      // the current piece's points while it has not joined
    std::optional<Chain> m_chain;  // the current piece's points once it has joined another
    EndIndex m_index;
    // The last searches from the current piece's front [0] and back [1]: made or not, from
    // where, and the place they found (kNone: none).
    bool m_searched[2] = {false, false};
    Point2d m_searchedFrom[2] = {};
    std::uint32_t m_found[2] = {kNone, kNone};
    std::uint32_t m_foundPiece[2] = {kNone, kNone};  // the pieces of those ends
};

}  // namespace

void LinkOpenPolylines(std::vector<Polyline2d>& polylines, const MeetDistance& meet,
                       PieceTable* table) {
    // Places of ends take 30 bits. That many pieces would take more than 32 GiB before linking
    // starts, so the case is one of exhausted memory.
    if ((table ? table->Size() : polylines.size()) >= kNoMate / 2) throw std::bad_alloc();
    if (table) return Linker(polylines, meet, *table).Run();
    // Each piece is the polyline in its own place: none is ever made.
    PieceTable own;
    own.Reserve(polylines.size());
    for (std::size_t i = 0; i < polylines.size(); ++i) own.AddPolyline();
    Linker(polylines, meet, own).Run();
}

}  // namespace Vexlor::Dxf
