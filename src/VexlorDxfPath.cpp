// UTF-8 decoding of host paths into the wide paths the library opens.
// SPDX-License-Identifier: MIT
#include "VexlorDxfPath.h"

#include <cstddef>  // std::size_t

namespace Vexlor::Dxf {

namespace {

// Appends one code point, or one escaped byte (U+DC80 to U+DCFF), as the platform's wide
// characters: one unit where wchar_t holds every code point, a surrogate pair beyond U+FFFF where
// it is 16 bits wide. An escape stays a single unpaired unit either way.
void Append(std::wstring& wide, char32_t value) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (value >= 0x10000) {
            value -= 0x10000;
            wide.push_back(static_cast<wchar_t>(0xD800 + (value >> 10)));
            wide.push_back(static_cast<wchar_t>(0xDC00 + (value & 0x3FF)));
            return;
        }
    }
    wide.push_back(static_cast<wchar_t>(value));
}

// The length of the well-formed UTF-8 sequence at `bytes[at]`, or 0 when there is none. Only the
// shortest form of a scalar value is well-formed: the ranges of the second byte exclude
// overlong forms, the surrogates (ED A0 to ED BF) and values past U+10FFFF.
std::size_t SequenceLength(const std::string& bytes, std::size_t at) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(bytes[at + k]); };
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
    if (bytes.size() - at < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if (byte(k) < 0x80 || byte(k) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

std::wstring WidePath(const std::string& utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const std::size_t length = SequenceLength(utf8, at);
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (length == 0) {
            // One byte at a time, so the next well-formed sequence is decoded as it stands.
            Append(wide, 0xDC00 + lead);
            ++at;
            continue;
        }
        // The lead byte keeps 7, 5, 4 or 3 value bits; each continuation byte adds 6.
        char32_t value = lead & (length == 1 ? 0x7F : 0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            value = (value << 6) | (static_cast<unsigned char>(utf8[at + k]) & 0x3F);
        }
        Append(wide, value);
        at += length;
    }
    return wide;
}

std::wstring WidePath(const std::filesystem::path& path) {
#if defined(_WIN32)
    return path.wstring();
#else
    return WidePath(path.native());
#endif
}

}  // namespace Vexlor::Dxf
