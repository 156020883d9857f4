// Output files that replace an earlier file only once they are complete.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>  // std::filesystem::path
#include <string>      // std::string

namespace Vexlor::DxfTool {

/// Creates a new, empty file in `folder` whose name starts with `stem` (UTF-8), never one that
/// already exists; the empty path, with errno set, when none can be created.
std::filesystem::path CreateUniqueFile(const std::filesystem::path& folder,
                                       const std::string& stem);

/// One output file written through a temporary file in the target's folder, which `Commit`
/// renames over the target: until then an earlier file stays exactly as it was, and a new one
/// never appears half written. A target that exists but is not a regular file (a device, a
/// FIFO) cannot be replaced, so it is written directly. A temporary file neither committed nor
/// discarded is removed on destruction.
class CFileReplacement {
public:
    explicit CFileReplacement(std::filesystem::path target);
    ~CFileReplacement();
    CFileReplacement(const CFileReplacement&) = delete;
    CFileReplacement& operator=(const CFileReplacement&) = delete;

    /// Creates the empty temporary file for the writer to open; nothing for a direct target.
    /// False, with errno set, when it cannot be created.
    bool Create();
    /// Where the data go: the temporary file, or the target when it is written directly.
    const std::filesystem::path& Path() const;
    /// Renames the temporary file over the target, with the earlier file's permissions. An
    /// empty string once done, else why not; the temporary file then stays for `Discard`.
    std::string Commit();
    /// Removes the temporary file, and says for a message what became of the target: "the
    /// partial file was removed", "the earlier file was left as it was", or "nothing was
    /// removed" for a direct target, which is never removed.
    std::string Discard();

private:
    std::filesystem::path m_target;     // a link resolved, so that the link stays one
    std::filesystem::path m_temporary;  // empty when there is none
    bool m_direct = false;
    bool m_hadEarlier = false;
};

}  // namespace Vexlor::DxfTool
