// The entity readers of the polyline reader and the dispatch of both sections to them.
// SPDX-License-Identifier: MIT
#include <cmath>        // std::sin, std::cos, std::sqrt, std::fabs
#include <string_view>  // std::wstring_view literals

#include "MStlBaseOperatorDXFPolylineReader.h"
#include "classic/polyline/EntityGroupLoop.h"

// Names compare by length first, without measuring the literal each time.
using namespace std::string_view_literals;
using Vexlor::Dxf::Coordinate;
using Vexlor::Dxf::kIgnoreGroup;
using Vexlor::Dxf::NegatedCoordinate;
using Vexlor::Dxf::ReadEntityFields;
using Vexlor::Dxf::RunEntityGroupLoop;

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;
// Twelve degrees: circles and ellipses get 30 points.
constexpr double kTwelveDegrees = 0.20943951023931953;
constexpr double kArcSteps = 30.0;
// A natural arc loop runs 30 or 31 times. Angles so large that the step no longer moves the
// running angle would loop for ever; the loop also stops when the angle stands still, and this
// cap is the last resort.
constexpr int kMaxArcIterations = 1024;
// Arcs, circles and ellipses usually get 30 to 32 points; storage for them is taken at once.
constexpr std::size_t kCurvePoints = 32;
// Squared distance under which the first point and the last coordinates close a polyline.
constexpr double kCloseDistanceSquared = 1e-8;

}  // namespace

short MStlBaseOperatorDXFPolylineReader::_ReadEntitySection(std::istream& stream,
                                                            unsigned short& code,
                                                            std::wstring& value) {
    return _ReadEntity(stream, code, value, false);
}

short MStlBaseOperatorDXFPolylineReader::_ReadEntity(std::istream& stream, unsigned short& code,
                                                     std::wstring& value, bool inBlock) {
    // Names are compared whole and case-sensitively; both sections read the same entities with
    // the same readers, except that block headers and hatches count only inside blocks.
    if (inBlock && value == L"BLOCK"sv) return _ReadBlock(stream, code, value);
    if (value == L"POLYLINE"sv) return _ReadPolyline(stream, code, value);
    if (value == L"LWPOLYLINE"sv) return _ReadLwPolyline(stream, code, value);
    if (value == L"LINE"sv) return _ReadLine(stream, code, value);
    if (value == L"ARC"sv) return _ReadArc(stream, code, value);
    if (value == L"ELLIPSE"sv) return _ReadEllipse(stream, code, value);
    if (value == L"CIRCLE"sv) return _ReadCircle(stream, code, value);
    if (value == L"VERTEX"sv) return _ReadVertex(stream, code, value);
    // Inserts are recorded only inside block definitions, where hatches look them up.
    if (value == L"INSERT"sv) return _ReadInsert(stream, code, value, inBlock);
    if (value == L"SPLINE"sv) return _ReadSpline(stream, code, value);
    if (inBlock && value == L"HATCH"sv) {
        // The hatch is shifted by the first insert read so far of the block being defined.
        const auto found = m_inserts.find(m_blockName);
        return _ReadHatch(stream, code, value, found != m_inserts.end() ? &found->second : nullptr);
    }
    return CDXFReader::_ReadDefaultSection(stream, code, value);
}

short MStlBaseOperatorDXFPolylineReader::_ReadLine(std::istream& stream, unsigned short& code,
                                                   std::wstring& value) {
    Point start{0.0, 0.0};
    Point end{0.0, 0.0};
    const short r =
        ReadEntityFields([&] { return _ReadGroup(stream, code, value); }, code, value,
                         {{10, &start.x}, {20, &start.y, true}, {11, &end.x}, {21, &end.y, true}});
    if (r < 0) return -1;
    // Every line is its own open piece, even of zero length; linking makes contours of them.
    _AddPolyline();
    m_polylines[*m_currentPolyline].points.reserve(2);
    _AddPoint(start);
    _AddPoint(end);
    m_polylines[*m_currentPolyline].closed = false;
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadPairedPoints(std::istream& stream,
                                                           unsigned short& code,
                                                           std::wstring& value) {
    _AddPolyline();
    const std::size_t polylineIndex = *m_currentPolyline;
    Point current{0.0, 0.0};
    Point first{0.0, 0.0};
    bool firstTaken = false;
    int coordinates = 0;
    const short r = RunEntityGroupLoop([&] { return _ReadGroup(stream, code, value); }, code,
                                       [&] {
                                           if (code == 10) {
                                               current.x = Coordinate(value);
                                               ++coordinates;
                                           } else if (code == 20) {
                                               current.y = NegatedCoordinate(value);
                                               ++coordinates;
                                           }
                                       },
                                       [&] {
                                           // Every second coordinate group completes a point,
                                           // whichever codes they had: a vertex without its y pairs
                                           // with the next x, and the pairing stays shifted.
                                           if (coordinates != 2) return;
                                           if (!firstTaken) {
                                               first = current;
                                               firstTaken = true;
                                           }
                                           _AddPoint(current);
                                           coordinates = 0;
                                       });
    if (r < 0) return -1;
    // Closure comes from the coordinates alone, never from the entity's flags.
    const double dx = first.x - current.x;
    const double dy = first.y - current.y;
    m_polylines[polylineIndex].closed = dx * dx + dy * dy < kCloseDistanceSquared;
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadLwPolyline(std::istream& stream, unsigned short& code,
                                                         std::wstring& value) {
    return _ReadPairedPoints(stream, code, value);
}

short MStlBaseOperatorDXFPolylineReader::_ReadSpline(std::istream& stream, unsigned short& code,
                                                     std::wstring& value) {
    // A spline is kept as its control polygon; it is never evaluated.
    return _ReadPairedPoints(stream, code, value);
}

short MStlBaseOperatorDXFPolylineReader::_ReadPolyline(std::istream& stream, unsigned short& code,
                                                       std::wstring& value) {
    // The header starts the polyline its VERTEX entities extend; none of its groups is read.
    _AddPolyline();
    return RunEntityGroupLoop([&] { return _ReadGroup(stream, code, value); }, code, kIgnoreGroup,
                              kIgnoreGroup);
}

short MStlBaseOperatorDXFPolylineReader::_ReadVertex(std::istream& stream, unsigned short& code,
                                                     std::wstring& value) {
    Point vertex{0.0, 0.0};
    const short r = ReadEntityFields([&] { return _ReadGroup(stream, code, value); }, code, value,
                                     {{10, &vertex.x}, {20, &vertex.y, true}});
    if (r < 0) return -1;
    // A vertex extends whatever polyline is current; with none it is dropped.
    if (_CurrentPolyline()) _AddPoint(vertex);
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadArc(std::istream& stream, unsigned short& code,
                                                  std::wstring& value) {
    double cx = 0.0;
    double ncy = 0.0;
    double radius = 0.0;
    double startAngle = 0.0;
    double endAngle = 0.0;
    const short r = ReadEntityFields(
        [&] { return _ReadGroup(stream, code, value); }, code, value,
        {{10, &cx}, {20, &ncy, true}, {40, &radius}, {50, &startAngle}, {51, &endAngle}});
    if (r < 0) return -1;

    _AddPolyline();
    const std::size_t polylineIndex = *m_currentPolyline;
    // Room for the usual 31 or 32 points at once; the loop below decides how many there are.
    m_polylines[polylineIndex].points.reserve(kCurvePoints);
    if (startAngle > endAngle) endAngle = endAngle + 360.0;
    m_polylines[polylineIndex].closed = (endAngle - startAngle) == 360.0;
    // A quarter turn is added so that sin gives x and cos gives y: the arc then runs
    // counter-clockwise in the drawing once y is negated.
    const double endRadians = ((endAngle + 90.0) * kPi) / 180.0;
    double angle = ((startAngle + 90.0) * kPi) / 180.0;
    const double step = (endRadians - angle) / kArcSteps;
    for (int iteration = 0; endRadians > angle && iteration < kMaxArcIterations; ++iteration) {
        _AddPoint(Point{std::sin(angle) * radius + cx, std::cos(angle) * radius + ncy});
        const double next = angle + step;
        if (!(next > angle)) break;  // the step no longer moves the angle
        angle = next;
    }
    _AddPoint(Point{std::sin(endRadians) * radius + cx, std::cos(endRadians) * radius + ncy});
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadCircle(std::istream& stream, unsigned short& code,
                                                     std::wstring& value) {
    double cx = 0.0;
    double ncy = 0.0;
    double radius = 1.0;
    const short r = ReadEntityFields([&] { return _ReadGroup(stream, code, value); }, code, value,
                                     {{10, &cx}, {20, &ncy, true}, {40, &radius}});
    if (r < 0) return -1;

    _AddPolyline();
    const std::size_t polylineIndex = *m_currentPolyline;
    m_polylines[polylineIndex].points.reserve(kCurvePoints);
    // 30 points from straight below the centre; closure is carried by the flag alone.
    double t = 0.0;
    do {
        _AddPoint(Point{std::sin(t) * radius + cx, std::cos(t) * radius + ncy});
        t = t + kTwelveDegrees;
    } while (kTwoPi > t);
    m_polylines[polylineIndex].closed = true;
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadEllipse(std::istream& stream, unsigned short& code,
                                                      std::wstring& value) {
    double cx = 0.0;
    double ncy = 0.0;
    double mx = 0.0;
    double nmy = 0.0;
    double ratio = 1.0;
    const short r =
        ReadEntityFields([&] { return _ReadGroup(stream, code, value); }, code, value,
                         {{10, &cx}, {20, &ncy, true}, {11, &mx}, {21, &nmy, true}, {40, &ratio}});
    if (r < 0) return -1;

    _AddPolyline();
    const std::size_t polylineIndex = *m_currentPolyline;
    m_polylines[polylineIndex].closed = true;
    // The start and end parameters are not read: every ellipse entity is the whole ellipse.
    const double ex = mx + cx;
    const double ey = ncy + nmy;
    const double a = std::fabs(std::sqrt((cx - ex) * (cx - ex) + (ncy - ey) * (ncy - ey)));
    // A major axis of length zero has no direction; the ellipse then adds no points rather
    // than thirty points without coordinates.
    if (a == 0.0) return r;
    m_polylines[polylineIndex].points.reserve(kCurvePoints);
    const double ux = (ex - cx) / a;
    const double uy = (ey - ncy) / a;
    const double b = a * ratio;
    double t = 0.0;
    do {
        const double sa = std::sin(t) * a;
        const double cb = std::cos(t) * b;
        _AddPoint(Point{(sa * ux - cb * uy) + cx, (sa * uy + cb * ux) + ncy});
        t = t + kTwelveDegrees;
    } while (kTwoPi > t);
    return r;
}
