// The geometry types the importers share: 2D and 3D points, the polyline, the box of points and
// the affine map of space.
// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>  // std::min, std::max
#include <cstddef>    // std::size_t
#include <vector>     // std::vector

#include "point.h"
#include "polyline.h"

namespace Vexlor::Dxf {

using Point2d = Vexlor::Math::point<double, 2>;
using Point3d = Vexlor::Math::point<double, 3>;
using Polyline2d = Vexlor::Math::polyline<double, 2>;

/// Bounds folded point by point with std::min and std::max, as a box takes its points in turn:
/// the first of equal values stays (+0 and -0 are equal), and a NaN, which is neither less nor
/// greater than anything, changes no bound that is a number.
struct Bounds {
    double minX;
    double minY;
    double maxX;
    double maxY;

    void Take(const Point2d& p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }

    /// Takes the four points at `p`, none with a NaN, as in turn: folded among themselves first,
    /// earlier before later, and then into the bounds, so that each bound waits for one
    /// comparison rather than four. A NaN folded first would stand where in turn it is passed
    /// over.
    void TakeFour(const Point2d* p) {
        minX = std::min(minX, std::min(std::min(p[0].x, p[1].x), std::min(p[2].x, p[3].x)));
        minY = std::min(minY, std::min(std::min(p[0].y, p[1].y), std::min(p[2].y, p[3].y)));
        maxX = std::max(maxX, std::max(std::max(p[0].x, p[1].x), std::max(p[2].x, p[3].x)));
        maxY = std::max(maxY, std::max(std::max(p[0].y, p[1].y), std::max(p[2].y, p[3].y)));
    }
    /// Whether a coordinate of the four points at `p` may be NaN: true for every NaN, and
    /// harmlessly for infinities of both signs.
    static bool FourMayHaveNaN(const Point2d* p) {
        const double sum =
            ((p[0].x + p[1].x) + (p[2].x + p[3].x)) + ((p[0].y + p[1].y) + (p[2].y + p[3].y));
        return sum != sum;
    }

    /// Takes the points [p, end) in turn, but for those `skip(point)` names; four at a time
    /// where no NaN is among them.
    template <typename Skip>
    void TakeAll(const Point2d* p, const Point2d* end, Skip&& skip) {
        for (; end - p >= 4; p += 4) {
            if (!FourMayHaveNaN(p)) {
                TakeFour(p);
                continue;
            }
            for (int k = 0; k < 4; ++k) {
                if (!skip(p[k])) Take(p[k]);
            }
        }
        for (; p != end; ++p) {
            if (!skip(*p)) Take(*p);
        }
    }
    void TakeAll(const Point2d* p, const Point2d* end) {
        TakeAll(p, end, [](const Point2d&) { return false; });
    }
};

/// The box of the points given to Extend; (0, 0) to (0, 0) while there is none.
struct Box2d {
    Point2d minimum{0, 0};
    Point2d maximum{0, 0};
    bool empty = true;

    void Extend(const Point2d& p) {
        if (empty) {
            minimum = maximum = p;
            empty = false;
        }
        minimum = {std::min(minimum.x, p.x), std::min(minimum.y, p.y)};
        maximum = {std::max(maximum.x, p.x), std::max(maximum.y, p.y)};
    }
    /// Extend by each of `points` in turn, in registers rather than through the box.
    void Extend(const std::vector<Point2d>& points) {
        if (points.empty()) return;
        Extend(points.front());
        Bounds bounds{minimum.x, minimum.y, maximum.x, maximum.y};
        bounds.TakeAll(points.data() + 1, points.data() + points.size());
        minimum = {bounds.minX, bounds.minY};
        maximum = {bounds.maxX, bounds.maxY};
    }
    /// The longer side.
    double Extent() const { return std::max(maximum.x - minimum.x, maximum.y - minimum.y); }
};

/// An affine map of space: p' = m p + t, rows of m then t.
struct Affine3 {
    double m[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};

    static Affine3 Translation(const Point3d& t) {
        Affine3 a;
        a.m[0][3] = t.x;
        a.m[1][3] = t.y;
        a.m[2][3] = t.z;
        return a;
    }
    static Affine3 Scaling(double x, double y, double z) {
        Affine3 a;
        a.m[0][0] = x;
        a.m[1][1] = y;
        a.m[2][2] = z;
        return a;
    }
    /// A turn by `radians` about the z axis.
    static Affine3 Rotation(double radians);
    /// The map whose columns are the axes `x`, `y` and `z`: from a frame with these axes (in
    /// world coordinates) to the world.
    static Affine3 Columns(const Point3d& x, const Point3d& y, const Point3d& z);

    bool IsIdentity() const;
    /// The world xy of the point (x, y, z).
    Point2d ApplyXy(double x, double y, double z) const {
        return {m[0][0] * x + m[0][1] * y + m[0][2] * z + m[0][3],
                m[1][0] * x + m[1][1] * y + m[1][2] * z + m[1][3]};
    }
    /// The world xy of the direction (x, y, z): the translation left out.
    Point2d DirectionXy(const Point3d& d) const {
        return {m[0][0] * d.x + m[0][1] * d.y + m[0][2] * d.z,
                m[1][0] * d.x + m[1][1] * d.y + m[1][2] * d.z};
    }
    /// The largest factor by which the map of a frame's xy plane onto the world xy plane
    /// stretches a length: a curve flattened in the frame within tolerance / Stretch() is within
    /// the tolerance in the world.
    double Stretch() const;
};

/// a after b: (a * b)(p) = a(b(p)).
Affine3 operator*(const Affine3& a, const Affine3& b);

}  // namespace Vexlor::Dxf
