// The writers' output files: written beside their target and renamed over it once complete.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>  // std::filesystem::path
#include <functional>  // std::function
#include <optional>    // std::optional
#include <ostream>     // std::ostream
#include <string>      // std::wstring

#include "VexlorDxfWriter.h"

namespace Vexlor::Dxf {

/// The path a wide path names: on POSIX systems its UTF-8 bytes; nothing when it holds a value
/// that is no code point, or a NUL, and so names no file.
std::optional<std::filesystem::path> FilePathOf(const std::wstring& wide);

/// Runs `write` on a binary stream of a new temporary file in the folder of `target` (a hidden
/// name starting with "." and the target's name, never an existing file), then closes it and
/// renames it over `target` with the earlier file's permissions. When `write` gives anything but
/// eOk, or closing or renaming fails, the temporary file is removed and an earlier target stays
/// exactly as it was. A symbolic link is followed, so that the link stays one; a target that
/// exists but is no regular file (a device, a FIFO) is written directly.
WriteResult WriteReplacing(const std::filesystem::path& target,
                           const std::function<WriteResult(std::ostream&)>& write);

}  // namespace Vexlor::Dxf
