// CIRCLE and ARC of the model space, read straight from the source as LINE is: their numbers
// converted as they come, the shape made as the generic reading makes it.
// SPDX-License-Identifier: MIT
#include <array>        // std::array
#include <string_view>  // std::string_view
#include <utility>      // std::move

#include "accurate/read/DrawingReader.h"
#include "accurate/read/EntityReaders.h"

namespace Vexlor::Dxf {

bool DrawingReader::ReadCircle(GroupSource& source, const Entity& entity, Group& group) {
    CircleGroups& circle = m_circle;
    circle.failed = 0;  // an error kept from before is only read under its bit
    circle.found = 0;
    // Each group's slot by its code, one more than the slot (0: a group it passes over).
    static constexpr auto kSlots = [] {
        std::array<unsigned char, 231> slots = SlotsByCode<231>(CircleNumbers::kCodes);
        slots[67] = CircleGroups::kSpace + 1;
        slots[8] = CircleGroups::kLayer + 1;
        slots[5] = CircleGroups::kHandle + 1;
        return slots;
    }();
    return ReadSlots(source, group, kSlots, circle.found, [&](int slot, const Group& read) {
        if (slot == CircleGroups::kLayer) {
            circle.layer.assign(Trim(read.value));
        } else if (slot == CircleGroups::kHandle) {
            circle.handle.assign(Trim(read.value));
        } else {
            try {
                if (slot == CircleGroups::kSpace) {
                    circle.space = entity.Integer(read);
                } else {
                    circle.values[slot] = entity.Number(read);
                }
            } catch (ReadError& error) {
                circle.failed |= 1u << slot;
                circle.errors[slot] = std::move(error);
            }
        }
    });
}

void DrawingReader::TakeCircle(const Entity& entity) {
    const CircleGroups& circle = m_circle;
    const auto has = [&](int slot) { return (circle.found >> slot & 1u) != 0; };
    // A value that is no number fails where the generic reading would read it.
    const auto check = [&](int slot) {
        if (circle.failed >> slot & 1u) throw *circle.errors[slot];
    };
    if (has(CircleGroups::kSpace)) {
        check(CircleGroups::kSpace);
        if (circle.space == 1) return Skip("paper space");
    }
    Shape shape;
    const auto number = [&](int slot, double fallback) {
        if (!has(slot)) return fallback;
        check(slot);
        return circle.values[slot];
    };
    const bool arc = entity.Type() == "ARC";
    if (const char* why = CircleFrom(
            arc, number, [&](const char* what) { entity.Fail(what); }, shape)) {
        return Skip(why);
    }
    shape.source = {
        m_drawing.KindIndex(entity.Type()),
        m_drawing.LayerIndex(has(CircleGroups::kLayer) ? std::string_view(circle.layer) : "0"),
        m_drawing.HandleIndex(has(CircleGroups::kHandle) ? std::string_view(circle.handle)
                                                         : std::string_view())};
    AddShape(std::move(shape));
}

}  // namespace Vexlor::Dxf
