// The $INSUNITS codes and the lengths they name.
// SPDX-License-Identifier: MIT
#include <cstddef>  // std::size_t

#include "VexlorDxfUnits.h"

namespace Vexlor::Dxf {

namespace {

// In code order, from 1: the code is the index plus one.
constexpr LengthUnit kUnits[kLastUnitCode] = {
    {1, "inches", "in", 25.4},
    {2, "feet", "ft", 304.8},
    {3, "miles", "", 1609344},
    {4, "millimetres", "mm", 1},
    {5, "centimetres", "cm", 10},
    {6, "metres", "m", 1000},
    {7, "kilometres", "km", 1e6},
    {8, "microinches", "", 2.54e-5},
    {9, "mils", "", 0.0254},
    {10, "yards", "yd", 914.4},
    {11, "angstroms", "", 1e-7},
    {12, "nanometres", "", 1e-6},
    {13, "micrometres", "um", 1e-3},
    {14, "decimetres", "", 100},
    {15, "decametres", "", 1e4},
    {16, "hectometres", "", 1e5},
    {17, "gigametres", "", 1e12},
    {18, "astronomical units", "", 1.495978707e14},
    {19, "light years", "", 9.4607304725808e18},
    {20, "parsecs", "", 3.0856775814913673e19},
    // A US survey foot is 1200/3937 metres.
    {21, "US survey feet", "", 1200.0 / 3937.0 * 1000},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

const LengthUnit* FindUnit(int code) {
    return code >= 1 && code <= kLastUnitCode ? &kUnits[code - 1] : nullptr;
}

const LengthUnit* FindUnitBySymbol(std::string_view symbol) {
    for (const LengthUnit& unit : kUnits) {
        const std::string_view own = unit.symbol;
        if (own.empty() || own.size() != symbol.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < own.size() && same; ++i) same = Lower(symbol[i]) == own[i];
        if (same) return &unit;
    }
    return nullptr;
}

}  // namespace Vexlor::Dxf
