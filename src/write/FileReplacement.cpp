// The writers' output files: a temporary file beside the target, renamed over it once complete.
// SPDX-License-Identifier: MIT
#include "write/FileReplacement.h"

#include <fcntl.h>  // O_CREAT, O_EXCL

#include <cerrno>        // errno, EEXIST
#include <cstring>       // std::strerror
#include <fstream>       // std::ofstream
#include <random>        // std::random_device
#include <system_error>  // std::error_code
#include <utility>       // std::move

#include "WideFileStream.h"

#if defined(_WIN32)
#include <io.h>        // _wopen, _close
#include <sys/stat.h>  // _S_IREAD, _S_IWRITE
#else
#include <unistd.h>  // close
#endif

namespace Vexlor::Dxf {

namespace fs = std::filesystem;

namespace {

// Creates a new empty file in `folder` named `stem` and eight random letters; the empty path,
// errno set, when none can be made.
fs::path CreateUniqueFile(const fs::path& folder, const fs::path& stem) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string suffix = ".";
        for (int i = 0; i < 8; ++i) suffix += kLetters[random() % (sizeof kLetters - 1)];
        fs::path name = stem;
        name += suffix;
        const fs::path candidate = folder / name;
        // O_EXCL: a name someone else took meanwhile is never opened, let alone replaced.
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

WriteResult Failed(EWriteResult result, const std::string& why) { return {result, why}; }

}  // namespace

std::optional<fs::path> FilePathOf(const std::wstring& wide) {
#if defined(_WIN32)
    if (wide.find(L'\0') != std::wstring::npos) return std::nullopt;
    return fs::path(wide);
#else
    std::string narrow;
    if (!Vexlor::Platform::EncodePath(wide, narrow)) return std::nullopt;
    return fs::path(narrow);
#endif
}

WriteResult WriteReplacing(const fs::path& target,
                           const std::function<WriteResult(std::ostream&)>& write) {
    fs::path final = target;
    std::error_code error;
    if (fs::is_symlink(final, error)) {
        fs::path resolved = fs::canonical(final, error);
        if (!error) final = std::move(resolved);
    }
    const fs::file_status status = fs::status(final, error);
    const bool direct = fs::exists(status) && !fs::is_regular_file(status);
    fs::path temporary;
    if (!direct) {
        // A hidden name, so that a listing of the folder meanwhile does not offer it.
        fs::path stem(".");
        stem += final.filename();
        fs::path folder = final.parent_path();
        if (folder.empty()) folder = ".";
        temporary = CreateUniqueFile(folder, stem);
        if (temporary.empty()) return Failed(EWriteResult::eOpenError, std::strerror(errno));
    }
    const auto discard = [&] {
        std::error_code ignored;
        if (!temporary.empty()) fs::remove(temporary, ignored);
    };
    std::ofstream stream(direct ? final : temporary,
                         std::ios::out | std::ios::binary | std::ios::trunc);
    if (!stream.is_open()) {
        discard();
        return Failed(EWriteResult::eOpenError, "the file cannot be opened for writing");
    }
    WriteResult result = write(stream);
    if (result.result == EWriteResult::eOk) {
        // close() writes out what is buffered: a full disk shows here at the latest.
        stream.close();
        if (stream.fail()) result = Failed(EWriteResult::eWriteError, "the file cannot be written");
    } else {
        stream.close();
    }
    if (result.result != EWriteResult::eOk || direct) {
        discard();
        return result;
    }
    // The new file takes the earlier one's mode; failing that, the data matter more.
    if (fs::is_regular_file(status)) fs::permissions(temporary, status.permissions(), error);
    error.clear();
    fs::rename(temporary, final, error);
    if (error) {
        discard();
        return Failed(EWriteResult::eWriteError, "the file cannot be replaced: " + error.message());
    }
    return result;
}

}  // namespace Vexlor::Dxf
