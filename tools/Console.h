// What every command of vexlor-dxf shares: its messages, its file names, standard streams, Ctrl-C
// and the console, and how it writes an output file.
// SPDX-License-Identifier: MIT
#pragma once

#include <fmt/core.h>

#include <cstdio>      // std::FILE
#include <filesystem>  // std::filesystem::path
#include <functional>  // std::function
#include <optional>    // std::optional
#include <ostream>     // std::ostream
#include <string>      // std::string, std::wstring
#include <utility>     // std::forward, std::pair
#include <vector>      // std::vector

namespace Vexlor::DxfTool {

// Exit statuses beyond the result codes 0 to 4, after BSD's sysexits.h.
constexpr int kExitUsage = 64;        // bad command line
constexpr int kExitData = 65;         // a drawing holds a bad number; a mesh file is malformed
constexpr int kExitNoInput = 66;      // a mesh file cannot be opened; a folder holds no drawing
constexpr int kExitSoftware = 70;     // anything unexpected
constexpr int kExitCannotWrite = 73;  // an output or temporary file cannot be written

/// The more severe of two exit statuses, so that a run of many drawings returns what matters
/// most: an unexpected failure (70), an output that cannot be written (73), a bad command line
/// or file name (64), a folder without drawings (66), a drawing that cannot be opened (2), one
/// that holds a bad number (65, the polyline reader) or cannot be read to its end (1), one without
/// contours (3), contours that cross under --strict (4), success (0). Other statuses rank above
/// them all, the higher first.
int MoreSevere(int a, int b);

/// The name that stands for standard input (a drawing) or standard output (--svg, --json).
inline const char kStandardStream[] = "-";
/// Standard input's name in messages and in the JSON record.
inline const char kStandardInputName[] = "<stdin>";

/// File names are UTF-8 text throughout the tool, and paths are made from it and turned back
/// into it as UTF-8 explicitly: on Windows a plain std::string means the ANSI code page.
std::filesystem::path PathOf(const std::string& utf8);
std::string TextOf(const std::filesystem::path& path);

/// What a drawing says, kept until the main thread prints it: drawings imported at once still
/// print in input order, each one's lines together, as they would one after another.
using Messages = std::vector<std::pair<std::FILE*, std::string>>;

/// Keeps what this thread says in `messages` from now on; nullptr prints at once again.
void CollectMessages(Messages* messages);

/// Writes `text` on `stream` at once and flushes it.
void Print(std::FILE* stream, const std::string& text);

/// Prints `text` on `stream`, or keeps it while this thread collects its messages.
void Say(std::FILE* stream, std::string text);

/// One line on stderr.
template <typename... Args>
void Error(fmt::format_string<Args...> format, Args&&... args) {
    Say(stderr, fmt::format(format, std::forward<Args>(args)...) + "\n");
}

/// The library's wide path of a command-line argument; none, after a message, for a name that is
/// not valid UTF-8 (on Windows: that holds an unpaired surrogate).
std::optional<std::wstring> LibraryPath(const std::string& argument);

/// Whether stderr is a terminal (on Windows a console), where progress lines are drawn.
bool StderrIsTerminal();

/// strerror of `error`, or `fallback` when it is 0.
std::string Reason(int error, const std::string& fallback);

bool IsDirectory(const std::filesystem::path& file);

/// Ctrl-C came while a temporary file existed, which is now gone: ends the program as the
/// signal would have.
[[noreturn]] void EndByInterrupt();

/// Standard input and output carry files byte for byte.
void BinaryStandardStreams();

/// Writes one output file through `write`, or standard output for "-"; false (after a message)
/// when it cannot be written or Ctrl-C came meanwhile. A file is replaced only once it is
/// complete (CFileReplacement). `makeFolder` creates the folders it goes in first.
bool WriteOutput(const std::string& name, const std::function<void(std::ostream&)>& write,
                 bool makeFolder = false);

#if defined(_WIN32)
/// Runs `run` on the command line as UTF-8 with the console's output in UTF-8 meanwhile: Windows
/// keeps the command line in UTF-16, and the char arguments of main would be in the ANSI code
/// page, which cannot hold most names.
int RunWithUtf8Arguments(int (*run)(int, char**));
#endif

}  // namespace Vexlor::DxfTool
