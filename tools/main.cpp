// vexlor-dxf: imports DXF drawings as contours and exports triangle meshes as DXF, as a host does.
// SPDX-License-Identifier: MIT
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <algorithm>           // std::max, std::count, std::all_of, std::none_of, std::sort
#include <atomic>              // std::atomic
#include <cctype>              // std::tolower
#include <cerrno>              // errno
#include <charconv>            // std::from_chars
#include <chrono>              // std::chrono::steady_clock
#include <condition_variable>  // std::condition_variable
#include <csignal>             // std::raise, SIGINT
#include <cstdint>             // std::uint32_t, SIZE_MAX
#include <cstdio>              // std::fflush, std::fread
#include <cstdlib>             // std::_Exit
#include <cstring>             // std::strerror
#include <exception>           // std::exception
#include <filesystem>          // std::filesystem::path
#include <fstream>             // std::ofstream
#include <functional>          // std::function
#include <ios>                 // std::ios_base::failure
#include <iostream>            // std::cout
#include <iterator>            // std::back_inserter
#include <map>                 // std::map
#include <memory>              // std::make_shared
#include <mutex>               // std::mutex
#include <new>                 // std::bad_alloc
#include <optional>            // std::optional
#include <set>                 // std::set
#include <stdexcept>           // std::invalid_argument, std::out_of_range
#include <string>              // std::string, std::wstring
#include <system_error>        // std::errc
#include <thread>              // std::thread
#include <utility>             // std::forward, std::pair
#include <vector>              // std::vector

#include "CDXFReader.h"
#include "ExportToDxf.h"
#include "FileReplacement.h"
#include "ImportJson.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "MeshFile.h"
#include "PrintableText.h"
#include "SummaryTable.h"
#include "SvgPicture.h"
#include "TerminalProgress.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfPath.h"
#include "VexlorDxfUnits.h"

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

namespace {

using namespace Vexlor::DxfTool;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;
namespace fs = std::filesystem;

// File names are UTF-8 text throughout the tool, and paths are made from it and turned back
// into it as UTF-8 explicitly: on Windows a plain std::string means the ANSI code page.
fs::path PathOf(const std::string& utf8) { return fs::u8path(utf8); }
std::string TextOf(const fs::path& path) { return path.u8string(); }

// Exit statuses beyond the result codes 0 to 4, after BSD's sysexits.h.
constexpr int kExitUsage = 64;        // bad command line
constexpr int kExitData = 65;         // a drawing holds a bad number; a mesh file is malformed
constexpr int kExitNoInput = 66;      // a mesh file cannot be opened; a folder holds no drawing
constexpr int kExitSoftware = 70;     // anything unexpected
constexpr int kExitCannotWrite = 73;  // an output or temporary file cannot be written

const char kExitCodes[] =
    "Exit status:\n"
    "  0-4  the result of the import or export (0 success; import: 1 unreadable to its end,\n"
    "       2 cannot be opened, 3 no contours; export: 2 output cannot be opened, 3 no\n"
    "       triangles or a write failed, 4 cancelled by Ctrl-C). Contours that cross (the\n"
    "       import's result 4) give status 0 and are named in the summary; 4 with --strict\n"
    "  64   bad command line, or a file name that is not valid UTF-8\n"
    "  65   a drawing holds a value that is not a number or out of range; a mesh file is\n"
    "       not valid STL or OBJ\n"
    "  66   a mesh file cannot be opened, or a folder holds no drawing (*.dxf)\n"
    "  70   an unexpected failure (out of memory, ...)\n"
    "  73   an --svg, --json or --summary file cannot be written, or standard input cannot\n"
    "       be copied to a temporary file\n"
    "With several drawings, the highest status of all is returned.\n";

// The name that stands for standard input (a drawing) or standard output (--svg, --json).
const char kStandardStream[] = "-";
// Standard input's name in messages and in the JSON record.
const char kStandardInputName[] = "<stdin>";
// What a binary DXF file starts with; the polyline reader reads ASCII DXF only.
const std::string kBinaryDxfSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

// What a drawing says, kept until the main thread prints it: drawings imported at once still
// print in input order, each one's lines together, as they would one after another.
using Messages = std::vector<std::pair<std::FILE*, std::string>>;
// The messages of the drawing this thread imports; none (print at once) outside an import.
thread_local Messages* t_messages = nullptr;

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

// One line on stderr.
template <typename... Args>
void Error(fmt::format_string<Args...> format, Args&&... args) {
    Say(stderr, fmt::format(format, std::forward<Args>(args)...) + "\n");
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
#endif

// Ctrl-C came while a temporary file existed, which is now gone: ends the program as the
// signal would have.
[[noreturn]] void EndByInterrupt() {
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

// Standard input and output carry files byte for byte.
void BinaryStandardStreams() {
#if defined(_WIN32)
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

// True when the bytes "SECTION" occur somewhere in the regular file `file`.
bool HoldsSection(const fs::path& file) {
    static const std::string kSection = "SECTION";
    std::ifstream in(file, std::ios::binary);
    std::string carried;  // the last bytes of the chunk before, for a word across two chunks
    std::string chunk(1 << 16, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        const std::string window = carried + chunk.substr(0, static_cast<std::size_t>(in.gcount()));
        if (window.find(kSection) != std::string::npos) return true;
        carried = window.substr(window.size() - std::min(window.size(), kSection.size() - 1));
    }
    return !in.eof();  // a read error tells nothing
}

// What a file that the library could not read is, when that says more than "cannot be read to
// its end": the library reports a directory, an empty file and a file of another kind alike.
// Empty when nothing is known. Only regular files are opened again: a FIFO would wait.
std::string WhatItIs(const fs::path& file) {
    std::error_code error;
    const fs::file_status status = fs::status(file, error);
    if (fs::is_directory(status)) return "it is a directory";
    if (!fs::is_regular_file(status)) return "";
    if (fs::file_size(file, error) == 0 && !error) return "it is empty";
    std::string start(kBinaryDxfSentinel.size(), '\0');
    std::ifstream in(file, std::ios::binary);
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    if (in && start == kBinaryDxfSentinel) {
        return "it is a binary DXF file, which the polyline reader cannot read; "
               "--accurate reads it";
    }
    if (!HoldsSection(file)) return "it holds no SECTION, so it is not a DXF drawing";
    return "";
}

// The $INSUNITS code that `text` names for --units: a unit's symbol in any case, or a code from
// 1 to kLastUnitCode as digits.
std::optional<int> UnitCode(const std::string& text) {
    if (const Vexlor::Dxf::LengthUnit* unit = Vexlor::Dxf::FindUnitBySymbol(text)) {
        return unit->code;
    }
    // Digits alone: no sign, space or fraction, and few enough that the number fits.
    const bool digits =
        !text.empty() && text.size() <= 2 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return c >= '0' && c <= '9'; });
    if (!digits) return std::nullopt;
    const int code = std::stoi(text);
    if (code < 1 || code > Vexlor::Dxf::kLastUnitCode) return std::nullopt;
    return code;
}

// What --units takes, in words: the units' symbols in the order of their codes, then the codes.
std::string UnitChoices() {
    std::string choices;
    for (int code = 1; code <= Vexlor::Dxf::kLastUnitCode; ++code) {
        const std::string symbol = Vexlor::Dxf::FindUnit(code)->symbol;
        if (!symbol.empty()) choices += symbol + ", ";
    }
    return choices + fmt::format("or an $INSUNITS code from 1 to {}", Vexlor::Dxf::kLastUnitCode);
}

// What an $INSUNITS code stands for, in the summary's words.
std::string UnitWords(int code) {
    if (const Vexlor::Dxf::LengthUnit* unit = Vexlor::Dxf::FindUnit(code)) return unit->words;
    return code == 0 ? "no unit" : fmt::format("$INSUNITS {}", code);
}

// The accurate import's result as the polyline reader's code for the same outcome.
CDXFReader::EReturnCode ReaderCode(Vexlor::Dxf::EContourResult result) {
    switch (result) {
        case Vexlor::Dxf::EContourResult::eOk:
            return CDXFReader::eOk;
        case Vexlor::Dxf::EContourResult::eReadError:
            return CDXFReader::eReadError;
        case Vexlor::Dxf::EContourResult::eOpenError:
            return CDXFReader::eOpenError;
        case Vexlor::Dxf::EContourResult::eEmpty:
            return CDXFReader::eEmpty;
        case Vexlor::Dxf::EContourResult::eIntersecting:
            return CDXFReader::eIntersecting;
    }
    return CDXFReader::eReadError;  // no value the library gives
}

const char* ImportWords(CDXFReader::EReturnCode result) {
    switch (result) {
        case CDXFReader::eOk:
            return "imported";
        case CDXFReader::eReadError:
            return "cannot be read to its end (its EOF marker is missing or a group is broken)";
        case CDXFReader::eOpenError:
            return "cannot be opened";
        case CDXFReader::eEmpty:
            return "no contours found";
        case CDXFReader::eIntersecting:
            return "contours cross each other";
    }
    return "unknown result";
}

// Writes one output file through `write`, or standard output for "-"; false (after a message)
// when it cannot be written or Ctrl-C came meanwhile. A file is replaced only once it is complete
// (CFileReplacement). `makeFolder` creates the folders it goes in first.
bool WriteOutput(const std::string& name, const std::function<void(std::ostream&)>& write,
                 bool makeFolder = false) {
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

// The reader's box; none when no point was read, which leaves its corners the wrong way round.
std::optional<Box> BoxOf(const MStlBaseOperatorDXFPolylineReader& reader) {
    const Box box{reader.GetLeftTopPoint(), reader.GetRightBottomPoint()};
    if (box.leftTop.x <= box.rightBottom.x && box.leftTop.y <= box.rightBottom.y) return box;
    return std::nullopt;
}

// What an import gave, for its summary and its output files.
struct Imported {
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    std::vector<Polyline> polylines;
    std::optional<Box> box;
    std::string what;  // for a file the library could not read: what it is, when known
    // Of an accurate import: where each polyline came from (the polylines moved out) and what
    // was left out; and whether y points up.
    std::optional<Vexlor::Dxf::ContourImport> accurate;
    bool yUp = false;
    int unitsAsked = 0;  // the $INSUNITS code coordinates were to be converted to; 0 for none
};

// The contours of an import by kind, and their points.
struct Counts {
    std::size_t closed = 0;
    std::size_t loops = 0;
    std::size_t points = 0;
};

Counts CountContours(const std::vector<Polyline>& polylines) {
    Counts counts;
    for (const Polyline& polyline : polylines) {
        counts.closed += polyline.closed ? 1 : 0;
        counts.loops += IsLoop(polyline) ? 1 : 0;
        counts.points += polyline.points.size();
    }
    return counts;
}

// The summary's first line, without the drawing's name.
std::string Headline(const Imported& imported) {
    // The accurate import's error may quote the drawing's bytes.
    const std::string words = imported.what.empty() ? ImportWords(imported.result)
                                                    : "cannot be read: " + Printable(imported.what);
    return fmt::format("{} (result {})", words, static_cast<int>(imported.result));
}

// The summary's words for what --units did: "inches to millimetres, coordinates times 25.4", or
// why the drawing's coordinates were left as they are.
std::string Conversion(const Vexlor::Dxf::ContourImport& import, int unitsAsked) {
    const int from = import.units;
    if (Vexlor::Dxf::FindUnit(from) == nullptr) {
        return fmt::format(
            "the drawing gives none that is known ($INSUNITS {}): coordinates not "
            "converted to {}",
            from, UnitWords(unitsAsked));
    }
    return fmt::format("{} to {}, coordinates times {:.9g}", UnitWords(from), UnitWords(unitsAsked),
                       import.scale);
}

// The import's summary on `stream`: its result, the contours by kind, their points and the box;
// the first line alone when `headlineOnly`.
void PrintSummary(std::FILE* stream, bool headlineOnly, const std::string& name,
                  const Imported& imported) {
    const std::vector<Polyline>& polylines = imported.polylines;
    const Counts counts = CountContours(polylines);
    const std::size_t closed = counts.closed;
    const std::size_t loops = counts.loops;
    const std::size_t points = counts.points;
    std::string text = fmt::format("{}: {}\n", name, Headline(imported));
    // A file known not to be a drawing read nothing to count.
    if (!headlineOnly && imported.what.empty()) {
        // Linked pieces that form a ring keep the library's closed flag false: name them apart.
        const std::string loopNote =
            loops == 0 ? "" : fmt::format(", {} of them ending where they start", loops);
        text += fmt::format("  contours: {} ({} closed, {} open{}), {} points\n", polylines.size(),
                            closed, polylines.size() - closed, loopNote, points);
        const std::optional<Box>& box = imported.box;
        if (box) {
            // Adding 0.0 shows a negated zero as 0; the JSON keeps its sign.
            text +=
                fmt::format("  box: x {:.9g} to {:.9g}, y {:.9g} to {:.9g} (y points {})\n",
                            box->leftTop.x + 0.0, box->rightBottom.x + 0.0, box->leftTop.y + 0.0,
                            box->rightBottom.y + 0.0, imported.yUp ? "up" : "down");
        } else {
            text += "  box: none (no point read)\n";
        }
        if (imported.accurate && imported.unitsAsked != 0) {
            text += "  units: " + Conversion(*imported.accurate, imported.unitsAsked) + "\n";
        }
    }
    Say(stream, std::move(text));
}

// How an import is run and reported.
struct ImportOptions {
    bool quiet = false;        // errors only
    bool strict = false;       // crossing contours are a failure (status 4)
    bool stdoutTaken = false;  // an --svg, --json or --summary record goes to standard output
    bool accurate = false;     // the accurate import, with these options
    Vexlor::Dxf::ContourOptions contours;
    bool svgByLayer = false;  // the SVG picture coloured by layer, with a legend (--accurate only)
};

// The accurate import of `file` (the library's `path` of it) into `imported`; as Import.
std::optional<int> ImportAccurately(const std::string& name, const std::wstring& path,
                                    const fs::path& file, const ImportOptions& options,
                                    Imported& imported) {
    errno = 0;
    Vexlor::Dxf::ContourImport result = Vexlor::Dxf::ImportContours(path, options.contours);
    imported.result = ReaderCode(result.result);
    imported.yUp = !options.contours.yDown;
    imported.unitsAsked = options.contours.units;
    if (result.result == Vexlor::Dxf::EContourResult::eOpenError) {
        const std::string reason =
            IsDirectory(file) ? "it is a directory" : Reason(errno, "not readable");
        Error("{}: cannot be opened: {} (result 2)", name, reason);
        return CDXFReader::eOpenError;
    }
    if (result.result == Vexlor::Dxf::EContourResult::eReadError) imported.what = result.error;
    for (Vexlor::Dxf::Contour& contour : result.contours) {
        imported.polylines.push_back(std::move(contour.polyline));
    }
    if (!imported.polylines.empty()) imported.box = Box{result.minimum, result.maximum};
    imported.accurate = std::move(result);
    return std::nullopt;
}

// Imports `file` (the library's `path` of it), named `name` in messages, into `imported`. Returns
// a status when there is no result to summarize, after a message.
std::optional<int> Import(const std::string& name, const std::wstring& path, const fs::path& file,
                          const ImportOptions& options, Imported& imported) {
    if (options.accurate) return ImportAccurately(name, path, file, options, imported);
    MStlBaseOperatorDXFPolylineReader reader(imported.polylines);
    errno = 0;
    try {
        imported.result = reader.Import(path);
    } catch (const std::invalid_argument& e) {
        Error(
            "{}: holds a value that is not a number (std::invalid_argument: {}); the drawing was "
            "not imported",
            name, Printable(e.what()));
        return kExitData;
    } catch (const std::out_of_range& e) {
        Error(
            "{}: holds a number out of range (std::out_of_range: {}); the drawing was not "
            "imported",
            name, Printable(e.what()));
        return kExitData;
    } catch (const std::ios_base::failure& e) {
        // The stream itself can fail on a file that opened (a directory, an I/O error): that is
        // the "cannot be read" of result 1.
        Error("{}: cannot be read: {} (status 1)", name,
              IsDirectory(file) ? "it is a directory" : Printable(e.what()));
        return CDXFReader::eReadError;
    }
    if (imported.result == CDXFReader::eOpenError) {
        const std::string reason =
            IsDirectory(file) ? "it is a directory" : Reason(errno, "not readable");
        Error("{}: cannot be opened: {} (result 2)", name, reason);
        return CDXFReader::eOpenError;
    }
    if (imported.result == CDXFReader::eReadError) imported.what = WhatItIs(file);
    imported.box = BoxOf(reader);
    return std::nullopt;
}

// Imports standard input through a temporary file, since the library imports from a path.
std::optional<int> ImportStandardInput(const ImportOptions& options, Imported& imported) {
    // Read whole before the temporary file exists: Ctrl-C while a slow pipe or a terminal is
    // read then just ends the program, leaving nothing behind.
    std::string data;
    std::string chunk(1 << 16, '\0');
    for (std::size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), stdin)) > 0;) {
        data.append(chunk, 0, n);
    }
    if (std::ferror(stdin)) {
        Error("{}: cannot be read: {} (status 1)", kStandardInputName,
              Reason(errno, "reading failed"));
        return CDXFReader::eReadError;
    }
    const InterruptCatcher catcher;
    std::error_code error;
    errno = 0;
    const fs::path folder = fs::temp_directory_path(error);
    const fs::path file = error ? fs::path() : CreateUniqueFile(folder, "vexlor-dxf-stdin");
    std::optional<int> status = kExitCannotWrite;
    if (file.empty()) {
        Error("{}: cannot be copied to a temporary file: {}", kStandardInputName,
              Reason(errno, error ? error.message() : "it cannot be created"));
    } else if (!(std::ofstream(file, std::ios::binary) << data).flush()) {
        Error("{}: cannot be copied to {}: writing failed (is the disk full?)", kStandardInputName,
              TextOf(file));
    } else {
        const std::optional<std::wstring> path = LibraryPath(TextOf(file));
        status = path ? Import(kStandardInputName, *path, file, options, imported) : kExitUsage;
    }
    if (!file.empty()) fs::remove(file, error);
    if (InterruptCatcher::Interrupted()) EndByInterrupt();
    return status;
}

// Where one of a drawing's records goes.
struct OutputFile {
    std::string name;         // a file, or "-" for standard output
    bool makeFolder = false;  // under --svg-dir or --json-dir, whose subfolders may be missing
};

// Imports one drawing ("-": standard input), prints its summary, writes the files asked for
// (`svg` and `json` when not null) and fills in `row`; returns its status.
int ImportDrawing(const std::string& argument, const OutputFile* svg, const OutputFile* json,
                  const ImportOptions& options, SummaryRow& row) {
    const bool standardInput = argument == kStandardStream;
    const std::string name = standardInput ? kStandardInputName : argument;
    Imported imported;
    std::optional<int> failed;
    if (standardInput) {
        failed = ImportStandardInput(options, imported);
    } else {
        const std::optional<std::wstring> path = LibraryPath(argument);
        if (!path) return kExitUsage;
        failed = Import(name, *path, PathOf(argument), options, imported);
    }
    if (failed) {
        // Results 1 and 2 that end the import early are results still.
        if (*failed <= CDXFReader::eIntersecting) row.result = *failed;
        return *failed;
    }

    const int code = static_cast<int>(imported.result);
    const Counts counts = CountContours(imported.polylines);
    row.result = code;
    row.message = Headline(imported);
    row.contours = imported.polylines.size();
    row.closed = counts.closed;
    row.points = counts.points;
    row.box = imported.box;
    // Crossing contours are still contours to use; the summary and the JSON name them.
    const int status = imported.result == CDXFReader::eIntersecting && !options.strict ? 0 : code;
    // Each summary goes to one stream, once: a failure's to stderr; a success's to stdout, unless
    // asked to be quiet or stdout carries a record, which tells all the summary would.
    if (status != 0) {
        PrintSummary(stderr, options.quiet, name, imported);
    } else if (!options.quiet && !options.stdoutTaken) {
        PrintSummary(stdout, false, name, imported);
    }
    const auto writeSvg = [&](std::ostream& out) {
        // SVG's y points down: a drawing in its own frame (y up) is drawn upright with y negated.
        std::vector<Polyline> upright;
        if (imported.yUp) {
            upright = imported.polylines;
            for (Polyline& polyline : upright) {
                for (auto& p : polyline.points) p.y = -p.y;
            }
        }
        const std::vector<Polyline>& drawn = imported.yUp ? upright : imported.polylines;
        if (!options.svgByLayer || !imported.accurate) return WriteSvg(out, drawn, name);
        // The contours' polylines were moved out; their sources still name the layers.
        std::vector<std::string> layers;
        layers.reserve(imported.accurate->contours.size());
        for (const Vexlor::Dxf::Contour& contour : imported.accurate->contours) {
            layers.push_back(contour.layer);
        }
        WriteSvgByLayer(out, drawn, layers, name);
    };
    const auto writeJson = [&](std::ostream& out) {
        WriteImportJson(out, name, code, imported.box, imported.polylines,
                        imported.accurate ? &*imported.accurate : nullptr);
    };
    const bool svgFailed = svg && !WriteOutput(svg->name, writeSvg, svg->makeFolder);
    // After Ctrl-C the program ends: the next file is not begun.
    const bool jsonFailed = json && (InterruptCatcher::Interrupted() ||
                                     !WriteOutput(json->name, writeJson, json->makeFolder));
    return svgFailed || jsonFailed ? std::max(status, kExitCannotWrite) : status;
}

// What the command line asks for.
struct Arguments {
    std::vector<std::string> drawings;
    std::vector<std::string> svgs;   // none, or one per drawing
    std::vector<std::string> jsons;  // none, or one per drawing
    std::string svgDir;              // empty when not asked for
    std::string jsonDir;
    std::string summary;
    unsigned jobs = 1;
    std::string meshName;
    std::string outName;
    bool quiet = false;
    bool strict = false;
    bool accurate = false;
    double tolerance = 0;
    bool yDown = false;
    std::vector<std::string> layers;  // none: every layer
    bool allLayers = false;
    std::string units;          // empty: the drawing's own; else a name or code that UnitCode takes
    std::size_t maxPoints = 0;  // 0: the library's budget
    std::string svgColour = "kind";
};

// One drawing to import: given as it is, or found in a folder given.
struct Drawing {
    std::string name;     // as given, or the folder given joined with the path found under it
    fs::path outputName;  // its name under --svg-dir and --json-dir, the extension aside
    std::string problem;  // why a folder given yields no drawing; empty for a drawing
};

bool IsDxfName(const fs::path& file) {
    std::string extension = TextOf(file.extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".dxf";
}

// The drawings that `arguments` name, in order: a folder stands for the *.dxf files (any case)
// anywhere under it, sorted by path, so that a batch's order does not depend on the file system.
// A folder that yields none stays as an entry that says why, so that its place is kept.
std::vector<Drawing> ListDrawings(const std::vector<std::string>& arguments) {
    std::vector<Drawing> drawings;
    for (const std::string& argument : arguments) {
        if (argument == kStandardStream || !IsDirectory(PathOf(argument))) {
            drawings.push_back({argument, PathOf(argument).filename(), ""});
            continue;
        }
        const fs::path folder = PathOf(argument);
        std::vector<fs::path> found;
        std::error_code error;
        // Links to folders are not followed, so no loop of links can make the walk endless.
        fs::recursive_directory_iterator entry(folder, error);
        for (; !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
            std::error_code ignored;
            if (IsDxfName(entry->path()) && entry->is_regular_file(ignored)) {
                found.push_back(entry->path());
            }
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& file : found) {
            drawings.push_back({TextOf(file), file.lexically_relative(folder), ""});
        }
        if (error) {
            drawings.push_back({argument, {}, "the folder cannot be read: " + error.message()});
        } else if (found.empty()) {
            drawings.push_back({argument, {}, "a folder that holds no drawing (*.dxf)"});
        }
    }
    return drawings;
}

// Where a drawing's record of one kind goes: the n-th of `names`, or a file under `folder`.
std::optional<OutputFile> OutputOf(const std::vector<std::string>& names, const std::string& folder,
                                   std::size_t index, const Drawing& drawing,
                                   const char* extension) {
    if (!names.empty()) return OutputFile{names[index], false};
    if (folder.empty()) return std::nullopt;
    fs::path file = drawing.outputName;
    file.replace_extension(extension);
    return OutputFile{TextOf(PathOf(folder) / file), true};
}

// What one drawing gave: its row and the messages to print for it.
struct DrawingReport {
    SummaryRow row;
    Messages messages;
};

// Imports the `index`-th drawing with its messages kept in the report; runs on any thread.
DrawingReport ImportOne(const std::vector<Drawing>& drawings, std::size_t index,
                        const Arguments& arguments, const ImportOptions& options) {
    const Drawing& drawing = drawings[index];
    DrawingReport report;
    report.row.path = drawing.name == kStandardStream ? kStandardInputName : drawing.name;
    t_messages = &report.messages;
    const auto start = std::chrono::steady_clock::now();
    try {
        if (!drawing.problem.empty()) {
            Error("{}: {}", drawing.name, drawing.problem);
            report.row.status = kExitNoInput;
        } else {
            const std::optional<OutputFile> svg =
                OutputOf(arguments.svgs, arguments.svgDir, index, drawing, ".svg");
            const std::optional<OutputFile> json =
                OutputOf(arguments.jsons, arguments.jsonDir, index, drawing, ".json");
            report.row.status = ImportDrawing(drawing.name, svg ? &*svg : nullptr,
                                              json ? &*json : nullptr, options, report.row);
        }
    } catch (const std::bad_alloc&) {
        Error("{}: out of memory", report.row.path);
        report.row.status = kExitSoftware;
    } catch (const std::exception& e) {
        Error("{}: unexpected failure: {}", report.row.path, Printable(e.what()));
        report.row.status = kExitSoftware;
    }
    t_messages = nullptr;
    report.row.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A failure that ended the import early has its first message to tell what happened.
    if (report.row.message.empty() && !report.messages.empty()) {
        std::string& first = report.messages.front().second;
        const std::string prefix = report.row.path + ": ";
        const std::size_t from = first.compare(0, prefix.size(), prefix) == 0 ? prefix.size() : 0;
        report.row.message = first.substr(from, first.find('\n') - from);
    }
    return report;
}

// "12/99 drawings" on a terminal, redrawn as drawings are printed, and cleared before any
// message and at the end so that it never mixes with what the batch says.
class BatchProgress {
public:
    explicit BatchProgress(bool draw) : m_draw(draw) {}
    void Show(std::size_t done, std::size_t total) {
        if (!m_draw) return;
        m_line = fmt::format("{}/{} drawings", done, total);
        Print(stderr, "\r" + m_line);
    }
    void Clear() {
        if (m_line.empty()) return;
        Print(stderr, "\r" + std::string(m_line.size(), ' ') + "\r");
        m_line.clear();
    }

private:
    bool m_draw;
    std::string m_line;  // what is on the terminal now; empty when nothing is
};

// The closing count of a batch, by result: "99 drawings: 50 result 0, 44 crossing, 5 result 1".
std::string CountByResult(const std::vector<SummaryRow>& rows) {
    // Keyed so that success comes first, then crossing, then the failures in the order of
    // their codes; drawings that gave no result are counted by status.
    std::map<int, std::pair<std::string, std::size_t>> counts;
    for (const SummaryRow& row : rows) {
        int key = 100 + row.status;
        std::string label = fmt::format("status {}", row.status);
        if (row.result == CDXFReader::eIntersecting) {
            key = 1;
            label = "crossing";
        } else if (row.result) {
            key = *row.result == 0 ? 0 : 1 + *row.result;
            label = fmt::format("result {}", *row.result);
        }
        auto& count = counts.try_emplace(key, label, 0).first->second;
        ++count.second;
    }
    std::string text = fmt::format("{} drawings:", rows.size());
    const char* separator = " ";
    for (const auto& [key, count] : counts) {
        text += fmt::format("{}{} {}", separator, count.second, count.first);
        separator = ", ";
    }
    return text + "\n";
}

int RunImport(const Arguments& arguments, const std::vector<Drawing>& drawings) {
    ImportOptions options;
    options.quiet = arguments.quiet;
    options.strict = arguments.strict;
    options.accurate = arguments.accurate;
    options.contours.tolerance = arguments.tolerance;
    options.contours.yDown = arguments.yDown;
    options.contours.layers = arguments.layers;
    options.contours.hiddenLayers = arguments.allLayers;
    // The parser has checked the name.
    if (!arguments.units.empty()) options.contours.units = UnitCode(arguments.units).value_or(0);
    if (arguments.maxPoints != 0) options.contours.maxPoints = arguments.maxPoints;
    options.svgByLayer = arguments.svgColour == "layer";
    for (const std::vector<std::string>* outputs : {&arguments.svgs, &arguments.jsons}) {
        for (const std::string& output : *outputs) options.stdoutTaken |= output == kStandardStream;
    }
    options.stdoutTaken |= arguments.summary == kStandardStream;
    const std::size_t count = drawings.size();
    const bool batch = count > 1;
    const bool readsStandardInput =
        std::any_of(drawings.begin(), drawings.end(),
                    [](const Drawing& d) { return d.name == kStandardStream; });
    // In a batch, Ctrl-C lets the drawings being imported finish and clean up, and starts no
    // other; a second one ends the program at once. Standard input is read without it, so that
    // Ctrl-C still ends a read that waits for a terminal.
    std::optional<InterruptCatcher> catcher;
    if (batch && !readsStandardInput) catcher.emplace();

    std::vector<DrawingReport> reports(count);
    std::vector<bool> finished(count, false);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    std::size_t workers = std::min<std::size_t>(arguments.jobs, count);
    std::size_t running = workers;
    // Each worker takes the next drawing in input order, so that the one printed next is soon done.
    const auto work = [&] {
        for (std::size_t i; (i = next++) < count && !InterruptCatcher::Interrupted();) {
            DrawingReport report = ImportOne(drawings, i, arguments, options);
            const std::lock_guard<std::mutex> lock(mutex);
            reports[i] = std::move(report);
            finished[i] = true;
            changed.notify_all();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        --running;
        changed.notify_all();
    };
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < workers; ++i) threads.emplace_back(work);

    BatchProgress progress(batch && !arguments.quiet && StderrIsTerminal());
    std::vector<SummaryRow> rows;
    int status = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return finished[i] || running == 0; });
        if (!finished[i]) break;  // Ctrl-C stopped the workers before this drawing
        lock.unlock();
        DrawingReport& report = reports[i];
        if (!report.messages.empty()) progress.Clear();
        for (const auto& [stream, text] : report.messages) Print(stream, text);
        report.messages = Messages();
        status = std::max(status, report.row.status);
        rows.push_back(std::move(report.row));
        progress.Show(i + 1, count);
    }
    for (std::thread& thread : threads) thread.join();
    progress.Clear();
    if (InterruptCatcher::Interrupted()) EndByInterrupt();

    if (!arguments.summary.empty()) {
        const bool jsonLines = PathOf(arguments.summary).extension() == ".jsonl";
        const auto write = [&](std::ostream& out) { WriteSummaryTable(out, rows, jsonLines); };
        if (!WriteOutput(arguments.summary, write)) status = std::max(status, kExitCannotWrite);
        if (InterruptCatcher::Interrupted()) EndByInterrupt();
    }
    // The count goes with the batch's status, as a summary does: stdout when it succeeded.
    if (batch && !arguments.quiet && (status != 0 || !options.stdoutTaken)) {
        Print(status != 0 ? stderr : stdout, CountByResult(rows));
    }
    return status;
}

int RunExport(const Arguments& arguments) {
    const std::string& meshName = arguments.meshName;
    const std::string& outName = arguments.outName;
    if (!LibraryPath(outName)) return kExitUsage;
    ExportToDxf::PartData part;
    const MeshReadResult mesh = ReadMesh(PathOf(meshName), part);
    if (mesh.status == EMeshRead::eOpenError) {
        Error("{}: cannot be opened: {}", meshName, mesh.detail);
        return kExitNoInput;
    }
    if (mesh.status == EMeshRead::eBadData) {
        // The detail may quote the file's bytes.
        Error("{}: not a valid {} mesh: {}", meshName, mesh.format, Printable(mesh.detail));
        return kExitData;
    }

    auto progress = std::make_shared<CTerminalProgress>(
        stderr, !arguments.quiet && StderrIsTerminal(), "writing " + outName);
    // The faces go to a temporary file beside OUT, renamed over it once complete: a cancelled
    // or failed export leaves an earlier file as it was, and no unfinished DXF file, which would
    // look like a drawing to the next program.
    CFileReplacement file{PathOf(outName)};
    ExportToDxf::ReturnCode result = ExportToDxf::eOpenError;
    std::string problem;    // why the finished file could not replace OUT
    std::string discarded;  // what became of OUT when the export did not finish
    int openErrno = 0;
    {
        // From here on Ctrl-C cancels rather than ending the program beside a temporary file.
        const InterruptCatcher catcher;
        errno = 0;
        const bool created = file.Create();
        openErrno = errno;
        const std::optional<std::wstring> path =
            created ? LibraryPath(TextOf(file.Path())) : std::nullopt;
        if (path) {
            errno = 0;
            result = ExportToDxf::Operate(*path, part, progress);
            openErrno = errno;
        }
        if (result == ExportToDxf::eOk) problem = file.Commit();
        if (result != ExportToDxf::eOk || !problem.empty()) discarded = file.Discard();
    }
    progress->Finish();

    const int code = static_cast<int>(result);
    switch (result) {
        case ExportToDxf::eOk:
            if (!problem.empty()) {
                Error("{}: cannot be written: {}; {} (result {})", outName, problem, discarded,
                      static_cast<int>(ExportToDxf::eWriteError));
                return ExportToDxf::eWriteError;
            }
            if (!arguments.quiet) {
                fmt::print("{}: {} triangles ({}) written to {} (result {})\n", meshName,
                           part.triangles.size(), mesh.format, outName, code);
            }
            break;
        case ExportToDxf::eOpenError:
            Error("{}: cannot be opened for writing: {} (result {})", outName,
                  Reason(openErrno, "not writable"), code);
            break;
        case ExportToDxf::eWriteError:
            if (part.triangles.empty()) {
                Error("{}: holds no triangles; nothing was written (result {})", meshName, code);
            } else {
                Error("{}: writing failed (is the disk full?); {} (result {})", outName, discarded,
                      code);
            }
            break;
        case ExportToDxf::eCancelled:
            Error("{}: export cancelled by Ctrl-C; {} (result {})", outName, discarded, code);
            break;
    }
    return code;
}

// Why `text` is no value for --units; empty when it is one.
std::string CheckUnit(const std::string& text) {
    return UnitCode(text) ? std::string()
                          : fmt::format("{} is not a unit: give {}", text, UnitChoices());
}

// Why `text` is no count for --max-points; empty when it is one. Digits alone, not all zeros,
// and few enough to fit: the parser would quietly take the largest number for one too large.
std::string CheckCount(const std::string& text) {
    if (text.find_first_not_of("0123456789") != std::string::npos ||
        text.find_first_not_of('0') == std::string::npos) {
        return fmt::format("{} is not a whole number above zero", text);
    }
    unsigned long long value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool fits = read.ec == std::errc() && value <= SIZE_MAX;
    return fits ? std::string() : fmt::format("{} is too large", text);
}

CLI::App* AddImportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* import = app.add_subcommand(
        "import",
        "Import each drawing, print a summary (result, contours, points, box) and optionally "
        "write its contours as an SVG picture and as JSON. A drawing's summary goes to stdout, "
        "or to stderr when its import failed; with --svg - or --json -, only a failed import's "
        "summary is printed. Several drawings are imported at once (--jobs), their summaries "
        "printed in input order as with one at a time, and followed by a count per result; on a "
        "terminal a progress line counts them meanwhile. Output files replace earlier ones only "
        "once complete.");
    import
        ->add_option("DRAWING", arguments.drawings,
                     "ASCII DXF drawings, or folders, which stand for the *.dxf files (any case) "
                     "anywhere under them in sorted order; - reads standard input")
        ->type_name("FILE|DIR")
        ->required();
    CLI::Option* svg =
        import
            ->add_option(
                "--svg", arguments.svgs,
                "Write the contours as an SVG picture; give it once per drawing, in order; "
                "- writes standard output (one drawing only)")
            ->type_name("OUT.svg")
            ->allow_extra_args(false);
    CLI::Option* json =
        import
            ->add_option("--json", arguments.jsons,
                         "Write the result, whether contours cross, the box and polylines as JSON "
                         "(numbers exact); once per drawing, in order; - writes standard output "
                         "(one drawing only)")
            ->type_name("OUT.json")
            ->allow_extra_args(false);
    import
        ->add_option("--svg-dir", arguments.svgDir,
                     "Write each drawing's SVG picture into DIR, named as the drawing is under "
                     "the folder given (a drawing given as a file: its file name), .svg for "
                     ".dxf; subfolders are created")
        ->type_name("DIR")
        ->excludes(svg);
    import
        ->add_option("--json-dir", arguments.jsonDir,
                     "Write each drawing's JSON record into DIR, named as with --svg-dir, .json "
                     "for .dxf")
        ->type_name("DIR")
        ->excludes(json);
    import
        ->add_option("--summary", arguments.summary,
                     "Write a table of one row per drawing: path, result, status, message, "
                     "contours, closed, open, points, box (x0 y0 x1 y1), seconds. CSV, or JSON "
                     "Lines when FILE ends in .jsonl")
        ->type_name("FILE");
    import
        ->add_option("-j,--jobs", arguments.jobs,
                     "Import N drawings at once (default: the number of cores); the output is "
                     "the same whatever N")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    import->add_flag("--strict", arguments.strict,
                     "Fail with status 4 when contours cross, instead of 0");
    import->add_flag("-q,--quiet", arguments.quiet, "Print errors only");
    CLI::Option* accurate = import->add_flag(
        "--accurate", arguments.accurate,
        "Import the drawing's true geometry: bulges, closed flags, elliptic arcs, splines, object "
        "coordinate systems, blocks placed by their INSERTs and hatch boundaries, curves within "
        "a chord tolerance, in double precision, y up; layers can be chosen, and frozen or off "
        "layers are left out unless --all-layers; the JSON names each polyline's layer, entity "
        "and handle and reports what was left out");
    import
        ->add_option("--tolerance", arguments.tolerance,
                     "With --accurate: the largest distance between a curve and its polyline, in "
                     "drawing units, or in UNIT with --units (default: 1e-5 of the drawing's "
                     "extent)")
        ->type_name("T")
        ->check(CLI::PositiveNumber)
        ->needs(accurate);
    import->add_flag("--y-down", arguments.yDown, "With --accurate: negate y, as without it")
        ->needs(accurate);
    import
        ->add_option("--layer", arguments.layers,
                     "With --accurate: import the entities of layer NAME only (any case, as DXF "
                     "compares names); give it once per layer")
        ->type_name("NAME")
        ->allow_extra_args(false)
        ->needs(accurate);
    import
        ->add_flag("--all-layers", arguments.allLayers,
                   "With --accurate: import frozen and off layers too, which CAD programs hide")
        ->needs(accurate);
    import
        ->add_option("--units", arguments.units,
                     fmt::format("With --accurate: give coordinates in UNIT: {}; the drawing's "
                                 "$INSUNITS says what they are in, and a drawing without it is "
                                 "not converted",
                                 UnitChoices()))
        ->type_name("UNIT")
        ->check(CLI::Validator(CheckUnit, "", "UNIT"))
        ->needs(accurate);
    import
        ->add_option("--max-points", arguments.maxPoints,
                     fmt::format("With --accurate: the most points a drawing may give, its blocks "
                                 "placed, before its import fails with result 1 (default: {})",
                                 Vexlor::Dxf::ContourOptions().maxPoints))
        ->type_name("N")
        ->check(CLI::Validator(CheckCount, "", "N"))
        ->needs(accurate);
    import
        ->add_option("--svg-color", arguments.svgColour,
                     "With --accurate: colour the SVG picture by kind (closed, loop, open: the "
                     "default) or by layer, with a legend of the layers")
        ->type_name("kind|layer")
        ->check(CLI::IsMember({"kind", "layer"}))
        ->needs(accurate);
    import->footer(kExitCodes);
    return import;
}

void AddExportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* exportCommand = app.add_subcommand(
        "export",
        "Write a triangle mesh (binary or ASCII STL, OBJ) as a DXF file of 3D faces. A progress "
        "bar shows on a terminal. The faces go to a temporary file beside OUT, which replaces "
        "OUT only once complete. Ctrl-C while the faces are written cancels the export with "
        "status 4: the partial file is removed and an earlier OUT is left as it was (before "
        "that, nothing is written yet and Ctrl-C just ends the program). A failed write does the "
        "same. A device or FIFO as OUT is written directly, and never removed.");
    exportCommand
        ->add_option("MESH", arguments.meshName, "The mesh: .stl (binary or ASCII) or .obj")
        ->type_name("FILE")
        ->required();
    exportCommand->add_option("OUT", arguments.outName, "The DXF file to create or overwrite")
        ->type_name("OUT.dxf")
        ->required();
    exportCommand->add_flag("-q,--quiet", arguments.quiet,
                            "Print errors only (no success message, no progress bar)");
    exportCommand->footer(kExitCodes);
}

// Standard input can be read once, and standard output holds one record of one drawing.
void CheckStandardStreams(const Arguments& arguments, std::size_t drawings) {
    const auto count = [](const std::vector<std::string>& names) {
        return std::count(names.begin(), names.end(), kStandardStream);
    };
    if (count(arguments.drawings) > 1) {
        throw CLI::ValidationError("standard input (-) can be read as one drawing only");
    }
    const auto toStdout = count(arguments.svgs) + count(arguments.jsons);
    if (toStdout + (arguments.summary == kStandardStream ? 1 : 0) > 1) {
        throw CLI::ValidationError(
            "standard output (-) can take one --svg, --json or --summary record only");
    }
    if (toStdout == 1 && drawings > 1) {
        throw CLI::ValidationError(fmt::format(
            "--svg - and --json - write one drawing's record to standard output: {} drawings "
            "given; name a file for each",
            drawings));
    }
}

// --svg and --json name one file per drawing; --svg-dir and --json-dir one name per drawing,
// which two drawings must not share, or the last one done would win.
void CheckOutputNames(const Arguments& arguments, const std::vector<Drawing>& drawings) {
    for (const std::vector<std::string>* outputs : {&arguments.svgs, &arguments.jsons}) {
        if (!outputs->empty() && outputs->size() != drawings.size()) {
            throw CLI::ValidationError(fmt::format(
                "--svg and --json are given once per drawing: {} drawing(s), {} output file(s)",
                drawings.size(), outputs->size()));
        }
    }
    if (arguments.svgDir.empty() && arguments.jsonDir.empty()) return;
    std::map<fs::path, std::string> owners;
    for (const Drawing& drawing : drawings) {
        if (drawing.name == kStandardStream) {
            throw CLI::ValidationError(
                "standard input (-) has no name to write under --svg-dir or --json-dir");
        }
        if (!drawing.problem.empty()) continue;
        fs::path key = drawing.outputName.lexically_normal();
        key.replace_extension();
        const auto [owner, added] = owners.try_emplace(key, drawing.name);
        if (!added) {
            throw CLI::ValidationError(fmt::format(
                "{} and {} would be written under the same name in --svg-dir or --json-dir",
                owner->second, drawing.name));
        }
    }
}

int Run(int argc, char** argv) {
    CLI::App app{
        "vexlor-dxf " VEXLOR_DXF_VERSION
        ": imports the 2D contours of ASCII DXF drawings and exports triangle meshes as DXF."};
    app.set_version_flag("--version", "vexlor-dxf " VEXLOR_DXF_VERSION);
    app.require_subcommand(1);
    // Options are "-x" and "--name" everywhere; on Windows CLI11 would also take "/name", and so
    // a path such as /dev/x for an option (its subcommands inherit this).
    app.allow_windows_style_options(false);
    app.footer(kExitCodes);
    Arguments arguments;
    arguments.jobs = std::max(1U, std::thread::hardware_concurrency());
    const CLI::App* import = AddImportCommand(app, arguments);
    AddExportCommand(app, arguments);
    std::vector<Drawing> drawings;
    try {
        app.parse(argc, argv);
        if (import->parsed()) {
            drawings = ListDrawings(arguments.drawings);
            CheckOutputNames(arguments, drawings);
            CheckStandardStreams(arguments, drawings.size());
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    BinaryStandardStreams();
    return import->parsed() ? RunImport(arguments, drawings) : RunExport(arguments);
}

#if defined(_WIN32)
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

// Windows keeps the command line in UTF-16; the char arguments of main would be in the ANSI
// code page, which cannot hold most names. The tool works in UTF-8, and so does the console
// while it runs.
int RunWithUtf8Arguments() {
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
    return Run(static_cast<int>(arguments.size()), argv.data());
}
#endif

}  // namespace

int main(int argc, char** argv) {
    try {
#if defined(_WIN32)
        static_cast<void>(argc);
        static_cast<void>(argv);
        return RunWithUtf8Arguments();
#else
        return Run(argc, argv);
#endif
    } catch (const std::bad_alloc&) {
        Error("vexlor-dxf: out of memory");
    } catch (const std::exception& e) {
        Error("vexlor-dxf: unexpected failure: {}", Printable(e.what()));
    } catch (...) {
        Error("vexlor-dxf: unexpected failure");
    }
    return kExitSoftware;
}
