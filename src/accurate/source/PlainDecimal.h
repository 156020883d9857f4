// The common number of a drawing read at once, without the general conversion: inline, since
// it is most of what reading a drawing converts.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <cstdint>      // std::uint64_t
#include <cstring>      // std::memcpy
#include <string_view>  // std::string_view

#include "text/LineBreak.h"  // VEXLOR_DXF_LITTLE_ENDIAN

namespace Vexlor::Dxf {

// Its parts, which nothing else uses.
namespace PlainNumbers {

// Powers of ten that doubles hold exactly.
constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
constexpr std::uint64_t kHighHalves = 0xF0F0F0F0F0F0F0F0ull;
constexpr std::uint64_t kZeros = 0x3030303030303030ull;  // eight '0'

// The bytes of `word` (the first in its lowest bits) that are not decimal digits, as non-zero
// bytes. A byte is 0x30..0x39 exactly when its high half is 3 and adding 6 keeps it so; a carry
// out of a byte comes only from one that is not a digit, and reaches only later bytes.
inline std::uint64_t NotDigits(std::uint64_t word) {
    return ((word & kHighHalves) ^ kZeros) |
           (((word + 0x0606060606060606ull) & kHighHalves) ^ kZeros);
}

// The number of eight digits, the first byte the most significant: pairs, then the pairs joined
// into two numbers of four, then the two into one.
inline std::uint64_t EightDigitsValue(std::uint64_t word) {
    word -= kZeros;
    word = (word * 10) + (word >> 8);
    return (((word & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
            (((word >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
           32;
}
#endif

constexpr std::uint64_t kWholePowers[] = {1,      10,      100,      1000,     10000,
                                          100000, 1000000, 10000000, 100000000};

// Appends the digits of [p, end) to `digits` and returns true when they are all digits, at most
// eight, and the text has eight bytes before `end`: those are read as one word, the bytes before
// `p` taken as zeros. False, having changed nothing, otherwise.
inline bool AppendLastDigits(const char* begin, const char* p, const char* end,
                             std::uint64_t& digits) {
#if defined(VEXLOR_DXF_LITTLE_ENDIAN)
    const auto count = static_cast<std::size_t>(end - p);
    if (count == 0 || count > 8 || end - begin < 8) return false;
    std::uint64_t word;
    std::memcpy(&word, end - 8, sizeof word);
    const std::uint64_t before = (std::uint64_t{1} << (8 * (8 - count))) - 1;
    word = (word & ~before) | (kZeros & before);
    if (NotDigits(word) != 0) return false;
    digits = digits * kWholePowers[count] + EightDigitsValue(word);
    return true;
#else
    (void)begin, (void)p, (void)end, (void)digits;
    return false;
#endif
}

// The common number of a drawing, such as "-12.5", at once: at most 15 digits, no exponent,
// blanks around it allowed. Its digits as an integer and the power of ten are exact doubles, so
// their quotient is the correctly rounded value, the same double std::from_chars gives. False
// for any other text.
inline bool PlainDecimal(std::string_view text, double& value) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    while (p < end && (end[-1] == ' ' || end[-1] == '\t')) --end;
    const bool negative = p < end && *p == '-';
    if (p < end && (*p == '-' || *p == '+')) ++p;
    const auto digit = [](char c) { return static_cast<unsigned>(c - '0') < 10; };
    std::uint64_t digits = 0;  // wraps past 19 digits, and is then not used
    const char* whole = p;
    while (p < end && digit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
    const auto wholeDigits = static_cast<std::size_t>(p - whole);
    std::size_t fraction = 0;
    if (p < end && *p == '.') {
        const char* first = ++p;
        if (AppendLastDigits(text.data(), p, end, digits)) p = end;
        while (p < end && digit(*p)) digits = digits * 10 + static_cast<unsigned>(*p++ - '0');
        fraction = static_cast<std::size_t>(p - first);
    }
    if (p != end || wholeDigits + fraction == 0 || wholeDigits + fraction > 15) return false;
    const double magnitude = static_cast<double>(digits) / kExactPowers[fraction];
    value = negative ? -magnitude : magnitude;
    return true;
}

}  // namespace PlainNumbers

using PlainNumbers::PlainDecimal;

}  // namespace Vexlor::Dxf
