// The affine map of space.
// SPDX-License-Identifier: MIT
#include "geometry/Space.h"

#include <cmath>  // std::cos, std::sin, std::sqrt

namespace Vexlor::Dxf {

Affine3 Affine3::Rotation(double radians) {
    Affine3 a;
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    a.m[0][0] = c;
    a.m[0][1] = -s;
    a.m[1][0] = s;
    a.m[1][1] = c;
    return a;
}

Affine3 Affine3::Columns(const Point3d& x, const Point3d& y, const Point3d& z) {
    Affine3 a;
    const Point3d* columns[3] = {&x, &y, &z};
    for (int c = 0; c < 3; ++c) {
        a.m[0][c] = columns[c]->x;
        a.m[1][c] = columns[c]->y;
        a.m[2][c] = columns[c]->z;
    }
    return a;
}

bool Affine3::IsIdentity() const {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (m[r][c] != (r == c ? 1.0 : 0.0)) return false;
        }
    }
    return true;
}

double Affine3::Stretch() const {
    // The larger singular value of the 2 x 2 map of the frame's x and y onto world x and y.
    const double a = m[0][0], b = m[0][1], c = m[1][0], d = m[1][1];
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    const double gap = std::sqrt(std::max(0.0, sum * sum - 4 * det * det));
    return std::sqrt((sum + gap) / 2);
}

Affine3 operator*(const Affine3& a, const Affine3& b) {
    Affine3 r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 4; ++j) {
            double v = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
            if (j == 3) v += a.m[i][3];
            r.m[i][j] = v;
        }
    }
    return r;
}

}  // namespace Vexlor::Dxf
