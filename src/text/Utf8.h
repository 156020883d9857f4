// The library's one UTF-8 codec: the length of a well-formed sequence, its scalar value, and the
// encoding of a scalar value.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <string>       // std::string
#include <string_view>  // std::string_view

namespace Vexlor::Dxf {

/// The length of the well-formed UTF-8 sequence at `text[at]` (1 to 4), or 0 when there is none.
/// Only the shortest form of a scalar value is well-formed: the ranges of the second byte exclude
/// overlong forms, the surrogates (ED A0 to ED BF) and values past U+10FFFF.
inline std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    const unsigned lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (text.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

/// The scalar value of the well-formed sequence of `length` bytes at `text[at]`.
inline char32_t Utf8Value(std::string_view text, std::size_t at, std::size_t length) {
    // The lead byte keeps 7, 5, 4 or 3 value bits; each continuation byte adds 6.
    const auto lead = static_cast<unsigned char>(text[at]);
    char32_t value = lead & (length == 1 ? 0x7F : 0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        value = (value << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
    }
    return value;
}

/// Appends the UTF-8 form of the scalar value `c`.
inline void AppendUtf8(std::string& out, char32_t c) {
    // The marker of a lead byte before 1, 2 or 3 continuation bytes of 6 bits each.
    static constexpr unsigned kLead[] = {0, 0xC0, 0xE0, 0xF0};
    const int continuations = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLead[continuations] | (c >> (6 * continuations)));
    for (int k = continuations - 1; k >= 0; --k) {
        out += static_cast<char>(0x80 | ((c >> (6 * k)) & 0x3F));
    }
}

}  // namespace Vexlor::Dxf
