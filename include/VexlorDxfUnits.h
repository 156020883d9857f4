// The units of length a drawing's $INSUNITS code names, for converting coordinates and for
// naming units to people.
// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>  // std::string_view

#include "VexlorDxfExport.h"

namespace Vexlor::Dxf {

/// One unit of length as an $INSUNITS code names it.
struct LengthUnit {
    int code;            ///< its $INSUNITS code, 1 to kLastUnitCode
    const char* words;   ///< its name in the plural, "millimetres", "US survey feet"
    const char* symbol;  ///< the short name people type, "mm", "in"; "" for the rarer units
    double millimetres;  ///< millimetres per unit
};

/// The highest $INSUNITS code that names a unit (US survey feet); 0 is "no unit".
constexpr int kLastUnitCode = 21;

/// The unit of `code`, or nullptr for 0 (unitless) and for every code that names no unit.
VEXLOR_DXF_API const LengthUnit* FindUnit(int code);

/// The unit whose symbol is `symbol`, compared without regard to case ("MM" is millimetres), or
/// nullptr.
VEXLOR_DXF_API const LengthUnit* FindUnitBySymbol(std::string_view symbol);

}  // namespace Vexlor::Dxf
