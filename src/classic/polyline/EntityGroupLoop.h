// The group loop that every entity reader of the polyline reader runs over its entity's groups.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::wstring

#include "classic/reader/ValueConversion.h"

namespace Vexlor::Dxf {

/// Nothing to do for a group.
constexpr auto kIgnoreGroup = [] {};

/// Runs the entity group loop: reads groups until the next one of code 0, which is left in
/// `code` as the look-ahead. `interpret()` sees each other group as soon as it is read (also
/// one whose value line ran into the end of the file); `afterGroup()` runs once the loop knows
/// the file did not end inside that group. Returns -1 when a code line could not be read or the
/// file ended inside a group before the look-ahead, else the look-ahead's read result.
template <typename ReadGroup, typename Interpret, typename AfterGroup>
short RunEntityGroupLoop(ReadGroup&& readGroup, const unsigned short& code, Interpret&& interpret,
                         AfterGroup&& afterGroup) {
    short r = readGroup();
    if (r < 0) return -1;
    while (code != 0) {
        interpret();
        if (r == 0) return -1;
        afterGroup();
        r = readGroup();
        if (r < 0) return -1;
    }
    return r;
}

/// One group an entity reader keeps: its code, where its value goes, and whether it is a y of the
/// output frame (negated, since that frame's y axis points down).
struct EntityField {
    unsigned short code;
    double* into;
    bool negated = false;
};

/// A coordinate as the drawing gives it: single precision, widened.
inline double Coordinate(const std::wstring& value) {
    return static_cast<double>(StringToFloat(value));
}

/// A y coordinate in the output frame, whose y axis points down: negated, then widened.
inline double NegatedCoordinate(const std::wstring& value) {
    return static_cast<double>(-StringToFloat(value));
}

/// Runs the entity group loop, storing the value of every group named in `fields` (a later group
/// of the same code replaces an earlier one); `other()` sees every group, these included.
template <typename ReadGroup, std::size_t N, typename Other = decltype(kIgnoreGroup)>
short ReadEntityFields(ReadGroup&& readGroup, const unsigned short& code, const std::wstring& value,
                       const EntityField (&fields)[N], const Other& other = kIgnoreGroup) {
    return RunEntityGroupLoop(
        readGroup, code,
        [&] {
            const unsigned short groupCode = code;
            for (std::size_t k = 0; k < N; ++k) {
                if (fields[k].code == groupCode) {
                    *fields[k].into =
                        fields[k].negated ? NegatedCoordinate(value) : Coordinate(value);
                    break;
                }
            }
            other();
        },
        kIgnoreGroup);
}

}  // namespace Vexlor::Dxf
