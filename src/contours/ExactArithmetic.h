// Exact signs of small polynomials in coordinates, for points whose coordinates lie in a range
// where no product of up to five differences overflows or loses bits to underflow.
// SPDX-License-Identifier: MIT
#pragma once

#include <cmath>   // std::fabs, std::fma
#include <vector>  // std::vector

#include "contours/Geometry.h"

namespace Vexlor::Dxf {

/// Coordinates that the functions here handle exactly: zero, or of magnitude within
/// [2^-kExactExponentLimit, 2^kExactExponentLimit]. Then every sum, product and error term of
/// a polynomial of degree five in the coordinates is a normal number (the smallest nonzero
/// term is a multiple of 2^(-5 * (150 + 52)) > 2^-1022, the largest below 2^770).
constexpr int kExactExponentLimit = 150;

namespace Exact {

// a + b as the rounded sum and its exact error.
inline void TwoSum(double a, double b, double& sum, double& error) {
    sum = a + b;
    const double virtualB = sum - a;
    const double virtualA = sum - virtualB;
    error = (a - virtualA) + (b - virtualB);
}

// a * b as the rounded product and its exact error; the fused multiply-add is exact.
inline void TwoProduct(double a, double b, double& product, double& error) {
    product = a * b;
    error = std::fma(a, b, -product);
}

}  // namespace Exact

/// A real number held exactly as a sum of doubles that do not overlap, smallest first.
class Expansion {
public:
    Expansion() = default;
    explicit Expansion(double value) { Grow(value); }

    /// a - b, exactly.
    static Expansion Difference(double a, double b) {
        double sum;
        double error;
        Exact::TwoSum(a, -b, sum, error);
        Expansion result;
        result.Grow(error);
        result.Grow(sum);
        return result;
    }

    Expansion operator+(const Expansion& other) const {
        Expansion result;
        result.m_terms.reserve(m_terms.size() + other.m_terms.size());
        result.m_terms = m_terms;
        for (const double term : other.m_terms) result.Grow(term);
        return result;
    }
    Expansion operator-() const {
        Expansion result = *this;
        for (double& term : result.m_terms) term = -term;
        return result;
    }
    Expansion operator-(const Expansion& other) const { return *this + (-other); }
    Expansion operator*(double factor) const {
        Expansion result;
        result.m_terms.reserve(2 * m_terms.size());
        for (const double term : m_terms) {
            double product;
            double error;
            Exact::TwoProduct(term, factor, product, error);
            result.Grow(error);
            result.Grow(product);
        }
        return result;
    }
    Expansion operator*(const Expansion& other) const {
        Expansion result;
        for (const double term : other.m_terms) result = result + *this * term;
        return result;
    }

    /// -1, 0 or 1.
    int Sign() const {
        if (m_terms.empty()) return 0;
        return m_terms.back() > 0 ? 1 : -1;
    }
    /// The value rounded, give or take a unit in its last place.
    double Estimate() const {
        double sum = 0;
        for (const double term : m_terms) sum += term;
        return sum;
    }

private:
    // Adds one double: the carry runs from the smallest term up; zero terms are dropped, which
    // keeps the largest nonzero term last and so the sign at the back.
    void Grow(double term) {
        std::size_t kept = 0;
        double carry = term;
        for (std::size_t i = 0; i < m_terms.size(); ++i) {
            double sum;
            double error;
            Exact::TwoSum(carry, m_terms[i], sum, error);
            if (error != 0) m_terms[kept++] = error;
            carry = sum;
        }
        m_terms.resize(kept);
        if (carry != 0) m_terms.push_back(carry);
    }

    std::vector<double> m_terms;
};

/// (b - a) x (c - a), exactly.
inline Expansion Orientation(const Point2d& a, const Point2d& b, const Point2d& c) {
    return Expansion::Difference(b.x, a.x) * Expansion::Difference(c.y, a.y) -
           Expansion::Difference(b.y, a.y) * Expansion::Difference(c.x, a.x);
}

/// The sign (-1, 0 or 1) of (b - a) x (c - a): positive when c lies to the left of the
/// directed line from a to b. Exact for coordinates within the range above.
inline int OrientationSign(const Point2d& a, const Point2d& b, const Point2d& c) {
    // Shared end points are common and would take the slow exact path below.
    if (Equal(c, a) || Equal(c, b)) return 0;
    const double left = (b.x - a.x) * (c.y - a.y);
    const double right = (b.y - a.y) * (c.x - a.x);
    const double determinant = left - right;
    // The rounding of the three subtractions of each product and of the final one stays below
    // this share of the products' magnitudes.
    const double bound = 3.3306690738754716e-16 * (std::fabs(left) + std::fabs(right));
    if (determinant > bound) return 1;
    if (-determinant > bound) return -1;
    return Orientation(a, b, c).Sign();
}

}  // namespace Vexlor::Dxf
