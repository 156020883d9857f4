// The entities that give contours, each read from its groups into a Shape in its own frame.
// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "accurate/curves/Shapes.h"
#include "accurate/read/Drawing.h"
#include "accurate/read/Entity.h"

namespace Vexlor::Dxf {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegree = kPi / 180;

/// Reads an entity (with the VERTEX entities of a POLYLINE) into `shape`, taking what the
/// entity holds where it can (an LWPOLYLINE's vertices). A reason, such as "POLYFACE MESH" or
/// "ARC of zero radius", when it gives no contour; null otherwise.
using ShapeReader = const char* (*)(Entity& entity, const std::vector<Entity>& vertices,
                                    Shape& shape);

/// The reader of entities of kind `type`, or null for a kind that gives no contour this way
/// (LINE, INSERT and HATCH have readers of their own).
ShapeReader ShapeReaderOf(std::string_view type);

/// Whether `extrusion` leaves an entity's frame the world's.
inline bool WorldAxes(const Point3d& extrusion) {
    return extrusion.x == 0 && extrusion.y == 0 && extrusion.z > 0;
}
/// Sets the object coordinate system of `extrusion` as the shape's frame.
void SetFrame(Shape& shape, const Point3d& extrusion);
/// Bulges all zero say no more than none.
void DropStraightBulges(Shape& shape);
/// Makes `shape` a circle, or the arc from `start` to `end` (radians), in its frame: the conic
/// it returns.
ConicArc& CircleShape(Shape& shape, const Point3d& center, double radius, double start, double end,
                      bool arc);

/// The numbers of a CIRCLE or ARC, in the order in which CircleFrom reads them.
struct CircleNumbers {
    enum { kRadius, kExtrusionX, kExtrusionY, kExtrusionZ, kEnd, kStart, kX, kY, kZ, kCount };
    /// Their group codes, in that order.
    static constexpr int kCodes[kCount] = {40, 210, 220, 230, 51, 50, 10, 20, 30};
};

/// A circle or arc in its object coordinate system, made from its numbers: `number(slot,
/// fallback)` gives each (a CircleNumbers slot; it throws for a value that is no number) in a
/// fixed order, the radius, the extrusion, an arc's end and start angles, the center, and
/// `fail(what)` throws for a negative radius. A reason when it gives no contour, else null.
template <typename Number, typename Fail>
const char* CircleFrom(bool arc, Number&& number, Fail&& fail, Shape& shape) {
    using N = CircleNumbers;
    const double radius = number(N::kRadius, 0);
    if (radius < 0) fail("negative radius");
    if (radius == 0) return arc ? "ARC of zero radius" : "CIRCLE of zero radius";
    const double extrusionX = number(N::kExtrusionX, 0);
    const double extrusionY = number(N::kExtrusionY, 0);
    const double extrusionZ = number(N::kExtrusionZ, 1);
    SetFrame(shape, {extrusionX, extrusionY, extrusionZ});
    const double end = arc ? number(N::kEnd, 360) * kDegree : 0;
    const double start = arc ? number(N::kStart, 0) * kDegree : 0;
    const double x = number(N::kX, 0);
    const double y = number(N::kY, 0);
    const double z = number(N::kZ, 0);
    CircleShape(shape, {x, y, z}, radius, start, end, arc);
    return nullptr;
}

/// An INSERT or MINSERT, without its source.
Insert ReadInsert(const Entity& entity);

/// The boundary paths of a HATCH, each a shape in the hatch's frame: a polyline path, or the
/// edges of an edge path joined in one closed shape.
std::vector<Shape> ReadHatchBoundaries(const Entity& entity);

}  // namespace Vexlor::Dxf
