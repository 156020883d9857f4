// The group loop that every entity reader of the polyline reader runs over its entity's groups.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>  // std::wstring

#include "reader/ValueConversion.h"

namespace Vexlor::Dxf {

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

/// A coordinate as the drawing gives it: single precision, widened.
inline double Coordinate(const std::wstring& value) {
    return static_cast<double>(StringToFloat(value));
}

/// A y coordinate in the output frame, whose y axis points down: negated, then widened.
inline double NegatedCoordinate(const std::wstring& value) {
    return static_cast<double>(-StringToFloat(value));
}

}  // namespace Vexlor::Dxf
