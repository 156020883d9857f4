// vexlor-dxf: imports DXF drawings as contours and exports triangle meshes as DXF, as a host does.
// SPDX-License-Identifier: MIT
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <algorithm>   // std::max, std::count, std::none_of
#include <cerrno>      // errno
#include <csignal>     // std::raise, SIGINT
#include <cstdint>     // std::uint32_t
#include <cstdio>      // std::fflush, std::fread
#include <cstdlib>     // std::_Exit
#include <cstring>     // std::strerror
#include <exception>   // std::exception
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ofstream
#include <functional>  // std::function
#include <ios>         // std::ios_base::failure
#include <iostream>    // std::cout
#include <iterator>    // std::back_inserter
#include <memory>      // std::make_shared
#include <new>         // std::bad_alloc
#include <optional>    // std::optional
#include <stdexcept>   // std::invalid_argument, std::out_of_range
#include <string>      // std::string, std::wstring
#include <utility>     // std::forward
#include <vector>      // std::vector

#include "CDXFReader.h"
#include "ExportToDxf.h"
#include "FileReplacement.h"
#include "ImportJson.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "MeshFile.h"
#include "SvgPicture.h"
#include "TerminalProgress.h"
#include "VexlorDxfPath.h"

#if defined(_WIN32)
#include <fcntl.h>  // _O_BINARY
#include <io.h>     // _isatty, _setmode
#else
#include <unistd.h>  // isatty
#endif

namespace {

using namespace Vexlor::DxfTool;
using Polyline = MStlBaseOperatorDXFPolylineReader::Polyline;
namespace fs = std::filesystem;

// Exit statuses beyond the result codes 0 to 4, after BSD's sysexits.h.
constexpr int kExitUsage = 64;        // bad command line
constexpr int kExitData = 65;         // a drawing holds a bad number; a mesh file is malformed
constexpr int kExitNoInput = 66;      // a mesh file cannot be opened
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
    "  66   a mesh file cannot be opened\n"
    "  70   an unexpected failure (out of memory, ...)\n"
    "  73   an --svg or --json file cannot be written, or standard input cannot be copied\n"
    "       to a temporary file\n"
    "With several drawings, each is imported in turn and the highest status is returned.\n";

// The name that stands for standard input (a drawing) or standard output (--svg, --json).
const char kStandardStream[] = "-";
// Standard input's name in messages and in the JSON record.
const char kStandardInputName[] = "<stdin>";
// What a binary DXF file starts with; the library reads ASCII DXF only.
const std::string kBinaryDxfSentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

// One line on stderr, written at once.
template <typename... Args>
void Error(fmt::format_string<Args...> format, Args&&... args) {
    fmt::print(stderr, "{}\n", fmt::format(format, std::forward<Args>(args)...));
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
    Error("{}: the file name is not valid UTF-8, which is all the library takes", argument);
    return std::nullopt;
}

bool StderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(2) != 0;
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

// Ctrl-C came while a temporary file existed, which is now gone: ends the program as the
// signal would have.
[[noreturn]] void EndByInterrupt() {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    std::_Exit(128 + SIGINT);
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
        return "it is a binary DXF file, and only ASCII DXF is read";
    }
    if (!HoldsSection(file)) return "it holds no SECTION, so it is not a DXF drawing";
    return "";
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
// when it cannot be written. A file is replaced only once it is complete (CFileReplacement).
bool WriteOutput(const std::string& name, const std::function<void(std::ostream&)>& write) {
    if (name == kStandardStream) {
        write(std::cout);
        std::cout.flush();
        if (std::cout.fail() || std::fflush(stdout) != 0) {
            Error("standard output: cannot be written: writing failed");
            return false;
        }
        return true;
    }
    CFileReplacement file{fs::path(name)};
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
        Error("{}: writing cancelled by Ctrl-C; {}", name, file.Discard());
        EndByInterrupt();
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
};

// The import's summary on `stream`: its result, the contours by kind, their points and the box;
// the first line alone when `headlineOnly`.
void PrintSummary(std::FILE* stream, bool headlineOnly, const std::string& name,
                  const Imported& imported) {
    const std::vector<Polyline>& polylines = imported.polylines;
    std::size_t closed = 0;
    std::size_t loops = 0;
    std::size_t points = 0;
    for (const Polyline& polyline : polylines) {
        closed += polyline.closed ? 1 : 0;
        loops += IsLoop(polyline) ? 1 : 0;
        points += polyline.points.size();
    }
    const std::string words =
        imported.what.empty() ? ImportWords(imported.result) : "cannot be read: " + imported.what;
    fmt::print(stream, "{}: {} (result {})\n", name, words, static_cast<int>(imported.result));
    // A file known not to be a drawing read nothing to count.
    if (!headlineOnly && imported.what.empty()) {
        // Linked pieces that form a ring keep the library's closed flag false: name them apart.
        const std::string loopNote =
            loops == 0 ? "" : fmt::format(", {} of them ending where they start", loops);
        fmt::print(stream, "  contours: {} ({} closed, {} open{}), {} points\n", polylines.size(),
                   closed, polylines.size() - closed, loopNote, points);
        const std::optional<Box>& box = imported.box;
        if (box) {
            // Adding 0.0 shows a negated zero as 0; the JSON keeps its sign.
            fmt::print(stream, "  box: x {:.9g} to {:.9g}, y {:.9g} to {:.9g} (y points down)\n",
                       box->leftTop.x + 0.0, box->rightBottom.x + 0.0, box->leftTop.y + 0.0,
                       box->rightBottom.y + 0.0);
        } else {
            fmt::print(stream, "  box: none (no point read)\n");
        }
    }
    std::fflush(stream);
}

// Imports `file` (the library's `path` of it), named `name` in messages, into `imported`. Returns
// a status when there is no result to summarize, after a message.
std::optional<int> Import(const std::string& name, const std::wstring& path, const fs::path& file,
                          Imported& imported) {
    MStlBaseOperatorDXFPolylineReader reader(imported.polylines);
    errno = 0;
    try {
        imported.result = reader.Import(path);
    } catch (const std::invalid_argument& e) {
        Error(
            "{}: holds a value that is not a number (std::invalid_argument: {}); the drawing was "
            "not imported",
            name, e.what());
        return kExitData;
    } catch (const std::out_of_range& e) {
        Error(
            "{}: holds a number out of range (std::out_of_range: {}); the drawing was not "
            "imported",
            name, e.what());
        return kExitData;
    } catch (const std::ios_base::failure& e) {
        // The stream itself can fail on a file that opened (a directory, an I/O error): that is
        // the "cannot be read" of result 1.
        Error("{}: cannot be read: {} (status 1)", name,
              IsDirectory(file) ? "it is a directory" : e.what());
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
std::optional<int> ImportStandardInput(Imported& imported) {
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
              file.string());
    } else {
        const std::optional<std::wstring> path = LibraryPath(file.string());
        status = path ? Import(kStandardInputName, *path, file, imported) : kExitUsage;
    }
    if (!file.empty()) fs::remove(file, error);
    if (InterruptCatcher::Interrupted()) EndByInterrupt();
    return status;
}

// How an import is run and reported.
struct ImportOptions {
    bool quiet = false;        // errors only
    bool strict = false;       // crossing contours are a failure (status 4)
    bool stdoutTaken = false;  // an --svg or --json record goes to standard output
};

// Imports one drawing ("-": standard input), prints its summary and writes the files asked for
// (`svg` and `json` when not null); returns its status.
int ImportDrawing(const std::string& argument, const std::string* svg, const std::string* json,
                  const ImportOptions& options) {
    const bool standardInput = argument == kStandardStream;
    const std::string name = standardInput ? kStandardInputName : argument;
    Imported imported;
    std::optional<int> failed;
    if (standardInput) {
        failed = ImportStandardInput(imported);
    } else {
        const std::optional<std::wstring> path = LibraryPath(argument);
        if (!path) return kExitUsage;
        failed = Import(name, *path, fs::path(argument), imported);
    }
    if (failed) return *failed;

    const int code = static_cast<int>(imported.result);
    // Crossing contours are still contours to use; the summary and the JSON name them.
    const int status = imported.result == CDXFReader::eIntersecting && !options.strict ? 0 : code;
    // Each summary goes to one stream, once: a failure's to stderr; a success's to stdout, unless
    // asked to be quiet or stdout carries a record, which tells all the summary would.
    if (status != 0) {
        PrintSummary(stderr, options.quiet, name, imported);
    } else if (!options.quiet && !options.stdoutTaken) {
        PrintSummary(stdout, false, name, imported);
    }
    const auto writeSvg = [&](std::ostream& out) { WriteSvg(out, imported.polylines, name); };
    const auto writeJson = [&](std::ostream& out) {
        WriteImportJson(out, name, code, imported.box, imported.polylines);
    };
    const bool svgFailed = svg && !WriteOutput(*svg, writeSvg);
    const bool jsonFailed = json && !WriteOutput(*json, writeJson);
    return svgFailed || jsonFailed ? std::max(status, kExitCannotWrite) : status;
}

// What the command line asks for.
struct Arguments {
    std::vector<std::string> drawings;
    std::vector<std::string> svgs;   // none, or one per drawing
    std::vector<std::string> jsons;  // none, or one per drawing
    std::string meshName;
    std::string outName;
    bool quiet = false;
    bool strict = false;
};

int RunImport(const Arguments& arguments) {
    ImportOptions options;
    options.quiet = arguments.quiet;
    options.strict = arguments.strict;
    for (const std::vector<std::string>* outputs : {&arguments.svgs, &arguments.jsons}) {
        for (const std::string& output : *outputs) options.stdoutTaken |= output == kStandardStream;
    }
    int status = 0;
    for (std::size_t i = 0; i < arguments.drawings.size(); ++i) {
        const std::string* svg = arguments.svgs.empty() ? nullptr : &arguments.svgs[i];
        const std::string* json = arguments.jsons.empty() ? nullptr : &arguments.jsons[i];
        status = std::max(status, ImportDrawing(arguments.drawings[i], svg, json, options));
    }
    return status;
}

int RunExport(const Arguments& arguments) {
    const std::string& meshName = arguments.meshName;
    const std::string& outName = arguments.outName;
    if (!LibraryPath(outName)) return kExitUsage;
    ExportToDxf::PartData part;
    const MeshReadResult mesh = ReadMesh(fs::path(meshName), part);
    if (mesh.status == EMeshRead::eOpenError) {
        Error("{}: cannot be opened: {}", meshName, mesh.detail);
        return kExitNoInput;
    }
    if (mesh.status == EMeshRead::eBadData) {
        Error("{}: not a valid {} mesh: {}", meshName, mesh.format, mesh.detail);
        return kExitData;
    }

    auto progress = std::make_shared<CTerminalProgress>(
        stderr, !arguments.quiet && StderrIsTerminal(), "writing " + outName);
    // The faces go to a temporary file beside OUT, renamed over it once complete: a cancelled
    // or failed export leaves an earlier file as it was, and no unfinished DXF file, which would
    // look like a drawing to the next program.
    CFileReplacement file{fs::path(outName)};
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
            created ? LibraryPath(file.Path().string()) : std::nullopt;
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

CLI::App* AddImportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* import = app.add_subcommand(
        "import",
        "Import each drawing, print a summary (result, contours, points, box) and optionally "
        "write its contours as an SVG picture and as JSON. A drawing's summary goes to stdout, "
        "or to stderr when its import failed; with --svg - or --json -, only a failed import's "
        "summary is printed. Output files replace earlier ones only once complete.");
    import
        ->add_option("DRAWING", arguments.drawings,
                     "ASCII DXF drawings, imported one after another; - reads standard input")
        ->type_name("FILE")
        ->required();
    import
        ->add_option("--svg", arguments.svgs,
                     "Write the contours as an SVG picture; give it once per drawing, in order; "
                     "- writes standard output (one drawing only)")
        ->type_name("OUT.svg")
        ->allow_extra_args(false);
    import
        ->add_option("--json", arguments.jsons,
                     "Write the result, whether contours cross, the box and polylines as JSON "
                     "(numbers exact); once per drawing, in order; - writes standard output (one "
                     "drawing only)")
        ->type_name("OUT.json")
        ->allow_extra_args(false);
    import->add_flag("--strict", arguments.strict,
                     "Fail with status 4 when contours cross, instead of 0");
    import->add_flag("-q,--quiet", arguments.quiet, "Print errors only");
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
void CheckStandardStreams(const Arguments& arguments) {
    const auto count = [](const std::vector<std::string>& names) {
        return std::count(names.begin(), names.end(), kStandardStream);
    };
    if (count(arguments.drawings) > 1) {
        throw CLI::ValidationError("standard input (-) can be read as one drawing only");
    }
    const auto toStdout = count(arguments.svgs) + count(arguments.jsons);
    if (toStdout > 1) {
        throw CLI::ValidationError(
            "standard output (-) can take one --svg or --json record only, not both");
    }
    if (toStdout == 1 && arguments.drawings.size() > 1) {
        throw CLI::ValidationError(fmt::format(
            "--svg - and --json - write one drawing's record to standard output: {} drawings "
            "given; name a file for each",
            arguments.drawings.size()));
    }
}

int Run(int argc, char** argv) {
    CLI::App app{
        "vexlor-dxf " VEXLOR_DXF_VERSION
        ": imports the 2D contours of ASCII DXF drawings and exports triangle meshes as DXF."};
    app.set_version_flag("--version", "vexlor-dxf " VEXLOR_DXF_VERSION);
    app.require_subcommand(1);
    app.footer(kExitCodes);
    Arguments arguments;
    const CLI::App* import = AddImportCommand(app, arguments);
    AddExportCommand(app, arguments);
    try {
        app.parse(argc, argv);
        for (const std::vector<std::string>* outputs : {&arguments.svgs, &arguments.jsons}) {
            if (!outputs->empty() && outputs->size() != arguments.drawings.size()) {
                throw CLI::ValidationError(fmt::format(
                    "--svg and --json are given once per drawing: {} drawing(s), {} output file(s)",
                    arguments.drawings.size(), outputs->size()));
            }
        }
        CheckStandardStreams(arguments);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    BinaryStandardStreams();
    return import->parsed() ? RunImport(arguments) : RunExport(arguments);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Error("vexlor-dxf: out of memory");
    } catch (const std::exception& e) {
        Error("vexlor-dxf: unexpected failure: {}", e.what());
    } catch (...) {
        Error("vexlor-dxf: unexpected failure");
    }
    return kExitSoftware;
}
