// Exact six-decimal formatting of doubles without the C library's locale-dependent path.
// SPDX-License-Identifier: MIT
#include "export/FixedFormat.h"

#include <locale.h>  // newlocale, uselocale, freelocale (POSIX)

#include <algorithm>  // std::search
#include <clocale>    // LC_ALL_MASK, std::localeconv
#include <cmath>      // std::signbit, std::isfinite, std::fabs, std::frexp, std::ldexp
#include <cstdint>    // std::uint64_t
#include <cstdio>     // std::snprintf
#include <cstring>    // std::strlen, std::memmove

namespace Vexlor::DxfExport {

namespace {

constexpr std::uint64_t kMillion = 1000000;

#if defined(__SIZEOF_INT128__)
// A compiler extension; `__extension__` keeps pedantic builds quiet about it.
__extension__ typedef unsigned __int128 Uint128;
#endif

// Integer part below 2^63: the exact arithmetic below handles it.
constexpr double kLargestDirect = 9.2e18;

std::size_t WriteUnsigned(std::uint64_t value, char* out) {
    char digits[24];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (std::size_t k = 0; k < count; ++k) out[k] = digits[count - 1 - k];
    return count;
}

// Values that are not finite, or too large for 64-bit integer parts, are rare in a mesh; the C
// library formats them, switched to the "C" locale for this thread only.
std::size_t FormatWithCLibrary(double value, char* out) {
#if defined(_WIN32)
    // Windows has no uselocale: snprintf writes the text in the host's locale. Of "%.6f" a locale
    // changes only the decimal point, which a finite value's text holds once, after its sign and
    // digits; it is found as localeconv() spells it, in one byte or several, and made '.'. (The
    // longest text leaves room for a point of up to 13 bytes.)
    const int length = std::snprintf(out, kFixedTextCapacity, "%.6f", value);
    if (length <= 0 || static_cast<std::size_t>(length) >= kFixedTextCapacity) return 0;
    auto size = static_cast<std::size_t>(length);
    const char* const point = std::localeconv()->decimal_point;
    const std::size_t pointSize = std::strlen(point);
    char* const at = std::search(out, out + size, point, point + pointSize);
    if (std::isfinite(value) && pointSize != 0 && at != out + size) {
        *at = '.';
        std::memmove(at + 1, at + pointSize, size - static_cast<std::size_t>(at - out) - pointSize);
        size -= pointSize - 1;
    }
    return size;
#else
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    const locale_t previous = cLocale ? uselocale(cLocale) : static_cast<locale_t>(nullptr);
    const int length = std::snprintf(out, kFixedTextCapacity, "%.6f", value);
    if (cLocale) {
        uselocale(previous);
        freelocale(cLocale);
    }
    return length > 0 ? static_cast<std::size_t>(length) : 0;
#endif
}

}  // namespace

std::size_t FormatFixed6(double value, char* out) {
#if !defined(__SIZEOF_INT128__)
    return FormatWithCLibrary(value, out);
#else
    const double magnitude = std::fabs(value);
    if (!std::isfinite(value) || magnitude >= kLargestDirect) {
        return FormatWithCLibrary(value, out);
    }
    // The magnitude is m * 2^-k exactly, with an integer m below 2^53 (k may be negative).
    int exponent = 0;
    const double fraction = std::frexp(magnitude, &exponent);  // magnitude = fraction * 2^exponent
    const auto m = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int k = 53 - exponent;

    // magnitude * 10^6 = m * 10^6 / 2^k, rounded to the nearest integer, ties to even, in
    // 128-bit integers: m * 10^6 is below 2^73, an integer part below 2^63 times 10^6 below
    // 2^83.
    const Uint128 product = static_cast<Uint128>(m) * kMillion;
    Uint128 whole = 0;
    if (k <= 0) {
        whole = (static_cast<Uint128>(m) << -k) * kMillion;
    } else if (k < 128) {
        whole = product >> k;
        const Uint128 remainder = product - (whole << k);
        const Uint128 half = static_cast<Uint128>(1) << (k - 1);
        if (remainder > half || (remainder == half && (whole & 1) != 0)) ++whole;
    }
    // With k of 128 or more the product is far below half a unit: it rounds to zero.

    std::size_t length = 0;
    if (std::signbit(value)) out[length++] = '-';
    const auto integerPart = static_cast<std::uint64_t>(whole / kMillion);
    auto decimals = static_cast<std::uint64_t>(whole % kMillion);
    length += WriteUnsigned(integerPart, out + length);
    out[length++] = '.';
    for (int d = 5; d >= 0; --d) {
        out[length + static_cast<std::size_t>(d)] = static_cast<char>('0' + decimals % 10);
        decimals /= 10;
    }
    return length + 6;
#endif
}

}  // namespace Vexlor::DxfExport
