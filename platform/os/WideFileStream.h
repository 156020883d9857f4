// Opening file streams by wide-character path, as the operating system's runtime library does.
// SPDX-License-Identifier: MIT
#pragma once

#include <fstream>      // std::ifstream, std::ofstream
#include <string>       // std::string, std::wstring
#include <type_traits>  // std::make_unsigned_t

#if defined(_WIN32)
#include <filesystem>  // std::filesystem::path
#endif

namespace Vexlor::Platform {

/// Encodes a wide path as the bytes the operating system expects. On POSIX systems each
/// wchar_t is one Unicode code point, written as UTF-8 whatever locale the process has set;
/// a value that is no code point (a surrogate, beyond U+10FFFF) or a NUL makes the path
/// unopenable and the function returns false.
inline bool EncodePath(const std::wstring& wide, std::string& narrow) {
    narrow.clear();
    narrow.reserve(wide.size());
    for (const wchar_t wc : wide) {
        const auto cp = static_cast<unsigned long>(static_cast<std::make_unsigned_t<wchar_t>>(wc));
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp < 0x80) {
            narrow.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            narrow.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            narrow.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            narrow.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            narrow.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return true;
}

/// Opens `stream` on `path` with `mode`; afterwards `stream.is_open()` tells whether it worked.
template <typename Stream>
void OpenByWidePath(Stream& stream, const std::wstring& path, std::ios_base::openmode mode) {
#if defined(_WIN32)
    stream.open(std::filesystem::path(path), mode);
#else
    std::string narrow;
    if (EncodePath(path, narrow)) stream.open(narrow, mode);
#endif
}

}  // namespace Vexlor::Platform
