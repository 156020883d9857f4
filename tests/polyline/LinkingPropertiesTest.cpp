// Properties of point reduction, linking and the crossing test over seeded random input.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstddef>  // std::size_t
#include <cstdint>  // std::uint64_t
#include <cstdio>   // std::snprintf
#include <cstring>  // std::memcpy
#include <random>   // std::mt19937
#include <set>      // std::set
#include <string>   // std::string
#include <utility>  // std::pair
#include <vector>   // std::vector

#include "DxfTestSupport.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "polyline/PolylineLinking.h"

namespace {

using Vexlor::Dxf::Polyline2d;
using Vexlor::Dxf::PolylinesCross;
using Vexlor::Dxf::RemoveDuplicatePoints;
using VexlorDxfTest::DxfText;
using VexlorDxfTest::EntitiesDrawing;
using VexlorDxfTest::Group;
using VexlorDxfTest::RawPolylineReader;
using VexlorDxfTest::TempFile;
using VexlorDxfTest::Text;
using Point = Vexlor::Math::point<double, 2>;

constexpr unsigned kSeed = 7477u;

bool Equal(const Point& p, const Point& q) { return p.x == q.x && p.y == q.y; }
bool Meet(const Point& p, const Point& q) {
    const double dx = p.x - q.x;
    const double dy = p.y - q.y;
    return dx * dx + dy * dy < 1e-8;
}
bool Equal(const Polyline2d& p, const Polyline2d& q) {
    if (p.closed != q.closed || p.points.size() != q.points.size()) return false;
    for (std::size_t k = 0; k < p.points.size(); ++k) {
        if (!Equal(p.points[k], q.points[k])) return false;
    }
    return true;
}

// Points that often coincide: a few grid anchors, offsets just inside and just outside the
// 0.0001 meeting distance (along an axis and diagonally), and now and then a stray point.
float Coordinate(std::mt19937& random, float anchor) {
    static const float kOffsets[] = {0,         0,        0,       0,        0,       0.00005f,
                                     -0.00009f, 0.00011f, 0.0002f, 0.00007f, 0.00008f};
    return anchor + kOffsets[random() % (sizeof kOffsets / sizeof kOffsets[0])];
}
Point RandomPoint(std::mt19937& random) {
    if (random() % 20 == 0) {
        return {static_cast<float>(random() % 1000) / 64.0f,
                static_cast<float>(random() % 1000) / 64.0f};
    }
    const float ax = static_cast<float>(random() % 4);
    const float ay = static_cast<float>(random() % 3);
    return {Coordinate(random, ax), Coordinate(random, ay)};
}

// A drawing of up to 30 pieces: lines (zero-length ones too), open and closed lightweight
// polylines with repeated points, and exact or reversed copies of earlier pieces.
std::vector<Group> RandomDrawing(std::mt19937& random) {
    std::vector<std::vector<Point>> pieces;
    const std::size_t count = 1 + random() % 30;
    for (std::size_t k = 0; k < count; ++k) {
        std::vector<Point> piece;
        const unsigned kind = random() % 8;
        if (kind < 2 && !pieces.empty()) {
            piece = pieces[random() % pieces.size()];
            if (kind == 1) piece.assign(piece.rbegin(), piece.rend());
        } else {
            const std::size_t n = kind < 5 ? 2 : 2 + random() % 4;
            for (std::size_t j = 0; j < n; ++j) {
                piece.push_back(j > 0 && random() % 5 == 0 ? piece.back() : RandomPoint(random));
            }
            if (kind == 7) piece.push_back(piece.front());
        }
        pieces.push_back(piece);
    }
    std::vector<Group> entities;
    for (const std::vector<Point>& piece : pieces) {
        const bool line = piece.size() == 2 && random() % 2 == 0;
        entities.push_back({0, line ? "LINE" : "LWPOLYLINE"});
        for (std::size_t j = 0; j < piece.size(); ++j) {
            const int code = line ? 10 + static_cast<int>(j) : 10;
            entities.push_back({code, Text(piece[j].x)});
            entities.push_back({code + 10, Text(piece[j].y)});
        }
    }
    return entities;
}

using Bits = std::pair<std::uint64_t, std::uint64_t>;
Bits BitsOf(const Point& p) {
    Bits bits;
    std::memcpy(&bits.first, &p.x, sizeof p.x);
    std::memcpy(&bits.second, &p.y, sizeof p.y);
    return bits;
}

// Each edge u-v of a joined chain is an edge of some open piece, except that at a joint one of
// its ends may be the other piece's end point it met.
bool EdgeFromInput(const Point& u, const Point& v, const std::vector<Polyline2d>& raw) {
    for (const Polyline2d& piece : raw) {
        if (piece.closed) continue;
        for (std::size_t k = 0; k + 1 < piece.points.size(); ++k) {
            for (int flip = 0; flip < 2; ++flip) {
                const Point& s = piece.points[k + flip];
                const Point& t = piece.points[k + 1 - flip];
                if ((Equal(u, s) && Meet(v, t)) || (Meet(u, s) && Equal(v, t))) return true;
            }
        }
    }
    return false;
}

TEST(LinkingProperties, RandomDrawings) {
    std::mt19937 random(kSeed);
    TempFile file;
    for (int round = 0; round < 300; ++round) {
        file.Write(DxfText(EntitiesDrawing(RandomDrawing(random))));
        std::vector<Polyline2d> raw;
        RawPolylineReader rawReader(raw);
        ASSERT_EQ(rawReader.Import(file.WidePath()), CDXFReader::eOk);
        std::vector<Polyline2d> linked;
        MStlBaseOperatorDXFPolylineReader reader(linked);
        const int code = reader.Import(file.WidePath());
        const std::string where =
            "seed " + std::to_string(kSeed) + ", round " + std::to_string(round);

        ASSERT_EQ(code == 3, linked.empty()) << where;
        ASSERT_TRUE(code == 0 || code == 3 || code == 4) << where << ": code " << code;

        std::set<Bits> inputPoints;
        for (const Polyline2d& p : raw) {
            for (const Point& q : p.points) inputPoints.insert(BitsOf(q));
        }
        std::vector<Polyline2d> expectedClosed;
        for (const Polyline2d& p : raw) {
            Polyline2d reduced = RemoveDuplicatePoints(p);
            if (p.closed && reduced.points.size() >= 2) expectedClosed.push_back(reduced);
        }
        std::vector<Polyline2d> closed;
        std::vector<const Polyline2d*> open;
        for (const Polyline2d& p : linked) {
            ASSERT_GE(p.points.size(), 2u) << where;
            for (const Point& q : p.points) {
                ASSERT_TRUE(inputPoints.count(BitsOf(q)))
                    << where << ": invented (" << q.x << ", " << q.y << ")";
            }
            if (p.closed) {
                closed.push_back(p);
            } else {
                open.push_back(&p);
                for (std::size_t k = 0; k + 1 < p.points.size(); ++k) {
                    ASSERT_TRUE(EdgeFromInput(p.points[k], p.points[k + 1], raw))
                        << where << ": edge " << k;
                }
            }
        }
        ASSERT_EQ(closed.size(), expectedClosed.size()) << where;
        for (std::size_t k = 0; k < closed.size(); ++k) {
            ASSERT_TRUE(Equal(closed[k], expectedClosed[k]))
                << where << ": closed polyline " << k << " changed";
        }
        // Linking goes on until no two open pieces meet at an end.
        for (std::size_t i = 0; i < open.size(); ++i) {
            for (std::size_t j = i + 1; j < open.size(); ++j) {
                const auto& pa = open[i]->points;
                const auto& pb = open[j]->points;
                const bool meet = Meet(pa.front(), pb.front()) || Meet(pa.back(), pb.front()) ||
                                  Meet(pa.front(), pb.back()) || Meet(pa.back(), pb.back());
                ASSERT_FALSE(meet)
                    << where << ": open pieces " << i << " and " << j << " still meet";
            }
        }
    }
}

// Polylines of few distinct points with long runs, so that reduction has work to do.
Polyline2d RunsPolyline(std::mt19937& random) {
    static const Point kValues[] = {{0, 0}, {1, 0}, {1, 0.00001}};
    Polyline2d p;
    p.closed = random() % 2 == 0;
    const std::size_t n = random() % 12;
    for (std::size_t k = 0; k < n; ++k) p.points.push_back(kValues[random() % 3]);
    return p;
}

TEST(LinkingProperties, PointReductionCollapsesRunsAndIsIdempotent) {
    std::mt19937 random(kSeed);
    for (int round = 0; round < 5000; ++round) {
        const Polyline2d input = RunsPolyline(random);
        const Polyline2d once = RemoveDuplicatePoints(input);
        const std::string where =
            "seed " + std::to_string(kSeed) + ", round " + std::to_string(round);
        ASSERT_EQ(once.closed, input.closed) << where;
        ASSERT_TRUE(Equal(RemoveDuplicatePoints(once), once)) << where;
        // One point per run; in a closed polyline the runs wrap around, and a polyline of one
        // repeated point keeps at most one.
        const std::size_t n = input.points.size();
        std::size_t runs = n == 0 ? 0 : 1;
        for (std::size_t k = 1; k < n; ++k) runs += !Equal(input.points[k], input.points[k - 1]);
        if (input.closed && runs > 1 && Equal(input.points.front(), input.points.back())) --runs;
        if (input.closed && runs == 1 && n > 1) {
            ASSERT_LE(once.points.size(), 1u) << where;
            continue;
        }
        ASSERT_EQ(once.points.size(), runs) << where;
        // The kept points are the runs' values in their order, from some start when closed.
        const std::size_t m = once.points.size();
        bool found = m == 0;
        for (std::size_t start = 0; start < (input.closed ? n : 1) && !found; ++start) {
            std::size_t k = 0;
            for (std::size_t step = 0; step < n && k < m; ++step)
                k += Equal(input.points[(start + step) % n], once.points[k]);
            found = k == m;
        }
        ASSERT_TRUE(found) << where;
        for (std::size_t j = 0; j + 1 < m; ++j) {
            ASSERT_FALSE(Equal(once.points[j], once.points[j + 1])) << where;
        }
        if (input.closed && m > 1) {
            ASSERT_FALSE(Equal(once.points.back(), once.points.front())) << where;
        }
    }
}

// Integer points on a small grid, so that many segments touch, overlap or share corners.
Polyline2d GridPolyline(std::mt19937& random) {
    Polyline2d p;
    p.closed = random() % 3 == 0;
    const std::size_t n = 1 + random() % 5;
    for (std::size_t k = 0; k < n; ++k) {
        p.points.push_back({static_cast<double>(random() % 5), static_cast<double>(random() % 5)});
    }
    return p;
}

// Exact orientation of r against the line p-q (grid coordinates keep it exact).
long long Orientation(const Point& p, const Point& q, const Point& r) {
    const auto x = [](double v) { return static_cast<long long>(v); };
    return (x(q.x) - x(p.x)) * (x(r.y) - x(p.y)) - (x(q.y) - x(p.y)) * (x(r.x) - x(p.x));
}

bool CrossByOrientation(const Polyline2d& a, const Polyline2d& b) {
    const auto segments = [](const Polyline2d& p) {
        std::vector<std::pair<Point, Point>> s;
        const std::size_t n = p.points.size();
        for (std::size_t k = 0; k + 1 < n; ++k) s.push_back({p.points[k], p.points[k + 1]});
        if (p.closed && n > 0) s.push_back({p.points[n - 1], p.points[0]});
        return s;
    };
    for (const auto& [p1, p2] : segments(a)) {
        for (const auto& [q1, q2] : segments(b)) {
            const long long o1 = Orientation(p1, p2, q1);
            const long long o2 = Orientation(p1, p2, q2);
            const long long o3 = Orientation(q1, q2, p1);
            const long long o4 = Orientation(q1, q2, p2);
            if (((o1 < 0 && o2 > 0) || (o1 > 0 && o2 < 0)) &&
                ((o3 < 0 && o4 > 0) || (o3 > 0 && o4 < 0)))
                return true;
        }
    }
    return false;
}

TEST(LinkingProperties, CrossingTestIsSymmetricAndExactOnTheGrid) {
    std::mt19937 random(kSeed);
    for (int round = 0; round < 20000; ++round) {
        const Polyline2d a = GridPolyline(random);
        Polyline2d b = GridPolyline(random);
        const std::string where =
            "seed " + std::to_string(kSeed) + ", round " + std::to_string(round);
        const bool crosses = PolylinesCross(a, b);
        ASSERT_EQ(crosses, CrossByOrientation(a, b)) << where;
        ASSERT_EQ(PolylinesCross(b, a), crosses) << where;
        // Off the grid: one point moved by a hair, where rounding decides.
        if (!b.points.empty())
            b.points[random() % b.points.size()].x += 1e-12 * (random() % 3) - 1e-12;
        ASSERT_EQ(PolylinesCross(b, a), PolylinesCross(a, b)) << where << " (moved)";
    }
}

}  // namespace
