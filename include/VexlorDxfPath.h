// The wide paths the readers and exporters take, made from UTF-8 text or a filesystem path.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>  // std::filesystem::path
#include <string>      // std::string, std::wstring

#include "VexlorDxfExport.h"

namespace Vexlor::Dxf {

/// The wide path naming the file whose UTF-8 name is `utf8`, decoded exactly as the library
/// encodes wide paths back: one wchar_t per code point (on Windows, UTF-16 with surrogate pairs).
/// Every byte that does not belong to a well-formed UTF-8 sequence (a stray or missing
/// continuation byte, an overlong form, an encoded surrogate, a value past U+10FFFF) becomes an
/// unpaired surrogate, U+DC00 plus the byte (U+DC80 to U+DCFF). Such a value is no code point,
/// so on POSIX systems the readers and exporters refuse the path as unopenable (result 2)
/// instead of opening some other file; replacing it by U+FFFD would name a valid, different
/// file. A NUL byte gives a NUL, which they refuse too. A host that wants to refuse such names
/// itself looks for a value from U+DC80 to U+DCFF in the result.
VEXLOR_DXF_API std::wstring WidePath(const std::string& utf8);

/// The wide path naming `path`: on Windows `path.wstring()`; elsewhere the path's bytes decoded
/// as UTF-8, as `WidePath(path.native())` does.
VEXLOR_DXF_API std::wstring WidePath(const std::filesystem::path& path);

/// A C string (`argv[i]`) would convert to both a std::string and a path; it is UTF-8 text.
inline std::wstring WidePath(const char* utf8) { return WidePath(std::string(utf8)); }

}  // namespace Vexlor::Dxf
