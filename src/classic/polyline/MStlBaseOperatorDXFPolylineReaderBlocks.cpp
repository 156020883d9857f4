// Block definitions, insert records and hatch boundaries of the polyline reader.
// SPDX-License-Identifier: MIT
#include <cstdint>    // std::int32_t, std::uint32_t
#include <stdexcept>  // std::invalid_argument, std::out_of_range

#include "MStlBaseOperatorDXFPolylineReader.h"
#include "classic/polyline/EntityGroupLoop.h"

using Vexlor::Dxf::kIgnoreGroup;
using Vexlor::Dxf::ReadEntityFields;
using Vexlor::Dxf::RunEntityGroupLoop;
using Vexlor::Dxf::StringToFloat;
using Vexlor::Dxf::StringToInt;

namespace {

// Hatch counts are 32-bit and wrap rather than overflow.
inline std::int32_t WrappingAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The points of a hatch boundary as its groups come: every pair of groups 10 and 20, shifted by
// the insert of its block, except the first pair (the elevation point) and the seed points.
class HatchPoints {
public:
    HatchPoints(double offsetX, double offsetY) : m_offsetX(offsetX), m_offsetY(offsetY) {}

    // Takes one group; false when a group 72 is no number, which ends the hatch as unreadable
    // rather than the whole import.
    bool Take(unsigned short code, const std::wstring& value) {
        if (code == 10 || code == 20) {
            m_coordinates = WrappingAdd(m_coordinates, 1);
            m_position = WrappingAdd(m_position, 1);
        }
        if (code == 10) m_pending.x = StringToFloat(value) + m_offsetX;
        // The offset is added in drawing coordinates, then the sum is negated.
        if (code == 20) m_pending.y = -(StringToFloat(value) + m_offsetY);
        if (code == 92) m_pathType = StringToInt(value);
        // Group 98 counts seed points: the position goes below zero so that none of them is a
        // boundary point.
        if (code == 98)
            m_position = static_cast<std::int32_t>(static_cast<std::uint32_t>(StringToInt(value)) *
                                                   std::uint32_t(-2));
        if (code != 72) return true;
        // The bulge flag or edge type: only whether it is a number matters.
        try {
            static_cast<void>(StringToInt(value));
            return true;
        } catch (const std::invalid_argument&) {
        } catch (const std::out_of_range&) {
        }
        return false;
    }
    // Each spline edge (group 96) of a path of type exactly 1 starts a polyline of its own.
    bool StartsPolyline(unsigned short code) const { return code == 96 && m_pathType == 1; }
    // The boundary point that the last group completed, if any.
    const MStlBaseOperatorDXFPolylineReader::Point* Completed() {
        if (m_coordinates != 2) return nullptr;
        m_coordinates = 0;
        return m_position > 2 ? &m_pending : nullptr;
    }

private:
    double m_offsetX;
    double m_offsetY;
    MStlBaseOperatorDXFPolylineReader::Point m_pending{0.0, 0.0};
    std::int32_t m_coordinates = 0;  // coordinate groups since the last completed pair
    std::int32_t m_position = 0;     // coordinate groups since the start or group 98
    std::int32_t m_pathType = 0;
};

}  // namespace

short MStlBaseOperatorDXFPolylineReader::_ReadBlockSection(std::istream& stream,
                                                           unsigned short& code,
                                                           std::wstring& value) {
    // Blocks are not instanced: a definition's entities are read once, in its own coordinates.
    return _ReadEntity(stream, code, value, true);
}

short MStlBaseOperatorDXFPolylineReader::_ReadBlock(std::istream& stream, unsigned short& code,
                                                    std::wstring& value) {
    // The name stays after the block ends: it is replaced by the next named header, never
    // cleared.
    return RunEntityGroupLoop([&] { return _ReadGroup(stream, code, value); }, code,
                              [&] {
                                  if (code == 2 || code == 3) m_blockName = value;
                              },
                              kIgnoreGroup);
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
    const short r = ReadEntityFields([&] { return _ReadGroup(stream, code, value); }, code, value,
                                     {{10, &x}, {20, &y}, {30, &z}},  // y as written: not negated
                                     [&] {
                                         if (code == 2) blockName = value;
                                     });
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
    HatchPoints hatch(insert ? insert->x : 0.0, insert ? insert->y : 0.0);
    _AddPolyline();
    // Points are added as soon as they are complete, so a failure part-way keeps them.
    while (code != 0) {
        if (!hatch.Take(code, value)) return -1;
        if (hatch.StartsPolyline(code)) _AddPolyline();
        if (r == 0) return -1;
        if (const Point* point = hatch.Completed()) _AddPoint(*point);
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
