// Fixed-point text of doubles with six decimals, as a stream in the "C" locale writes them.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t

namespace Vexlor::DxfExport {

/// Enough room for any value: 309 integer digits, sign, point, six decimals.
constexpr std::size_t kFixedTextCapacity = 330;

/// Writes `value` to `out` exactly as `stream << std::fixed << value` does with precision 6 in
/// the "C" locale (correctly rounded, ties to even; "-0.000000" for negative values that round
/// to zero; "inf", "-inf", "nan", "-nan"), whatever locale the process has set. `out` must have
/// room for `kFixedTextCapacity` characters; no terminator is written. Returns the length.
std::size_t FormatFixed6(double value, char* out);

}  // namespace Vexlor::DxfExport
