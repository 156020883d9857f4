// Flattening of NURBS curves and of splines through fit points into points within a chord
// tolerance.
// SPDX-License-Identifier: MIT
#include <algorithm>  // std::all_of, std::max, std::min
#include <cmath>      // std::fabs, std::isfinite, std::sqrt
#include <cstddef>    // std::size_t
#include <memory>     // std::unique_ptr
#include <utility>    // std::move

#include "accurate/curves/Curves.h"

namespace Vexlor::Dxf {
namespace {

/// Beyond this many halvings a piece of a knot span is below the resolution of its parameter.
constexpr int kMaxHalvings = 52;

bool Finite(const Point2d& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

bool ValidTolerance(double tolerance) { return tolerance > 0 && std::isfinite(tolerance); }

struct Weighted {
    double x;
    double y;
    double w;
};

/// (1 - t) a + t b, which gives a itself at t = 0 and b at t = 1. Weights all 1 stay as they
/// are: nothing reads them.
template <bool kRational>
Weighted Mix(const Weighted& a, const Weighted& b, double t) {
    const double s = 1 - t;
    return {s * a.x + t * b.x, s * a.y + t * b.y, kRational ? s * a.w + t * b.w : 1.0};
}

/// Splits NURBS curves into Bezier pieces and halves them until flat, appending piece ends.
/// Curves without weights (kRational false) leave the weight out of every step.
template <bool kRational>
class NurbsFlattener {
public:
    NurbsFlattener(const NurbsCurve& curve, const std::vector<double>& knots, double tolerance)
        : m_degree(static_cast<std::size_t>(curve.degree)),
          m_knots(knots),
          m_toleranceSquared(tolerance * tolerance),
          m_work(m_degree + 1),
          m_levels((m_degree + 1) * (m_degree + 1)),
          m_endWeights((m_degree + 1) * (m_degree + 1)),
          m_stack(new Weighted[kMostPending * (m_degree + 1)]) {
        m_control.reserve(curve.controlPoints.size());
        for (std::size_t i = 0; i < curve.controlPoints.size(); ++i) {
            const double w = kRational ? curve.weights[i] : 1;
            const Point2d& p = curve.controlPoints[i];
            m_control.push_back(kRational ? Weighted{w * p.x, w * p.y, w} : Weighted{p.x, p.y, 1});
        }
    }

    void Append(std::vector<Point2d>& out, CurveStart start) {
        const std::size_t n = m_control.size();
        // Segments the curve will have: one per span and per break, one more for each halving,
        // which stop at the bound.
        std::size_t planned = 0;
        for (std::size_t i = m_degree; i < n; ++i) {
            if (m_knots[i] < m_knots[i + 1]) planned += planned > 0 && _Broken(i) ? 2 : 1;
        }
        bool first = true;
        for (std::size_t i = m_degree; i < n; ++i) {
            if (!(m_knots[i] < m_knots[i + 1])) continue;
            _SpanBezier(i, m_stack.get());
            std::size_t pending = 1;
            m_depths[0] = 0;
            if (first ? start == CurveStart::Append : _Broken(i)) {
                out.push_back(_Project(m_stack[0]));
            }
            first = false;
            while (pending > 0) {
                Weighted* top = &m_stack[(pending - 1) * (m_degree + 1)];
                const int depth = m_depths[pending - 1];
                if (depth < kMaxHalvings && planned < kMaxCurveSegments && !_Flat(top)) {
                    _Halve(top);
                    m_depths[pending - 1] = depth + 1;
                    m_depths[pending++] = depth + 1;
                    ++planned;
                    continue;
                }
                out.push_back(_Project(top[m_degree]));
                --pending;
            }
        }
    }

private:
    /// Whether the knot starting span `span` is repeated degree + 1 times, which breaks the curve
    /// there: a straight segment joins the parts, since the points make one polyline.
    bool _Broken(std::size_t span) const { return m_knots[span - m_degree] == m_knots[span]; }

    Point2d _Project(const Weighted& p) const {
        return kRational ? Point2d{p.x / p.w, p.y / p.w} : Point2d{p.x, p.y};
    }

    /// The Bezier points of knot span `span` into `bezier`: point k is the blossom of the span's
    /// polynomial at its start repeated degree - k times and its end k times, each evaluated by
    /// the de Boor recursion with one argument per level, the start's levels first. Blossoms
    /// share the levels of the start they begin with: those are worked out once, in
    /// m_levels, and each level's weights at the end once, in m_endWeights.
    void _SpanBezier(std::size_t span, Weighted* bezier) {
        if (m_degree == 3) return _CubicSpanBezier(span, bezier);
        const std::size_t p = m_degree;
        const std::size_t row = p + 1;
        const double a = m_knots[span];
        const double b = m_knots[span + 1];
        const auto weight = [&](double t, std::size_t r, std::size_t j) {
            const double left = m_knots[span - p + j];
            const double right = m_knots[span + j - r + 1];
            return (t - left) / (right - left);
        };
        // Level r holds, at r..p, the points after r levels at the start.
        std::copy(m_control.begin() + (span - p), m_control.begin() + (span + 1), m_levels.begin());
        for (std::size_t r = 1; r <= p; ++r) {
            const Weighted* last = &m_levels[(r - 1) * row];
            Weighted* level = &m_levels[r * row];
            for (std::size_t j = p; j >= r; --j) {
                level[j] = Mix<kRational>(last[j - 1], last[j], weight(a, r, j));
                m_endWeights[r * row + j] = weight(b, r, j);
            }
        }
        bezier[0] = m_levels[p * row + p];
        // Blossom k: the start's first p - k levels, then the end's.
        for (std::size_t k = 1; k <= p; ++k) {
            const std::size_t from = p - k;
            std::copy(m_levels.begin() + static_cast<std::ptrdiff_t>(from * row + from),
                      m_levels.begin() + static_cast<std::ptrdiff_t>(from * row + row),
                      m_work.begin() + static_cast<std::ptrdiff_t>(from));
            for (std::size_t r = from + 1; r <= p; ++r) {
                for (std::size_t j = p; j >= r; --j) {
                    m_work[j] = Mix<kRational>(m_work[j - 1], m_work[j], m_endWeights[r * row + j]);
                }
            }
            bezier[k] = m_work[p];
        }
    }

    /// _SpanBezier for degree 3, which nearly every drawing's splines have: the same steps on
    /// the same numbers, with every level a value of its own rather than a row in memory, so
    /// that the steps of a span run side by side instead of each waiting for the last one's
    /// store. l<r><j> is point j after r levels at the start, e<r><j> that step's weight at the
    /// end, m<r><j> point j after r levels at the end, and lm<2><j> point j after one level at
    /// the start and one at the end.
    void _CubicSpanBezier(std::size_t span, Weighted* bezier) const {
        const double* knot = &m_knots[span - 3];
        const double a = knot[3];
        const double b = knot[4];
        const auto weight = [&](double t, std::size_t r, std::size_t j) {
            return (t - knot[j]) / (knot[j - r + 4] - knot[j]);
        };
        const Weighted* c = &m_control[span - 3];
        const double e11 = weight(b, 1, 1), e12 = weight(b, 1, 2), e13 = weight(b, 1, 3);
        const double e22 = weight(b, 2, 2), e23 = weight(b, 2, 3), e33 = weight(b, 3, 3);
        const Weighted l11 = Mix<kRational>(c[0], c[1], weight(a, 1, 1));
        const Weighted l12 = Mix<kRational>(c[1], c[2], weight(a, 1, 2));
        const Weighted l13 = Mix<kRational>(c[2], c[3], weight(a, 1, 3));
        const Weighted l22 = Mix<kRational>(l11, l12, weight(a, 2, 2));
        const Weighted l23 = Mix<kRational>(l12, l13, weight(a, 2, 3));
        bezier[0] = Mix<kRational>(l22, l23, weight(a, 3, 3));
        bezier[1] = Mix<kRational>(l22, l23, e33);
        const Weighted lm22 = Mix<kRational>(l11, l12, e22);
        const Weighted lm23 = Mix<kRational>(l12, l13, e23);
        bezier[2] = Mix<kRational>(lm22, lm23, e33);
        const Weighted m11 = Mix<kRational>(c[0], c[1], e11);
        const Weighted m12 = Mix<kRational>(c[1], c[2], e12);
        const Weighted m13 = Mix<kRational>(c[2], c[3], e13);
        const Weighted m22 = Mix<kRational>(m11, m12, e22);
        const Weighted m23 = Mix<kRational>(m12, m13, e23);
        bezier[3] = Mix<kRational>(m22, m23, e33);
    }

    /// True when every inner control point of the piece lies within the tolerance of the chord
    /// between its ends. Weights are positive, so the piece lies in the hull of its points, and the
    /// distance to the chord, a convex function, is largest at one of them.
    bool _Flat(const Weighted* piece) const {
        const Point2d a = _Project(piece[0]);
        const Point2d b = _Project(piece[m_degree]);
        const Point2d chord{b.x - a.x, b.y - a.y};
        const double lengthSquared = chord.x * chord.x + chord.y * chord.y;
        for (std::size_t k = 1; k < m_degree; ++k) {
            const Point2d p = _Project(piece[k]);
            double dx = p.x - a.x;
            double dy = p.y - a.y;
            if (lengthSquared > 0) {
                const double along = (dx * chord.x + dy * chord.y) / lengthSquared;
                const double t = std::min(1.0, std::max(0.0, along));
                dx -= t * chord.x;
                dy -= t * chord.y;
            }
            if (!(dx * dx + dy * dy <= m_toleranceSquared)) return false;
        }
        return true;
    }

    /// Halves the piece at `top`, the last on the stack, at its middle parameter (de Casteljau):
    /// its second half takes its place and its first half goes on top, to be flattened next.
    void _Halve(Weighted* top) {
        if (m_degree == 3) return _HalveCubic(top);
        const std::size_t p = m_degree;
        Weighted* high = top;
        Weighted* low = high + (p + 1);
        std::copy(high, high + p + 1, m_work.begin());
        low[0] = m_work[0];
        for (std::size_t r = 1; r <= p; ++r) {
            for (std::size_t j = 0; j + r <= p; ++j) {
                m_work[j] = Mix<kRational>(m_work[j], m_work[j + 1], 0.5);
            }
            low[r] = m_work[0];
            high[p - r] = m_work[p - r];
        }
    }

    /// _Halve for degree 3, its levels held as values of their own (as in _CubicSpanBezier):
    /// a<j> after one level, b<j> after two, c0 the middle point.
    static void _HalveCubic(Weighted* top) {
        Weighted* high = top;
        Weighted* low = high + 4;
        const Weighted a0 = Mix<kRational>(top[0], top[1], 0.5);
        const Weighted a1 = Mix<kRational>(top[1], top[2], 0.5);
        const Weighted a2 = Mix<kRational>(top[2], top[3], 0.5);
        const Weighted b0 = Mix<kRational>(a0, a1, 0.5);
        const Weighted b1 = Mix<kRational>(a1, a2, 0.5);
        const Weighted c0 = Mix<kRational>(b0, b1, 0.5);
        low[0] = top[0];
        low[1] = a0;
        low[2] = b0;
        low[3] = c0;
        high[0] = c0;
        high[1] = b1;
        high[2] = a2;
    }

    const std::size_t m_degree;
    const std::vector<double>& m_knots;
    const double m_toleranceSquared;
    std::vector<Weighted> m_control;
    std::vector<Weighted> m_work;
    std::vector<Weighted> m_levels;    // a span's de Boor levels at its start, a row each
    std::vector<double> m_endWeights;  // the weights of each level at its end, a row each
    /// Pieces still to flatten, degree + 1 points each, the next one last; and their halvings.
    /// Each halving of the last piece adds one more, one level deeper: there are never more
    /// than one per level. Their room is written before it is read.
    static constexpr std::size_t kMostPending = kMaxHalvings + 1;
    std::unique_ptr<Weighted[]> m_stack;
    int m_depths[kMostPending] = {};
};

/// `v` scaled to length 1, or nothing when it is zero or not finite.
std::optional<Point2d> Direction(const Point2d& v) {
    if (!Finite(v)) return std::nullopt;
    const double scale = std::max(std::fabs(v.x), std::fabs(v.y));
    if (scale == 0) return std::nullopt;
    const Point2d s{v.x / scale, v.y / scale};
    const double length = std::sqrt(s.x * s.x + s.y * s.y);
    return Point2d{s.x / length, s.y / length};
}

/// The direction a spline through fit points leaves `end` in when the drawing gives none: that of
/// the parabola through `end`, `next` and `after` at equal parameter steps, 3 q1 - q2 up to scale
/// for the chords q1 = next - end and q2 = after - next. It equals weighing the chords extended
/// backwards in equal turns by how sharply the polyline turns on either side. With two points
/// only, the chord.
Point2d EstimatedEndDirection(const Point2d& end, const Point2d& next, const Point2d* after) {
    const Point2d q1{next.x - end.x, next.y - end.y};
    if (after == nullptr) return q1;
    const Point2d q2{after->x - next.x, after->y - next.y};
    return {3 * q1.x - q2.x, 3 * q1.y - q2.y};
}

/// The unit direction given for an end, else the estimated one, else the chord at that end.
Point2d EndDirection(const std::optional<Point2d>& given, const Point2d& estimated,
                     const Point2d& chord) {
    if (given) {
        if (const auto d = Direction(*given)) return *d;
    }
    if (const auto d = Direction(estimated)) return *d;
    return *Direction(chord);
}

}  // namespace

bool AppendNurbs(const NurbsCurve& curve, double tolerance, std::vector<Point2d>& out,
                 CurveStart start) {
    const std::size_t n = curve.controlPoints.size();
    if (curve.degree < 1 || curve.degree > kMaxNurbsDegree || !ValidTolerance(tolerance)) {
        return false;
    }
    const auto p = static_cast<std::size_t>(curve.degree);
    if (n <= p || !std::all_of(curve.controlPoints.begin(), curve.controlPoints.end(), Finite)) {
        return false;
    }
    if (!curve.weights.empty()) {
        if (curve.weights.size() != n) return false;
        for (const double w : curve.weights) {
            if (!(w > 0) || !std::isfinite(w)) return false;
        }
    }
    std::vector<double> uniform;
    if (curve.knots.empty()) {
        for (std::size_t i = 0; i < n + p + 1; ++i) {
            uniform.push_back(static_cast<double>(std::min(n - p, i > p ? i - p : 0)));
        }
    }
    const std::vector<double>& knots = curve.knots.empty() ? uniform : curve.knots;
    if (knots.size() != n + p + 1 || !std::isfinite(knots.front()) ||
        !std::isfinite(knots.back())) {
        return false;
    }
    for (std::size_t i = 1; i < knots.size(); ++i) {
        if (!(knots[i - 1] <= knots[i])) return false;
    }
    if (!(knots[p] < knots[n])) return false;
    const Point2d& anchor = curve.controlPoints.front();
    if (std::all_of(curve.controlPoints.begin(), curve.controlPoints.end(),
                    [&](const Point2d& q) { return Equal(q, anchor); })) {
        if (start == CurveStart::Append) out.push_back(anchor);
        return true;
    }
    if (curve.weights.empty()) {
        NurbsFlattener<false>(curve, knots, tolerance).Append(out, start);
    } else {
        NurbsFlattener<true>(curve, knots, tolerance).Append(out, start);
    }
    return true;
}

bool InterpolateFitPoints(const std::vector<Point2d>& fitPoints,
                          const std::optional<Point2d>& startTangent,
                          const std::optional<Point2d>& endTangent, NurbsCurve& curve) {
    std::vector<Point2d> q;
    for (const Point2d& p : fitPoints) {
        if (!Finite(p)) return false;
        if (q.empty() || !Equal(q.back(), p)) q.push_back(p);
    }
    if (q.empty()) return false;
    if (q.size() == 1) {
        curve = NurbsCurve{3, {0, 0, 0, 0, 1, 1, 1, 1}, {q[0], q[0], q[0], q[0]}, {}};
        return true;
    }
    // Chord lengths h[k] between fit points k and k + 1, unit chords e[k], and the running length
    // s[k] at each fit point, which is its parameter.
    const std::size_t last = q.size() - 1;
    std::vector<double> h(last);
    std::vector<Point2d> e(last);
    std::vector<double> s(q.size(), 0.0);
    for (std::size_t k = 0; k < last; ++k) {
        const Point2d chord{q[k + 1].x - q[k].x, q[k + 1].y - q[k].y};
        h[k] = std::hypot(chord.x, chord.y);
        if (!std::isfinite(h[k])) return false;
        e[k] = *Direction(chord);
        s[k + 1] = s[k] + h[k];
    }
    if (!std::isfinite(s[last])) return false;

    // The derivatives m[k] by the running length: unit end directions, and inside
    // the ones that make the second derivative continuous, the tridiagonal system
    // h[k] m[k-1] + 2 (h[k-1] + h[k]) m[k] + h[k-1] m[k+1] = 3 (h[k] e[k-1] + h[k-1] e[k]).
    // It is homogeneous in h, which is scaled by the total length against overflow, and
    // diagonally dominant, so elimination without pivoting is stable.
    std::vector<Point2d> m(q.size());
    const Point2d* afterStart = q.size() > 2 ? &q[2] : nullptr;
    const Point2d* beforeEnd = q.size() > 2 ? &q[last - 2] : nullptr;
    const Point2d startEstimate = EstimatedEndDirection(q[0], q[1], afterStart);
    const Point2d endEstimate = EstimatedEndDirection(q[last], q[last - 1], beforeEnd);
    m[0] = EndDirection(startTangent, startEstimate, e[0]);
    const Point2d backwards = EndDirection(
        endTangent ? std::optional<Point2d>(Point2d{-endTangent->x, -endTangent->y}) : std::nullopt,
        endEstimate, {-e[last - 1].x, -e[last - 1].y});
    m[last] = {-backwards.x, -backwards.y};
    std::vector<double> upper(q.size(), 0.0);
    for (std::size_t k = 1; k < last; ++k) {
        const double before = h[k - 1] / s[last];
        const double after = h[k] / s[last];
        Point2d right{3 * (after * e[k - 1].x + before * e[k].x),
                      3 * (after * e[k - 1].y + before * e[k].y)};
        if (k == 1) right = {right.x - after * m[0].x, right.y - after * m[0].y};
        if (k + 1 == last) right = {right.x - before * m[last].x, right.y - before * m[last].y};
        const double lower = k == 1 ? 0 : after;
        const double pivot = 2 * (before + after) - lower * upper[k - 1];
        upper[k] = k + 1 == last ? 0 : before / pivot;
        m[k] = {(right.x - lower * m[k - 1].x) / pivot, (right.y - lower * m[k - 1].y) / pivot};
    }
    for (std::size_t k = last - 1; k >= 1; --k) {
        m[k] = {m[k].x - upper[k] * m[k + 1].x, m[k].y - upper[k] * m[k + 1].y};
    }

    // Each piece in Bezier form: the fit points and, a third of the chord length along the
    // derivative from each, the points between them; knots of multiplicity 3 at each fit point.
    NurbsCurve result{3, {0, 0, 0, 0}, {q[0]}, {}};
    for (std::size_t k = 0; k < last; ++k) {
        if (k > 0) result.knots.insert(result.knots.end(), 3, s[k]);
        const double third = h[k] / 3;
        result.controlPoints.push_back({q[k].x + third * m[k].x, q[k].y + third * m[k].y});
        result.controlPoints.push_back(
            {q[k + 1].x - third * m[k + 1].x, q[k + 1].y - third * m[k + 1].y});
        result.controlPoints.push_back(q[k + 1]);
    }
    result.knots.insert(result.knots.end(), 4, s[last]);
    if (!std::all_of(result.controlPoints.begin(), result.controlPoints.end(), Finite)) {
        return false;
    }
    curve = std::move(result);
    return true;
}

bool AppendFitPointSpline(const std::vector<Point2d>& fitPoints,
                          const std::optional<Point2d>& startTangent,
                          const std::optional<Point2d>& endTangent, double tolerance,
                          std::vector<Point2d>& out, CurveStart start) {
    NurbsCurve curve;
    if (!InterpolateFitPoints(fitPoints, startTangent, endTangent, curve)) return false;
    return AppendNurbs(curve, tolerance, out, start);
}

}  // namespace Vexlor::Dxf
