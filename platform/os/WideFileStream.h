// Opening file streams by wide-character path, as the operating system's runtime library does.
// SPDX-License-Identifier: MIT
#pragma once

#include <fstream>      // std::ifstream, std::ofstream
#include <string>       // std::string, std::wstring
#include <type_traits>  // std::make_unsigned_t

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
/// On Windows the path is the UTF-16 name the system takes, and goes to it unconverted through
/// the runtime's wide-character opening (the streams' wchar_t overloads, _wfopen beneath them),
/// surrogate pairs and all; a NUL would cut the name short and so name another file, and is
/// refused there too. Without std::ios_base::binary the file is in text mode, which on Windows
/// converts line ends (CR LF to LF on reading, LF to CR LF on writing) and ends a read at a
/// Ctrl-Z byte (0x1A).
template <typename Stream>
void OpenByWidePath(Stream& stream, const std::wstring& path, std::ios_base::openmode mode) {
#if defined(_WIN32)
    if (path.find(L'\0') == std::wstring::npos) stream.open(path.c_str(), mode);
#else
    std::string narrow;
    if (EncodePath(path, narrow)) stream.open(narrow, mode);
#endif
}

}  // namespace Vexlor::Platform
