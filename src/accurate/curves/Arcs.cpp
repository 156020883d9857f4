// Flattening of circular and elliptic arcs and of the bulge arcs of polylines into points within
// a chord tolerance.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::max, std::min
#include <cmath>      // std::asin, std::atan, std::ceil, std::cos, std::fabs, std::fmod, ...
#include <cstddef>    // std::size_t

#include "accurate/curves/Curves.h"

namespace Vexlor::Dxf {
namespace {

/// 2 pi rounded to double, as drawings write a full turn.
constexpr double kTwoPi = 6.283185307179586;
/// Angles closer than this, relative to their magnitude, are the same angle.
constexpr double kAngleTolerance = 1e-12;

bool Finite(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool ValidTolerance(double tolerance) { return tolerance > 0 && std::isfinite(tolerance); }

/// sin(x) / x, which stays near 1 where both sin(x) and x vanish.
double Sinc(double x) { return x == 0 ? 1 : std::sin(x) / x; }

/// The fewest equal steps over `span` radians of a circle whose chords rise no more than the
/// tolerance, given as a fraction of the diameter: a step of angle a rises r (1 - cos(a / 2)) =
/// 2 r sin^2(a / 4), so steps up to 4 asin(sqrt(fraction)) qualify. The sine form keeps its
/// precision where the cosine form would round 1 - fraction to 1.
std::size_t StepCount(double span, double toleranceOverDiameter) {
    if (toleranceOverDiameter >= 1) return 1;  // no chord can rise more than the diameter
    const double steps = span / (4 * std::asin(std::sqrt(toleranceOverDiameter)));
    if (!(steps < static_cast<double>(kMaxCurveSegments))) return kMaxCurveSegments;
    return std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(steps)));
}

/// The largest semi-axis of the ellipse center + cos(t) u + sin(t) v: the largest singular value
/// of the matrix of columns u and v, scaled first so that no square overflows.
double LargestSemiAxis(const Point2d& u, const Point2d& v) {
    const double scale = std::max(std::max(std::fabs(u.x), std::fabs(u.y)),
                                  std::max(std::fabs(v.x), std::fabs(v.y)));
    if (scale == 0) return 0;
    const Point2d a{u.x / scale, u.y / scale};
    const Point2d b{v.x / scale, v.y / scale};
    const double uu = a.x * a.x + a.y * a.y;
    const double vv = b.x * b.x + b.y * b.y;
    const double uv = a.x * b.x + a.y * b.y;
    const double half = (uu - vv) / 2;
    return scale * std::sqrt((uu + vv) / 2 + std::sqrt(half * half + uv * uv));
}

/// AppendConjugateArc once its input is known to be finite. Mapping a circle arc's chords by
/// the matrix of columns u and v gives the chords of the image, and no deviation grows by more
/// than the largest semi-axis: steps sized for that circle hold for the image.
void AppendConjugateSteps(const Point2d& center, const Point2d& u, const Point2d& v,
                          double startParameter, double endParameter, double tolerance,
                          std::vector<Point2d>& out, CurveStart start) {
    const auto at = [&](double t) {
        const double c = std::cos(t);
        const double s = std::sin(t);
        return Point2d{center.x + (c * u.x + s * v.x), center.y + (c * u.y + s * v.y)};
    };
    const double span = ArcSpan(startParameter, endParameter);
    const double semiAxis = LargestSemiAxis(u, v);
    const Point2d first = at(startParameter);
    if (span == 0 || semiAxis == 0) {
        if (start == CurveStart::Append) out.push_back(first);
        return;
    }
    const std::size_t steps = StepCount(span, tolerance / semiAxis / 2);
    out.reserve(out.size() + steps + 1);
    if (start == CurveStart::Append) out.push_back(first);
    for (std::size_t i = 1; i < steps; ++i) {
        out.push_back(at(startParameter + span * (static_cast<double>(i) / steps)));
    }
    out.push_back(span == kTwoPi ? first : at(endParameter));
}

/// A control point in homogeneous form (w x, w y, w); w is 1 throughout a polynomial curve.
}  // namespace

double ArcSpan(double startAngle, double endAngle) {
    const double difference = endAngle - startAngle;
    if (!std::isfinite(difference)) return kTwoPi;  // angles beyond any count of turns
    const double magnitude = std::max({1.0, std::fabs(startAngle), std::fabs(endAngle)});
    const double tolerance = kAngleTolerance * magnitude;
    if (std::fabs(difference) <= tolerance) return 0;
    double span = std::fmod(difference, kTwoPi);
    if (span < 0) span += kTwoPi;
    if (span <= tolerance || span >= kTwoPi - tolerance) return kTwoPi;
    return span;
}

bool AppendBulgeArc(const Point2d& from, const Point2d& to, double bulge, double tolerance,
                    std::vector<Point2d>& out, CurveStart start) {
    if (!Finite(from) || !Finite(to) || !std::isfinite(bulge) || !ValidTolerance(tolerance)) {
        return false;
    }
    const Point2d chord{to.x - from.x, to.y - from.y};
    const double length = std::hypot(chord.x, chord.y);
    if (!std::isfinite(length)) return false;  // ends at opposite limits of double
    if (length == 0) {
        if (start == CurveStart::Append) out.push_back(from);
        return true;
    }
    const double magnitude = std::fabs(bulge);
    std::size_t steps = 1;
    // The arc rises |bulge| * length / 2 above its chord; beyond the tolerance it needs steps for
    // its radius r = length (|bulge| + 1 / |bulge|) / 4, written so that neither form overflows.
    if (magnitude * (length / 2) > tolerance) {
        const double shape = magnitude < 1 ? magnitude / (1 + magnitude * magnitude)
                                           : 1 / (magnitude + 1 / magnitude);
        steps = StepCount(4 * std::atan(magnitude), 2 * tolerance / length * shape);
    }
    out.reserve(out.size() + steps + 1);
    if (start == CurveStart::Append) out.push_back(from);
    const double halfAngle = 2 * std::atan(bulge);  // half the included angle, signed
    if (magnitude <= 1) {
        // Up to a half circle, each point is reached from `from` along the chord turned back by
        // half the angle still to go, over sin(half the angle so far) / sin(half the angle) of
        // its length: no radius or center enters, which a flat arc would make huge.
        const double sincHalf = Sinc(halfAngle);
        for (std::size_t i = 1; i < steps; ++i) {
            const double fraction = static_cast<double>(i) / steps;
            const double halfSoFar = halfAngle * fraction;
            const double scale = fraction * Sinc(halfSoFar) / sincHalf;
            const double c = std::cos(halfSoFar - halfAngle) * scale;
            const double s = std::sin(halfSoFar - halfAngle) * scale;
            out.push_back(
                {from.x + (c * chord.x - s * chord.y), from.y + (s * chord.x + c * chord.y)});
        }
    } else {
        // Beyond a half circle the center lies within a radius of the chord's middle, and
        // turning `from` about it keeps the precision the sine ratio would lose near a full turn.
        const double offset = (1 / bulge - bulge) / 4;
        const Point2d center{from.x + chord.x / 2 - offset * chord.y,
                             from.y + chord.y / 2 + offset * chord.x};
        const Point2d radial{from.x - center.x, from.y - center.y};
        for (std::size_t i = 1; i < steps; ++i) {
            const double angle = 2 * halfAngle * (static_cast<double>(i) / steps);
            const double c = std::cos(angle);
            const double s = std::sin(angle);
            out.push_back({center.x + (c * radial.x - s * radial.y),
                           center.y + (s * radial.x + c * radial.y)});
        }
    }
    out.push_back(to);
    return true;
}

bool AppendArc(const Point2d& center, double radius, double startAngle, double endAngle,
               double tolerance, std::vector<Point2d>& out, CurveStart start) {
    if (!(radius >= 0) || !std::isfinite(radius)) return false;
    return AppendConjugateArc(center, {radius, 0}, {0, radius}, startAngle, endAngle, tolerance,
                              out, start);
}

bool AppendCircle(const Point2d& center, double radius, double tolerance, std::vector<Point2d>& out,
                  CurveStart start) {
    return AppendArc(center, radius, 0, kTwoPi, tolerance, out, start);
}

bool AppendEllipticArc(const Point2d& center, const Point2d& majorAxis, double ratio,
                       double startParameter, double endParameter, double tolerance,
                       std::vector<Point2d>& out, CurveStart start) {
    if (!(ratio > 0) || !std::isfinite(ratio)) return false;
    const Point2d minorAxis{-majorAxis.y * ratio, majorAxis.x * ratio};
    return AppendConjugateArc(center, majorAxis, minorAxis, startParameter, endParameter, tolerance,
                              out, start);
}

bool AppendConjugateArc(const Point2d& center, const Point2d& axisU, const Point2d& axisV,
                        double startParameter, double endParameter, double tolerance,
                        std::vector<Point2d>& out, CurveStart start) {
    if (!Finite(center) || !Finite(axisU) || !Finite(axisV) || !std::isfinite(startParameter) ||
        !std::isfinite(endParameter) || !ValidTolerance(tolerance)) {
        return false;
    }
    AppendConjugateSteps(center, axisU, axisV, startParameter, endParameter, tolerance, out, start);
    return true;
}

}  // namespace Vexlor::Dxf
