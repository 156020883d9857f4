// LINE, the commonest entity: read by a table of its groups in one pass, and in the model space
// straight from the source, its numbers converted as they come.
// SPDX-License-Identifier: MIT
#include <array>        // std::array
#include <cstddef>      // std::size_t
#include <string_view>  // std::string_view
#include <utility>      // std::move
#include <vector>       // std::vector

#include "accurate/read/DrawingReader.h"

namespace Vexlor::Dxf {

namespace {

// Whether two short texts, such as layer names, are equal: byte by byte, without a call.
bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (a[k] != b[k]) return false;
    }
    return true;
}

}  // namespace

// A LINE, the commonest entity, read by a table of its groups in one pass.
void DrawingReader::Line(const Entity& entity) {
    enum { kFromX, kFromY, kFromZ, kToX, kToY, kToZ, kLayer, kHandle, kSpace, kCount };
    static constexpr auto kSlots = SlotsByCode<68>({10, 20, 30, 11, 21, 31, 8, 5, 67});
    const Group* found[kCount];
    entity.FindFirst(kSlots, found);
    if (found[kSpace] && entity.Integer(*found[kSpace]) == 1) return Skip("paper space");
    const auto number = [&](int slot) { return found[slot] ? entity.Number(*found[slot]) : 0.0; };
    std::vector<Point2d> points{{number(kFromX), number(kFromY)}, {number(kToX), number(kToY)}};
    const Source source{
        m_drawing.KindIndex(entity.Type()),
        m_drawing.LayerIndex(found[kLayer] ? Trim(found[kLayer]->value) : "0"),
        m_drawing.HandleIndex(found[kHandle] ? Trim(found[kHandle]->value) : std::string_view())};
    if (m_block == &m_drawing.model) {
        // Seen from above in the world, the heights change nothing.
        m_budget.SpendPiece(2);
        m_drawing.pieces.LayerBox(source.layer).Extend(points);
        m_drawing.pieces.AddSegment(points[0], points[1], source);
        return;
    }
    Shape shape;
    shape.points = std::move(points);
    shape.source = source;
    // In a block, heights count when the block is placed tilted.
    const double fromZ = number(kFromZ), toZ = number(kToZ);
    if (fromZ != 0 || toZ != 0) shape.Bends().heights = {fromZ, toZ};
    m_block->shapes.push_back(std::move(shape));
}

bool DrawingReader::ReadLine(GroupSource& source, const Entity& entity, Group& group) {
    LineGroups& line = m_line;
    line.found = 0;
    line.errorSlot = LineGroups::kCount;
    line.error.reset();
    // Each group's slot by its code, one more than the slot (0: a group that a LINE of the model
    // space passes over, such as the heights, which change nothing seen from above).
    static constexpr auto kSlots = [] {
        std::array<unsigned char, 68> slots{};
        slots[10] = LineGroups::kFromX + 1;
        slots[20] = LineGroups::kFromY + 1;
        slots[11] = LineGroups::kToX + 1;
        slots[21] = LineGroups::kToY + 1;
        slots[67] = LineGroups::kSpace + 1;
        slots[8] = LineGroups::kLayer + 1;
        slots[5] = LineGroups::kHandle + 1;
        return slots;
    }();
    return ReadSlots(source, group, kSlots, line.found, [&](int slot, const Group& read) {
        if (slot == LineGroups::kLayer) {
            const std::string_view layer = Trim(read.value);
            if (!SameText(layer, line.layer)) {
                line.layer.assign(layer);
                line.layerIndex = LineGroups::kUnknownLayer;
            }
        } else if (slot == LineGroups::kHandle) {
            line.handle.assign(Trim(read.value));
        } else {
            try {
                if (slot == LineGroups::kSpace) {
                    line.space = entity.Integer(read);
                } else {
                    line.values[slot] = entity.Number(read);
                }
            } catch (ReadError& error) {
                // Told once the LINE is taken, in the order in which Line reads its groups.
                if (slot < line.errorSlot) {
                    line.errorSlot = slot;
                    line.error = std::move(error);
                }
            }
        }
    });
}

void DrawingReader::TakeLine(LineGroups& line) {
    if (m_lineKind == kNoKind) m_lineKind = m_drawing.KindIndex("LINE");
    const auto has = [&](int slot) { return (line.found >> slot & 1u) != 0; };
    if (line.errorSlot == LineGroups::kSpace) throw *line.error;
    if (has(LineGroups::kSpace) && line.space == 1) return Skip("paper space");
    if (line.error) throw *line.error;
    const auto number = [&](int slot) { return has(slot) ? line.values[slot] : 0.0; };
    const Point2d from{number(LineGroups::kFromX), number(LineGroups::kFromY)};
    const Point2d to{number(LineGroups::kToX), number(LineGroups::kToY)};
    if (has(LineGroups::kLayer) && line.layerIndex == LineGroups::kUnknownLayer) {
        line.layerIndex = m_drawing.LayerIndex(line.layer);
    }
    const Source source{
        m_lineKind, has(LineGroups::kLayer) ? line.layerIndex : m_drawing.LayerIndex("0"),
        m_drawing.HandleIndex(has(LineGroups::kHandle) ? std::string_view(line.handle)
                                                       : std::string_view())};
    // Seen from above in the world, the heights change nothing.
    m_budget.SpendPiece(2);
    Box2d& box = m_drawing.pieces.LayerBox(source.layer);
    box.Extend(from);
    box.Extend(to);
    m_drawing.pieces.AddSegment(from, to, source);
}

}  // namespace Vexlor::Dxf
