// Flattening of the curves of a drawing into points within a chord tolerance: bulge arcs,
// circular and elliptic arcs, NURBS curves and splines through fit points.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>   // std::size_t
#include <optional>  // std::optional
#include <vector>    // std::vector

#include "contours/Geometry.h"

// What every Append function shares:
// - `tolerance` is the largest distance allowed between the curve and the polyline through the
//   appended points, both ways: each point of the curve lies that close to the polyline, and each
//   point of the polyline that close to the curve. It has to be positive and finite.
// - The points go to the end of `out`, in order from the curve's start to its end, both
//   included: a curve flattened into n segments appends n + 1 points, or n when `start` is
//   CurveStart::Skip, which leaves out the start point because the caller's previous curve ended
//   there. A curve without extent (zero radius, zero span, coincident bulge ends, control points
//   that all coincide) has no segment and appends its one point, or nothing with Skip.
// - A curve never makes more than kMaxCurveSegments segments (a NURBS curve with more knot spans
//   and breaks, one per span and break); a curve that would need more is flattened into that
//   many and does not meet the tolerance.
// - The result is true when the points were appended. An input that is not finite, a tolerance
//   that is not positive and finite, or a definition the function refuses gives false, and then
//   nothing was appended. Finite input near the limits of double may still give points that
//   overflow to infinity.

namespace Vexlor::Dxf {

/// The most segments one call makes of one curve.
constexpr std::size_t kMaxCurveSegments = std::size_t{1} << 20;

/// The highest NURBS degree accepted; each knot span costs of the order of degree^3 operations.
constexpr int kMaxNurbsDegree = 32;

/// Whether an Append function appends its curve's start point or leaves it out.
enum class CurveStart { Append, Skip };

/// The counter-clockwise span in radians, within [0, 2 pi], from `startAngle` to `endAngle` of a
/// circular arc or from the start to the end parameter of an elliptic arc. Equal values span
/// nothing, values a whole number of turns apart (0 and 2 pi, pi and -pi) span a full turn, and an
/// end below the start wraps through 2 pi. Values less than 1e-12 of their magnitude (at least
/// 1e-12) apart count as equal, and such a difference from a whole number of turns as none: the
/// angles of a drawing are rounded, and an arc meant to be full must not vanish.
double ArcSpan(double startAngle, double endAngle);

/// The arc of a polyline segment from `from` to `to` with `bulge`, the tangent of a quarter of
/// its included angle: positive turns counter-clockwise, negative clockwise, zero is the straight
/// segment. The first point appended is a copy of `from` and the last a copy of `to`. Ends that
/// are exactly equal make no arc: one point. A bulge under the tolerance (the arc's height |bulge|
/// * chord / 2 within it) gives the straight segment, and a huge bulge an arc close to a full
/// circle of huge radius, whose segments stop at kMaxCurveSegments.
bool AppendBulgeArc(const Point2d& from, const Point2d& to, double bulge, double tolerance,
                    std::vector<Point2d>& out, CurveStart start = CurveStart::Append);

/// The circular arc about `center` of `radius` (zero or more) from `startAngle` counter-clockwise
/// to `endAngle`, radians, spanning ArcSpan(startAngle, endAngle). It is cut into the fewest equal
/// steps whose chords rise no more than the tolerance above the arc: a step of angle a rises
/// radius * (1 - cos(a / 2)). The end point is computed at `endAngle`, or for a full turn is a
/// copy of the start point. A zero radius or span gives the one point at `startAngle`.
bool AppendArc(const Point2d& center, double radius, double startAngle, double endAngle,
               double tolerance, std::vector<Point2d>& out, CurveStart start = CurveStart::Append);

/// The full circle about `center` of `radius`, from angle 0 once around counter-clockwise: the
/// last point is a copy of the first. A zero radius gives the one point `center`.
bool AppendCircle(const Point2d& center, double radius, double tolerance, std::vector<Point2d>& out,
                  CurveStart start = CurveStart::Append);

/// The elliptic arc center + cos(t) * majorAxis + sin(t) * minorAxis for t from
/// `startParameter` to `endParameter` over ArcSpan(startParameter, endParameter), where the
/// minor axis is the major axis turned a quarter turn counter-clockwise and scaled by `ratio`:
/// an ellipse as the drawing gives it, seen along its extrusion (0, 0, 1). `ratio` has to be
/// positive (a value above 1 is taken as it is); 0 to 2 pi is the full ellipse. For any other
/// extrusion, AppendConjugateArc takes the major axis and EllipseMinorAxis projected onto xy.
bool AppendEllipticArc(const Point2d& center, const Point2d& majorAxis, double ratio,
                       double startParameter, double endParameter, double tolerance,
                       std::vector<Point2d>& out, CurveStart start = CurveStart::Append);

/// The arc center + cos(t) * axisU + sin(t) * axisV for t from `startParameter` to
/// `endParameter` over ArcSpan(startParameter, endParameter), for axes of any length and
/// direction: an ellipse or circle seen at a slant, such as an arc projected from its plane onto
/// the xy plane. Steps are equal in t and sized for a circle of the largest semi-axis of the
/// result, which bounds the chord error of every step. The end point is computed at
/// `endParameter`, or for a full turn is a copy of the start point; zero axes give one point.
bool AppendConjugateArc(const Point2d& center, const Point2d& axisU, const Point2d& axisV,
                        double startParameter, double endParameter, double tolerance,
                        std::vector<Point2d>& out, CurveStart start = CurveStart::Append);

/// A NURBS curve as a SPLINE gives it, projected to 2D by the caller.
struct NurbsCurve {
    /// At least 1, at most kMaxNurbsDegree, below the number of control points.
    int degree = 3;
    /// Non-decreasing: the number of control points plus degree plus 1 values, or none for the
    /// clamped uniform vector (degree + 1 zeros, 1, 2, ..., degree + 1 equal last values).
    std::vector<double> knots;
    std::vector<Point2d> controlPoints;
    /// None for a polynomial curve, or one positive weight per control point.
    std::vector<double> weights;
};

/// The curve over [knots[degree], knots[n]], n the number of control points: the whole knot
/// vector when it is clamped, and the closed curve of a periodic spline whose knots run on
/// beyond both ends and whose control points repeat their first `degree` at the end. The closed,
/// periodic and rational flags of a SPLINE thus need no input of their own: the knots, the
/// control points and the weights the drawing gives carry them. Each knot span with an extent is
/// turned into its Bezier form and halved until the control points of every piece lie within
/// the tolerance of the chord between its ends. The curve lies in the hull of those points, so
/// the test holds for the whole piece and no wiggle between samples escapes it; pieces halved 52
/// times are taken as they are. Every knot between spans with an extent gives a point; where an
/// inner knot is repeated degree + 1 times the curve breaks, and a straight segment joins the end
/// of one part to the start of the next. Refused: a degree or a number of knots or weights other
/// than documented, knots that decrease, or a domain without extent.
bool AppendNurbs(const NurbsCurve& curve, double tolerance, std::vector<Point2d>& out,
                 CurveStart start = CurveStart::Append);

/// The cubic spline through `fitPoints`, in their order, as a SPLINE defined by fit points
/// alone stands for: each point is reached at its chord length along the polyline of the points,
/// the curve has continuous first and second derivatives, and its end directions are
/// `startTangent` and `endTangent` where given. A missing end direction is that of the parabola
/// through the three fit points at that end, taken at equal parameter steps (the chord with two
/// points); a given direction that is zero or not finite counts as missing. Repeated consecutive
/// fit points count once, and a single point gives a curve that is that point. `curve` receives it
/// as degree 3 Bezier pieces, one per pair of neighbouring fit points, its knots the running chord
/// lengths. False, with `curve` unchanged, when there is no fit point or one is not finite, or the
/// chord lengths overflow.
bool InterpolateFitPoints(const std::vector<Point2d>& fitPoints,
                          const std::optional<Point2d>& startTangent,
                          const std::optional<Point2d>& endTangent, NurbsCurve& curve);

/// The spline of InterpolateFitPoints, flattened as AppendNurbs does: the fit points are among the
/// points appended.
bool AppendFitPointSpline(const std::vector<Point2d>& fitPoints,
                          const std::optional<Point2d>& startTangent,
                          const std::optional<Point2d>& endTangent, double tolerance,
                          std::vector<Point2d>& out, CurveStart start = CurveStart::Append);

}  // namespace Vexlor::Dxf
