// Messages, file names, standard streams, Ctrl-C and the console of vexlor-dxf.
// SPDX-License-Identifier: MIT
#include "Console.h"

#include <algorithm>     // std::none_of
#include <cerrno>        // errno
#include <csignal>       // std::raise, SIGINT
#include <cstdint>       // std::uint32_t, std::uint16_t
#include <cstdlib>       // std::_Exit
#include <cstring>       // std::strerror
#include <fstream>       // std::ofstream
#include <iostream>      // std::cout
#include <system_error>  // std::error_code

#include "FileReplacement.h"
#include "TerminalProgress.h"
#include "VexlorDxfPath.h"

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX  // std::max and std::min, not the macros of windows.h
#endif
#define WIN32_LEAN_AND_MEAN
// windows.h goes before the headers that build on it.
// clang-format off
#include <windows.h>   // GetCommandLineW, GetConsoleMode, SetConsoleOutputCP, ExitProcess
#include <shellapi.h>  // CommandLineToArgvW
// clang-format on
#include <fcntl.h>  // _O_BINARY
#include <io.h>     // _setmode
#else
#include <unistd.h>  // isatty
#endif

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

namespace {

// The messages of the drawing this thread imports; none (print at once) outside an import.
thread_local Messages* t_messages = nullptr;

#if defined(_WIN32)
// The console's output code page before the tool made it UTF-8 (0: unchanged), given back on
// every way out: the console outlives the tool.
UINT consoleCodePage = 0;
void RestoreConsoleCodePage() {
    if (consoleCodePage != 0) SetConsoleOutputCP(consoleCodePage);
}

// Runs before the system's own handler, which ends the program on a Ctrl-C that no catcher took
// (handlers run newest first, and the catchers' is registered later).
BOOL WINAPI RestoreBeforeSystemHandler(DWORD) {
    RestoreConsoleCodePage();
    return FALSE;
}

// UTF-16 as UTF-8. An unpaired surrogate is encoded as if it were a code point (three bytes that
// no well-formed UTF-8 holds), so that LibraryPath refuses the name instead of the tool opening
// another file.
std::string Utf8(const wchar_t* text) {
    std::string utf8;
    for (; *text != L'\0'; ++text) {
        std::uint32_t c = static_cast<std::uint16_t>(*text);
        const auto next = static_cast<std::uint16_t>(text[1]);
        if (c >= 0xD800 && c <= 0xDBFF && next >= 0xDC00 && next <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            ++text;
        }
        static const std::uint32_t kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
        const int tail = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        utf8 += static_cast<char>(kLead[tail] | c >> (6 * tail));
        for (int k = tail - 1; k >= 0; --k) utf8 += static_cast<char>(0x80 | (c >> (6 * k) & 0x3F));
    }
    return utf8;
}
#endif

}  // namespace

fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }
std::string TextOf(const fs::path& path) { return path.u8string(); }

int MoreSevere(int a, int b) {
    // Least severe first; a status not listed ranks above all, by its value.
    static const int kOrder[] = {
        0, 4, 3, 1, kExitData, 2, kExitNoInput, kExitUsage, kExitCannotWrite, kExitSoftware};
    const auto rank = [](int status) {
        for (std::size_t k = 0; k < std::size(kOrder); ++k) {
            if (kOrder[k] == status) return static_cast<long>(k);
        }
        return static_cast<long>(std::size(kOrder)) + status;
    };
    return rank(b) > rank(a) ? b : a;
}

void CollectMessages(Messages* messages) { t_messages = messages; }

void Print(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void Say(std::FILE* stream, std::string text) {
    if (t_messages != nullptr) {
        t_messages->emplace_back(stream, std::move(text));
    } else {
        Print(stream, text);
    }
}

// The library takes wide paths: on POSIX one wchar_t per Unicode code point, which it encodes
// back to UTF-8. The command line's bytes are decoded here rather than through the locale, which
// is "C" in a program that never calls setlocale and would refuse every non-ASCII byte. Overlong
// forms, surrogates and values past U+10FFFF are not UTF-8: such a name is refused with a message.
std::optional<std::wstring> LibraryPath(const std::string& argument) {
    const std::wstring wide = Vexlor::Dxf::WidePath(argument);
    // Bytes of no well-formed UTF-8 sequence come back as unpaired surrogates, which the library
    // would refuse to open; the tool says why instead.
    const bool valid = std::none_of(wide.begin(), wide.end(), [](wchar_t c) {
        return static_cast<std::uint32_t>(c) >= 0xDC80 && static_cast<std::uint32_t>(c) <= 0xDCFF;
    });
    if (valid) return wide;
#if defined(_WIN32)
    // The UTF-8 of the command line came from UTF-16, where only an unpaired surrogate is amiss.
    Error("{}: the file name holds an unpaired surrogate, which no UTF-8 name can", argument);
#else
    Error("{}: the file name is not valid UTF-8, which is all the library takes", argument);
#endif
    return std::nullopt;
}

bool StderrIsTerminal() {
#if defined(_WIN32)
    // A console, that is: _isatty is true of the NUL device too.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#else
    return isatty(2) != 0;
#endif
}

std::string Reason(int error, const std::string& fallback) {
    return error != 0 ? std::strerror(error) : fallback;
}

bool IsDirectory(const fs::path& file) {
    std::error_code error;
    return fs::is_directory(file, error);
}

void EndByInterrupt() {
#if defined(_WIN32)
    // As the system's own handler ends a console program on Ctrl-C; ExitProcess runs no
    // destructors, so the console gets its code page back first.
    RestoreConsoleCodePage();
    ExitProcess(STATUS_CONTROL_C_EXIT);
#else
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    std::_Exit(128 + SIGINT);
#endif
}

void BinaryStandardStreams() {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

bool WriteOutput(const std::string& name, const std::function<void(std::ostream&)>& write,
                 bool makeFolder) {
    if (name == kStandardStream) {
        write(std::cout);
        std::cout.flush();
        if (std::cout.fail() || std::fflush(stdout) != 0) {
            Error("standard output: cannot be written: writing failed");
            return false;
        }
        return true;
    }
    if (makeFolder) {
        // A failure shows as the file's: it cannot be created in a folder that is not there.
        std::error_code ignored;
        fs::create_directories(PathOf(name).parent_path(), ignored);
    }
    CFileReplacement file{PathOf(name)};
    // Ctrl-C would otherwise end the program with the temporary file left in the folder.
    const InterruptCatcher catcher;
    errno = 0;
    if (!file.Create()) {
        Error("{}: cannot be written: {}", name, Reason(errno, "cannot be created"));
        return false;
    }
    errno = 0;
    std::ofstream out(file.Path(), std::ios::binary);
    if (!out.is_open()) {
        Error("{}: cannot be written: {}; {}", name, Reason(errno, "cannot be opened"),
              file.Discard());
        return false;
    }
    write(out);
    out.close();
    if (InterruptCatcher::Interrupted()) {
        // The program ends once the drawing's messages are printed and other drawings being
        // imported meanwhile have cleaned up after themselves too.
        Error("{}: writing cancelled by Ctrl-C; {}", name, file.Discard());
        return false;
    }
    if (out.fail()) {
        Error("{}: cannot be written: writing failed (is the disk full?); {}", name,
              file.Discard());
        return false;
    }
    const std::string problem = file.Commit();
    if (!problem.empty()) {
        Error("{}: cannot be written: {}; {}", name, problem, file.Discard());
        return false;
    }
    return true;
}

#if defined(_WIN32)
int RunWithUtf8Arguments(int (*run)(int, char**)) {
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 0; wide != nullptr && i < count; ++i) arguments.push_back(Utf8(wide[i]));
    LocalFree(wide);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    consoleCodePage = GetConsoleOutputCP();
    SetConsoleCtrlHandler(RestoreBeforeSystemHandler, TRUE);
    SetConsoleOutputCP(CP_UTF8);
    struct Restore {
        ~Restore() { RestoreConsoleCodePage(); }
    } restore;
    return run(static_cast<int>(arguments.size()), argv.data());
}
#endif

}  // namespace Vexlor::DxfTool
