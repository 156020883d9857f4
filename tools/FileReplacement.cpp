// Output files written beside their target and renamed over it once complete.
// SPDX-License-Identifier: MIT
#include "FileReplacement.h"

#include <fcntl.h>  // O_CREAT, O_EXCL

#include <cerrno>        // errno, EEXIST
#include <random>        // std::random_device
#include <system_error>  // std::error_code
#include <utility>       // std::move

#if defined(_WIN32)
#include <io.h>        // _wopen, _close
#include <sys/stat.h>  // _S_IREAD, _S_IWRITE
#else
#include <unistd.h>  // close
#endif

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

fs::path CreateUniqueFile(const fs::path& folder, const std::string& stem) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = ".";
        for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
        fs::path name = fs::u8path(stem + suffix);
        const fs::path candidate = folder / name;
        // O_EXCL: a name that someone else took meanwhile is never opened, let alone replaced.
#if defined(_WIN32)
        const int descriptor = _wopen(candidate.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                                      _S_IREAD | _S_IWRITE);
        if (descriptor >= 0) _close(descriptor);
#else
        const int descriptor =
            open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (descriptor >= 0) close(descriptor);
#endif
        if (descriptor >= 0) return candidate;
        if (errno != EEXIST) break;
    }
    return {};
}

CFileReplacement::CFileReplacement(fs::path target) : m_target(std::move(target)) {
    std::error_code error;
    if (fs::is_symlink(m_target, error)) {
        fs::path resolved = fs::canonical(m_target, error);
        if (!error) m_target = std::move(resolved);
    }
    const fs::file_status status = fs::status(m_target, error);
    m_hadEarlier = fs::is_regular_file(status);
    m_direct = fs::exists(status) && !m_hadEarlier;
}

CFileReplacement::~CFileReplacement() { Discard(); }

bool CFileReplacement::Create() {
    if (m_direct) return true;
    // A hidden name, so that a listing of the folder meanwhile does not offer it as a result.
    fs::path stem(".");
    stem += m_target.filename();
    m_temporary = CreateUniqueFile(m_target.parent_path(), stem.u8string());
    return !m_temporary.empty();
}

const fs::path& CFileReplacement::Path() const { return m_direct ? m_target : m_temporary; }

std::string CFileReplacement::Commit() {
    if (m_temporary.empty()) return "";
    std::error_code error;
    // The new file takes the earlier one's mode; failing that, the data matter more.
    const fs::file_status earlier = fs::status(m_target, error);
    if (!error && fs::is_regular_file(earlier)) {
        fs::permissions(m_temporary, earlier.permissions(), error);
    }
    error.clear();
    fs::rename(m_temporary, m_target, error);
    if (error) return error.message();
    m_temporary.clear();
    return "";
}

std::string CFileReplacement::Discard() {
    if (m_direct) return "nothing was removed";
    std::error_code error;
    if (!m_temporary.empty() && !fs::remove(m_temporary, error) && error) {
        return "the partial file " + m_temporary.u8string() +
               " could not be removed: " + error.message();
    }
    m_temporary.clear();
    return m_hadEarlier ? "the earlier file was left as it was" : "the partial file was removed";
}

}  // namespace Vexlor::DxfTool
