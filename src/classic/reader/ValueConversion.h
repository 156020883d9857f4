// Number conversion of group values, exactly as the standard string conversions do in the "C"
// locale, whatever locale the host has set.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>  // std::wstring

namespace Vexlor::Dxf {

/// The value of `text` as `std::stof` gives it in the "C" locale: leading white space skipped,
/// the longest numeric prefix taken (decimal, hexadecimal, inf, nan), the rest ignored.
/// Throws `std::invalid_argument` ("invalid stof argument") when no number starts the text and
/// `std::out_of_range` ("stof argument out of range") when it overflows or underflows float.
float StringToFloat(const std::wstring& text);

/// The value of `text` as `std::stoi` gives it (base 10). Throws `std::invalid_argument`
/// ("invalid stoi argument") without digits and `std::out_of_range` ("stoi argument out of
/// range") outside the range of int.
int StringToInt(const std::wstring& text);

}  // namespace Vexlor::Dxf
