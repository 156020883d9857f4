// Locale-independent number conversion of group values.
// SPDX-License-Identifier: MIT
#include "classic/reader/ValueConversion.h"

#include <locale.h>  // newlocale, freelocale

#include <cerrno>     // errno, ERANGE
#include <charconv>   // std::from_chars
#include <climits>    // INT_MAX, INT_MIN
#include <clocale>    // std::localeconv
#include <cmath>      // std::fpclassify
#include <cstdint>    // std::uint64_t
#include <cstdlib>    // strtof_l (POSIX), std::strtof
#include <cstring>    // std::memcpy
#include <limits>     // std::numeric_limits
#include <new>        // std::bad_alloc
#include <optional>   // std::optional
#include <stdexcept>  // std::invalid_argument, std::out_of_range
#include <string>     // std::string

namespace Vexlor::Dxf {

namespace {

constexpr std::size_t kShortText = 64;

[[noreturn]] void ThrowInvalidFloat() { throw std::invalid_argument("invalid stof argument"); }
[[noreturn]] void ThrowFloatRange() { throw std::out_of_range("stof argument out of range"); }

// White space as the "C" locale classifies it.
inline bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

// Characters that can belong to a number's text: digits, letters (exponents, hexadecimal
// digits, inf, nan and its payload), point, signs, parentheses and underscore.
inline bool MayBeNumberText(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') ||
           c == L'.' || c == L'+' || c == L'-' || c == L'(' || c == L')' || c == L'_';
}

// The rare forms (hexadecimal, inf, nan, results near the ends of float's range) go through
// the C library in its "C" locale, which is what defines their exact results and errors.
float ConvertWithCLibrary(const char* text) {
#if defined(_WIN32)
    // msvcrt.dll, the runtime of the MinGW-w64 build, has no strtof that takes a locale. UCRT's
    // _strtof_l would do, but one way for both runtimes is the way the tests run under Wine.
    // The text holds no separator but '.', so with the point spelled as the current locale
    // spells it, strtof reads it as the "C" locale would.
    std::string local(text);
    const std::string point = std::localeconv()->decimal_point;
    for (std::size_t at = 0; point != "." && (at = local.find('.', at)) != std::string::npos;) {
        local.replace(at, 1, point);
        at += point.size();
    }
    char* end = nullptr;
    const int savedErrno = errno;
    errno = 0;
    const float result = std::strtof(local.c_str(), &end);
    const int conversionErrno = errno;
    errno = savedErrno;
    if (end == local.c_str()) ThrowInvalidFloat();
#else
    const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (cLocale == static_cast<locale_t>(nullptr)) throw std::bad_alloc();
    char* end = nullptr;
    const int savedErrno = errno;
    errno = 0;
    const float result = strtof_l(text, &end, cLocale);
    const int conversionErrno = errno;
    errno = savedErrno;
    freelocale(cLocale);
    if (end == text) ThrowInvalidFloat();
#endif
    if (conversionErrno == ERANGE) ThrowFloatRange();
    return result;
}

float ConvertNarrow(const char* begin, const char* end) {
    const char* digits = begin;
    bool negative = false;
    if (digits != end && (*digits == '+' || *digits == '-')) {
        negative = *digits == '-';
        ++digits;
    }
    const bool plainDecimal =
        digits != end && ((*digits >= '0' && *digits <= '9') || *digits == '.') &&
        !(digits[0] == '0' && digits + 1 != end && (digits[1] == 'x' || digits[1] == 'X'));
    if (!plainDecimal) return ConvertWithCLibrary(begin);

    float magnitude = 0.0f;
    const auto [stop, error] = std::from_chars(digits, end, magnitude, std::chars_format::general);
    if (error == std::errc::invalid_argument) ThrowInvalidFloat();
    const int kind = std::fpclassify(magnitude);
    // Results at the edges of float's range carry the C library's range error: overflow,
    // subnormals, and values just below the smallest normal that round up to it.
    if (error != std::errc() || kind == FP_SUBNORMAL || kind == FP_INFINITE ||
        magnitude == std::numeric_limits<float>::min()) {
        return ConvertWithCLibrary(begin);
    }
    if (kind == FP_ZERO) {
        // A zero result from non-zero digits is an underflow, which the C library reports.
        for (const char* p = digits; p != stop; ++p) {
            if (*p >= '1' && *p <= '9') return ConvertWithCLibrary(begin);
            if (*p == 'e' || *p == 'E') break;
        }
    }
    return negative ? -magnitude : magnitude;
}

// Powers of ten that a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                        1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                        1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The digits of a plain decimal: an optional sign, digits and a fraction without exponent.
// Zeros in front of the first other digit are not significant; a mantissa of more than 15
// significant digits may have wrapped, and is then not used.
struct PlainDigits {
    bool negative = false;
    std::uint64_t mantissa = 0;
    int significant = 0;
    int fractionDigits = 0;
};

// The plain decimal at `position`, or nothing for any other shape (no digit, an exponent, a
// hexadecimal number).
std::optional<PlainDigits> ReadPlainDigits(const std::wstring& text, std::size_t position) {
    const std::size_t size = text.size();
    PlainDigits d;
    if (position < size && (text[position] == L'-' || text[position] == L'+')) {
        d.negative = text[position++] == L'-';
    }
    bool anyDigit = false;
    const auto readDigits = [&](bool fraction) {
        for (; position < size; ++position) {
            const auto digit = static_cast<std::uint64_t>(text[position]) - L'0';
            if (digit > 9) break;
            d.mantissa = d.mantissa * 10 + digit;
            d.significant += d.mantissa != 0 ? 1 : 0;
            d.fractionDigits += fraction ? 1 : 0;
            anyDigit = true;
        }
    };
    readDigits(false);
    if (position < size && text[position] == L'.') {
        ++position;
        readDigits(true);
    }
    const wchar_t next = position < size ? text[position] : L'\0';
    if (!anyDigit || next == L'e' || next == L'E' || next == L'x' || next == L'X') {
        return std::nullopt;
    }
    return d;
}

// Whether the double `value` lies exactly halfway between the positive normal float `rounded`
// and one of its neighbours, which differ from it by one in their bit pattern.
bool IsHalfway(double value, float rounded) {
    std::uint32_t bits;
    std::memcpy(&bits, &rounded, sizeof bits);
    float below;
    float above;
    const std::uint32_t belowBits = bits - 1;
    const std::uint32_t aboveBits = bits + 1;
    std::memcpy(&below, &belowBits, sizeof below);
    std::memcpy(&above, &aboveBits, sizeof above);
    // Neighbouring floats are within a factor of two, so these differences are exact.
    const double offset = value - static_cast<double>(rounded);
    return offset == (static_cast<double>(above) - static_cast<double>(rounded)) / 2 ||
           -offset == (static_cast<double>(rounded) - static_cast<double>(below)) / 2;
}

// The common shape of a coordinate converted without the general algorithm. The digits form an
// integer w below 2^53 and the fraction a power of ten p at most 10^22, both exact in double,
// so w / p is the correctly rounded double of the decimal. Rounding that double to float gives
// the correctly rounded float unless it lies exactly halfway between two floats; that case, any
// longer or other shape, and results near the ends of float's range are left to the general
// conversion.
std::optional<float> PlainDecimal(const std::wstring& text, std::size_t position) {
    const std::optional<PlainDigits> d = ReadPlainDigits(text, position);
    if (!d || d->significant > 15) return std::nullopt;
    if (d->mantissa == 0) return d->negative ? -0.0f : 0.0f;
    if (d->fractionDigits > 22) return std::nullopt;
    const double value = static_cast<double>(d->mantissa) / kExactPowersOfTen[d->fractionDigits];
    const float rounded = static_cast<float>(value);
    if (!(rounded > std::numeric_limits<float>::min() * 2 &&
          rounded < std::numeric_limits<float>::max() / 2) ||
        IsHalfway(value, rounded)) {
        return std::nullopt;
    }
    return d->negative ? -rounded : rounded;
}

}  // namespace

float StringToFloat(const std::wstring& text) {
    std::size_t first = 0;
    while (first < text.size() && IsSpace(text[first])) ++first;
    if (const std::optional<float> plain = PlainDecimal(text, first)) return *plain;
    std::size_t last = first;
    while (last < text.size() && MayBeNumberText(text[last])) ++last;

    // Only ASCII can be part of a number, so the narrowed prefix converts the same way.
    const std::size_t length = last - first;
    char shortBuffer[kShortText + 1];
    std::string longBuffer;
    char* narrow = shortBuffer;
    if (length > kShortText) {
        longBuffer.resize(length);
        narrow = longBuffer.data();
    }
    for (std::size_t i = 0; i < length; ++i) narrow[i] = static_cast<char>(text[first + i]);
    narrow[length] = '\0';
    return ConvertNarrow(narrow, narrow + length);
}

int StringToInt(const std::wstring& text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const std::size_t firstDigit = i;
    // Magnitudes beyond int's range only need to be known as such; the count saturates.
    long long magnitude = 0;
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
        if (magnitude <= limit) magnitude = magnitude * 10 + (text[i] - L'0');
    }
    if (i == firstDigit) throw std::invalid_argument("invalid stoi argument");
    const long long result = negative ? -magnitude : magnitude;
    if (result > INT_MAX || result < INT_MIN) throw std::out_of_range("stoi argument out of range");
    return static_cast<int>(result);
}

}  // namespace Vexlor::Dxf
