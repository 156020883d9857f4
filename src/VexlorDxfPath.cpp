// UTF-8 decoding of host paths into the wide paths the library opens.
// SPDX-License-Identifier: MIT
#include "VexlorDxfPath.h"

#include <cstddef>  // std::size_t

#include "text/Utf8.h"

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

}  // namespace

std::wstring WidePath(const std::string& utf8) {
    std::wstring wide;
    wide.reserve(utf8.size());
    std::size_t at = 0;
    while (at < utf8.size()) {
        const std::size_t length = Utf8SequenceLength(utf8, at);
        const auto lead = static_cast<unsigned char>(utf8[at]);
        if (length == 0) {
            // One byte at a time, so the next well-formed sequence is decoded as it stands.
            Append(wide, 0xDC00 + lead);
            ++at;
            continue;
        }
        Append(wide, Utf8Value(utf8, at, length));
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
