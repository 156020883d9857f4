// The end index of the linking: the end points of the open pieces, bucketed by cell of a grid
// laid over them, row by row (or by hashed cell when they crowd), so that the ends meeting a
// point are found by looking into one or a few buckets.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::clamp, std::lower_bound, std::max, std::min
#include <cmath>      // std::isfinite, std::ldexp, std::log2, std::round, HUGE_VAL
#include <cstdint>    // std::int64_t, std::uint32_t, std::uint64_t
#include <cstring>    // std::memcpy
#include <vector>     // std::vector

#include "contours/Geometry.h"
#include "contours/LargeArrayAllocator.h"

namespace Vexlor::Dxf {

// Points that meet lie less than the meeting distance d apart. The finest cells are twice that
// wide, so the points that can meet a given point lie in its own cell or in the next one on the
// nearer side of each axis; coarse cells, 64 d wide, send a search into a neighbouring cell only
// near their borders.
constexpr double kFinestCells = 2;
constexpr double kCoarseCells = 64;
// Buckets of more ends than this keep a moving start for their searches.
constexpr std::uint32_t kCrowdedBucket = 16;
// Cell coordinates stop here. Beyond it (at 8e18 d drawing units or more) neighbouring doubles
// lie more than d apart, so points that meet have equal coordinates: each value there gets a
// cell of its own, found from its bits, and searches look into no neighbouring cell.
constexpr double kCellLimit = 4.0e18;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

inline bool FarCell(double scaled) { return !(std::fabs(scaled) < kCellLimit); }

// The cell of `value` along one axis, at `cellsPerUnit` cells per drawing unit.
inline std::int64_t CellCoordinate(double value, double cellsPerUnit) {
    const double scaled = value * cellsPerUnit;
    if (FarCell(scaled)) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        // Outside the range of near cells, on the side of the value's sign; the bits are
        // mixed, since values read as float have their low bits all zero.
        bits *= 0x9E3779B97F4A7C15ull;
        bits ^= bits >> 31;
        const auto far =
            static_cast<std::int64_t>(kCellLimit) + 1 + static_cast<std::int64_t>(bits >> 2);
        return value < 0 ? -far : far;
    }
    auto cell = static_cast<std::int64_t>(scaled);  // toward zero
    if (static_cast<double>(cell) > scaled) --cell;
    return cell;
}

// A point with a NaN or infinite coordinate meets no point, so it never enters the index.
inline bool CanMeet(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Bits of End::mate besides the place of the piece's other end.
constexpr std::uint32_t kIsBack = 1u << 31;  // this end is its piece's last point
constexpr std::uint32_t kShort = 1u << 30;   // every point of the piece is an end in the index
constexpr std::uint32_t kNoMate = kShort - 1;

// An end point of an open piece that has not joined any other yet, kept beside its neighbours in
// space, so that following a contour from end to end mostly reads memory already at hand.
struct End {
    Point2d point;
    std::uint32_t piece;  // kNone once the piece is used up
    std::uint32_t mate;   // the other end's place or kNoMate, with kIsBack and kShort
};

// The ends of the open pieces, by bucket. Linking never makes a new end: the ends of a chain are
// always ends of its pieces, and a piece that is found as a partner has never joined before. So
// the index is built once, as buckets of ends in one array, and a join only marks the ends of the
// piece it used up. An end is known by its place in that array.
//
// Buckets are cells of a grid laid over the ends' bounding box, row by row, with about two ends
// per cell: ends close in space are close in memory, and a cell's bucket takes a shift and an or.
// When the ends crowd into few cells, the buckets are hashed cells of a fixed width instead.
class EndIndex {
public:
    explicit EndIndex(const MeetDistance& meet = {})
        : m_meet(meet),
          m_cellsPerUnitX(1.0 / (kFinestCells * meet.distance)),
          m_cellsPerUnitY(1.0 / (kFinestCells * meet.distance)) {}

    // `forEachPiece(visit)` calls `visit(piece, front, back, isShort)` for every piece with an
    // end that can meet another, in the same order each time: `front` and `back` point to its
    // ends that can (one of them may be null), `isShort` says whether they are all its points.
    // `placeOfPiece`, when given, gets the place of each such piece's front (or only) end; it
    // must have room for every piece, and is left as it was for the others.
    template <typename ForEachPiece>
    void Build(ForEachPiece&& forEachPiece, std::uint32_t* placeOfPiece = nullptr) {
        const auto forEachEnd = [&](auto&& visit) {
            forEachPiece([&](std::uint32_t, const Point2d* front, const Point2d* back, bool) {
                if (front) visit(*front);
                if (back) visit(*back);
            });
        };
        std::size_t count = 0;
        double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
        forEachEnd([&](const Point2d& p) {
            ++count;
            minX = std::min(minX, p.x);
            minY = std::min(minY, p.y);
            maxX = std::max(maxX, p.x);
            maxY = std::max(maxY, p.y);
        });
        if (count == 0) return;
        // About two ends per bucket: ends that meet come at least in pairs.
        unsigned bits = 4;
        while (2 * (std::size_t{1} << bits) < count) ++bits;
        m_mask = (std::size_t{1} << bits) - 1;
        // A grid over the box; cells wide enough that a search mostly looks into a single bucket
        // when the grid does not fit; the finest cells when the ends crowd even there.
        if (!(SetGrid(bits, minX, minY, maxX, maxY) && Count(count, 16.0, forEachEnd))) {
            m_grid = false;
            const double coarse = 1.0 / (kCoarseCells * m_meet.distance);
            SetScale(coarse, coarse);
            if (!Count(count, 8.0, forEachEnd)) {
                SetScale(FinestScale(), FinestScale());
                Count(count, HUGE_VAL, forEachEnd);
            }
        }
        // Counting sort of the ends by bucket: m_start[b] becomes the end of bucket b while
        // filling, and is then shifted into the start.
        const std::size_t buckets = m_mask + 1;
        for (std::size_t b = 0, sum = 0; b <= buckets; ++b) {
            const std::uint32_t n = m_start[b];
            m_start[b] = static_cast<std::uint32_t>(sum);
            sum += n;
        }
        m_ends.resize(count);
        const std::uint32_t* bucket = m_bucketOfEnd.data();  // as the last count found them
        forEachPiece(
            [&](std::uint32_t piece, const Point2d* front, const Point2d* back, bool isShort) {
                const std::uint32_t shortBit = isShort ? kShort : 0;
                const std::uint32_t frontPlace = front ? m_start[*bucket++]++ : kNoMate;
                const std::uint32_t backPlace = back ? m_start[*bucket++]++ : kNoMate;
                if (front) m_ends[frontPlace] = End{*front, piece, backPlace | shortBit};
                if (back) m_ends[backPlace] = End{*back, piece, frontPlace | shortBit | kIsBack};
                if (placeOfPiece) placeOfPiece[piece] = front ? frontPlace : backPlace;
            });
        std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>>().swap(m_bucketOfEnd);
        for (std::size_t b = buckets; b > 0; --b) m_start[b] = m_start[b - 1];
        m_start[0] = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            if (m_start[b + 1] - m_start[b] > kCrowdedBucket) {
                m_crowded.push_back(static_cast<std::uint32_t>(b));
                m_crowdedFront.push_back(m_start[b]);
            }
        }
    }

    const End& At(std::uint32_t place) const { return m_ends[place]; }

    // Marks the ends of the piece that has the end at `place` as used up.
    void UseUp(std::uint32_t place) {
        m_ends[place].piece = kNone;
        const std::uint32_t mate = m_ends[place].mate & kNoMate;
        if (mate != kNoMate) m_ends[mate].piece = kNone;
    }

    // Whether an end meets an end of another piece. Read bucket by bucket, so in the order of
    // memory: far cheaper than the searches from piece to piece when nothing joins at all.
    bool AnyEndsMeet() {
        const auto never = [](std::uint32_t) { return false; };
        for (std::uint32_t k = 0; k < m_ends.size(); ++k) {
            bool found = false;
            ForEachNear(m_ends[k].point, never, [&](std::uint32_t place) {
                found = found || (m_ends[place].piece != m_ends[k].piece &&
                                  Meet(m_ends[place].point, m_ends[k].point, m_meet.squared));
                return found;
            });
            if (found) return true;
        }
        return false;
    }

    // Calls `visit(place)` for the ends in the buckets that can hold a point meeting `p` (and
    // possibly others that share those buckets): in each bucket in the order the ends were
    // placed, until `visit` returns true. Ends at the front of a crowded bucket for which
    // `gone(place)` holds are passed over for good, so `gone` must stay true for them in every
    // later search.
    template <typename Gone, typename Visit>
    void ForEachNear(const Point2d& p, Gone&& gone, Visit&& visit) {
        if (m_ends.empty()) return;
        const double scaledX = p.x * m_cellsPerUnitX;
        const double scaledY = p.y * m_cellsPerUnitY;
        const std::int64_t cellX = CellCoordinate(p.x, m_cellsPerUnitX);
        const std::int64_t cellY = CellCoordinate(p.y, m_cellsPerUnitY);
        // The margin covers the rounding of the scaled coordinates, which grows with them.
        const double reachX = m_reachX + std::fabs(scaledX) * 4.5e-16;
        const double reachY = m_reachY + std::fabs(scaledY) * 4.5e-16;
        // Beyond the limit points that meet are equal and share a cell: no neighbours there.
        const double fractionX = scaledX - static_cast<double>(cellX);
        const double fractionY = scaledY - static_cast<double>(cellY);
        const bool farX = FarCell(scaledX);
        const bool farY = FarCell(scaledY);
        const std::int64_t fromX = !farX && fractionX < reachX ? -1 : 0;
        const std::int64_t toX = !farX && fractionX > 1.0 - reachX ? 1 : 0;
        const std::int64_t fromY = !farY && fractionY < reachY ? -1 : 0;
        const std::int64_t toY = !farY && fractionY > 1.0 - reachY ? 1 : 0;
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
    // Lays a grid of 2^bits cells over the box, its columns and rows in the box's proportions.
    // False when the box gives no grid worth having.
    bool SetGrid(unsigned bits, double minX, double minY, double maxX, double maxY) {
        const double width = maxX - minX;
        const double height = maxY - minY;
        if (!(width < HUGE_VAL && height < HUGE_VAL) || (width == 0 && height == 0)) return false;
        int columnBits = 0;
        if (height == 0) {
            columnBits = static_cast<int>(bits);
        } else if (width > 0) {
            const double balanced = std::round((bits + std::log2(width / height)) / 2);
            columnBits = static_cast<int>(std::clamp(balanced, 0.0, double(bits)));
        }
        m_columnBits = static_cast<unsigned>(columnBits);
        m_rowBits = bits - m_columnBits;
        // Cells never narrower than the finest, so that a point meets only points of its own
        // cell or of the next one on each axis.
        SetScale(std::min(std::ldexp(1.0, columnBits) / width, FinestScale()),
                 std::min(std::ldexp(1.0, static_cast<int>(m_rowBits)) / height, FinestScale()));
        m_originX = static_cast<std::uint64_t>(CellCoordinate(minX, m_cellsPerUnitX));
        m_originY = static_cast<std::uint64_t>(CellCoordinate(minY, m_cellsPerUnitY));
        m_grid = true;
        return true;
    }

    double FinestScale() const { return 1.0 / (kFinestCells * m_meet.distance); }

    void SetScale(double cellsPerUnitX, double cellsPerUnitY) {
        m_cellsPerUnitX = cellsPerUnitX;
        m_cellsPerUnitY = cellsPerUnitY;
        // Points that meet lie less than this many cells apart; 0.01 more covers rounding.
        m_reachX = m_meet.distance * cellsPerUnitX + 0.01;
        m_reachY = m_meet.distance * cellsPerUnitY + 0.01;
    }

    // Counts the ends per bucket; false when the buckets come out so uneven that a search would
    // meet more than `crowding` ends on average.
    template <typename ForEachEnd>
    bool Count(std::size_t count, double crowding, ForEachEnd&& forEachEnd) {
        m_start.assign(m_mask + 2, 0);
        // Each end's bucket is kept, in the order of the ends, for the fill that follows.
        m_bucketOfEnd.resize(count);
        std::uint32_t* bucketOfEnd = m_bucketOfEnd.data();
        forEachEnd([&](const Point2d& p) {
            const auto b = static_cast<std::uint32_t>(Bucket(p));
            *bucketOfEnd++ = b;
            ++m_start[b];
        });
        double squares = 0.0;
        for (const std::uint32_t n : m_start) squares += static_cast<double>(n) * n;
        return squares <= crowding * static_cast<double>(count);
    }

    std::size_t CrowdedSlot(std::size_t bucket) const {
        return static_cast<std::size_t>(
            std::lower_bound(m_crowded.begin(), m_crowded.end(), bucket) - m_crowded.begin());
    }

    std::size_t Bucket(const Point2d& p) const {
        return BucketOfCell(CellCoordinate(p.x, m_cellsPerUnitX),
                            CellCoordinate(p.y, m_cellsPerUnitY));
    }

    std::size_t BucketOfCell(std::int64_t x, std::int64_t y) const {
        if (m_grid) {
            // Row by row. Cells past the box's far edge wrap around, which costs nothing but a
            // shared bucket.
            const std::uint64_t column =
                (static_cast<std::uint64_t>(x) - m_originX) & ((1ull << m_columnBits) - 1);
            const std::uint64_t row =
                (static_cast<std::uint64_t>(y) - m_originY) & ((1ull << m_rowBits) - 1);
            return static_cast<std::size_t>(row << m_columnBits | column);
        }
        // Cells next to each other in y fall into neighbouring buckets, so that a search that
        // looks into two of them reads one stretch of memory.
        std::uint64_t h = static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull;
        h ^= h >> 29;
        return static_cast<std::size_t>(h + static_cast<std::uint64_t>(y)) & m_mask;
    }

    bool m_grid = false;
    unsigned m_columnBits = 0;
    unsigned m_rowBits = 0;
    std::uint64_t m_originX = 0;
    std::uint64_t m_originY = 0;
    MeetDistance m_meet;
    double m_cellsPerUnitX;
    double m_cellsPerUnitY;
    double m_reachX = 0.5;
    double m_reachY = 0.5;
    std::size_t m_mask = 0;
    // Bucket b holds m_ends[m_start[b], m_start[b + 1]), its ends in ascending order of piece.
    std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>> m_start;
    std::vector<End, LargeArrayAllocator<End>> m_ends;
    std::vector<std::uint32_t, LargeArrayAllocator<std::uint32_t>> m_bucketOfEnd;  // while built
    std::vector<std::uint32_t> m_crowded;       // buckets of many ends, ascending
    std::vector<std::uint32_t> m_crowdedFront;  // where each crowded bucket's search begins
};

}  // namespace Vexlor::Dxf
