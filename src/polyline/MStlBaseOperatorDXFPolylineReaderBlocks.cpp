// Block definitions, insert records and hatch boundaries of the polyline reader.
// SPDX-License-Identifier: MIT
#include <cstdint>      // std::int32_t, std::uint32_t
#include <stdexcept>    // std::invalid_argument, std::out_of_range
#include <string_view>  // std::wstring_view literals

#include "MStlBaseOperatorDXFPolylineReader.h"
#include "polyline/EntityGroupLoop.h"

// Names compare by length first, without measuring the literal each time.
using namespace std::string_view_literals;
using Vexlor::Dxf::Coordinate;
using Vexlor::Dxf::RunEntityGroupLoop;
using Vexlor::Dxf::StringToFloat;
using Vexlor::Dxf::StringToInt;

namespace {

constexpr auto kNoAction = [] {};

// Hatch counts are 32-bit and wrap rather than overflow.
inline std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

short MStlBaseOperatorDXFPolylineReader::_ReadBlockSection(std::istream& stream,
                                                           unsigned short& code,
                                                           std::wstring& value) {
    // Blocks are not instanced: a definition's entities are read once, in its own coordinates.
    if (value == L"BLOCK"sv) return _ReadBlock(stream, code, value);
    if (value == L"POLYLINE"sv) return _ReadPolyline(stream, code, value);
    if (value == L"LWPOLYLINE"sv) return _ReadLwPolyline(stream, code, value);
    if (value == L"LINE"sv) return _ReadLine(stream, code, value);
    if (value == L"ARC"sv) return _ReadArc(stream, code, value);
    if (value == L"ELLIPSE"sv) return _ReadEllipse(stream, code, value);
    if (value == L"CIRCLE"sv) return _ReadCircle(stream, code, value);
    if (value == L"VERTEX"sv) return _ReadVertex(stream, code, value);
    if (value == L"INSERT"sv) return _ReadInsert(stream, code, value, true);
    if (value == L"SPLINE"sv) return _ReadSpline(stream, code, value);
    if (value == L"HATCH"sv) {
        // The hatch is shifted by the first insert read so far of the block being defined.
        const auto found = m_inserts.find(m_blockName);
        EntityInsert* insert = found != m_inserts.end() ? &found->second : nullptr;
        return _ReadHatch(stream, code, value, insert);
    }
    return CDXFReader::_ReadDefaultSection(stream, code, value);
}

short MStlBaseOperatorDXFPolylineReader::_ReadBlock(std::istream& stream, unsigned short& code,
                                                    std::wstring& value) {
    // The name stays after the block ends: it is replaced by the next named header, never
    // cleared.
    return RunEntityGroupLoop([&] { return _ReadGroup(stream, code, value); }, code,
                              [&] {
                                  if (code == 2 || code == 3) m_blockName = value;
                              },
                              kNoAction);
}

short MStlBaseOperatorDXFPolylineReader::_ReadInsert(std::istream& stream, unsigned short& code,
                                                     std::wstring& value, bool record) {
    std::wstring blockName;
    // A coordinate the entity does not give is 0.
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    // Coordinates are converted whether or not the insert is recorded, so a malformed one
    // fails alike in both sections. Scale, rotation and arrays are not read: an insert records
    // a translation only.
    const short r = RunEntityGroupLoop([&] { return _ReadGroup(stream, code, value); }, code,
                                       [&] {
                                           switch (code) {
                                               case 2:
                                                   blockName = value;
                                                   break;
                                               case 10:
                                                   x = Coordinate(value);
                                                   break;
                                               case 20:
                                                   y = Coordinate(value);
                                                   break;  // as written: not negated
                                               case 30:
                                                   z = Coordinate(value);
                                                   break;
                                               default:
                                                   break;
                                           }
                                       },
                                       kNoAction);
    if (r < 0) return -1;
    // The first insert of a block name stays in force; later ones change nothing.
    if (record) m_inserts.emplace(blockName, EntityInsert{blockName, x, y, z});
    return r;
}

short MStlBaseOperatorDXFPolylineReader::_ReadHatch(std::istream& stream, unsigned short& code,
                                                    std::wstring& value,
                                                    CDXFReader::EntityInsert* insert) {
    short r = _ReadGroup(stream, code, value);
    if (r < 0) return -1;
    const double offsetX = insert ? insert->x : 0.0;
    const double offsetY = insert ? insert->y : 0.0;
    Point pending{0.0, 0.0};
    std::int32_t coordinates = 0;
    // Counts coordinate groups from the start, so that the first pair (the elevation point) is
    // never a boundary point; group 98 sets it below zero so that seed points are not either.
    std::int32_t position = 0;
    std::int32_t pathType = 0;
    _AddPolyline();

    // Points are added as soon as they are complete, so a failure part-way keeps them.
    while (code != 0) {
        switch (code) {
            case 10:
                coordinates = WrappingAdd(coordinates, 1);
                position = WrappingAdd(position, 1);
                pending.x = StringToFloat(value) + offsetX;
                break;
            case 20:
                coordinates = WrappingAdd(coordinates, 1);
                position = WrappingAdd(position, 1);
                // The offset is added in drawing coordinates, then the sum is negated.
                pending.y = -(StringToFloat(value) + offsetY);
                break;
            case 72:
                // Bulge flag or edge type: only its validity matters, and a bad one ends the
                // hatch as unreadable rather than the whole import.
                try {
                    static_cast<void>(StringToInt(value));
                } catch (const std::invalid_argument&) {
                    return -1;
                } catch (const std::out_of_range&) {
                    return -1;
                }
                break;
            case 92:
                pathType = StringToInt(value);
                break;
            case 96:
                // Each spline edge of a polyline-type path starts a polyline of its own.
                if (pathType == 1) _AddPolyline();
                break;
            case 98:
                position =
                    static_cast<std::int32_t>(static_cast<std::uint32_t>(StringToInt(value)) *
                                              static_cast<std::uint32_t>(-2));
                break;
            default:
                break;
        }
        if (r == 0) return -1;
        if (coordinates == 2) {
            if (position > 2) _AddPoint(pending);
            coordinates = 0;
        }
        r = _ReadGroup(stream, code, value);
        if (r < 0) return -1;
    }

    // A boundary of fewer than three points encloses nothing: its points go (the box keeps
    // them) and no polyline stays current.
    Polyline* current = _CurrentPolyline();
    if (current && current->points.size() < 3) {
        current->points.clear();
        m_currentPolyline.reset();
    }
    return r;
}
