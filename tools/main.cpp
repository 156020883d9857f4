// vexlor-dxf: imports DXF drawings as contours and exports triangle meshes as DXF, as a host does.
// SPDX-License-Identifier: MIT
#include <fmt/core.h>
#include <utf8.h>

#include <CLI/CLI.hpp>
#include <algorithm>   // std::max
#include <cerrno>      // errno
#include <cstdio>      // std::fflush
#include <cstring>     // std::strerror
#include <exception>   // std::exception
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ofstream
#include <functional>  // std::function
#include <ios>         // std::ios_base::failure
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
#include "ImportJson.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "MeshFile.h"
#include "SvgPicture.h"
#include "TerminalProgress.h"

#if defined(_WIN32)
#include <io.h>  // _isatty
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
constexpr int kExitCannotWrite = 73;  // an --svg or --json file cannot be written

const char kExitCodes[] =
    "Exit status:\n"
    "  0-4  the result of the import or export (0 success; import: 1 unreadable to its end,\n"
    "       2 cannot be opened, 3 no contours, 4 contours cross; export: 2 output cannot be\n"
    "       opened, 3 no triangles or a write failed, 4 cancelled by Ctrl-C)\n"
    "  64   bad command line, or a file name that is not valid UTF-8\n"
    "  65   a drawing holds a value that is not a number or out of range; a mesh file is\n"
    "       not valid STL or OBJ\n"
    "  66   a mesh file cannot be opened\n"
    "  70   an unexpected failure (out of memory, ...)\n"
    "  73   an --svg or --json file cannot be written\n"
    "With several drawings, each is imported in turn and the highest status is returned.\n";

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
#if defined(_WIN32)
    try {
        return fs::path(argument).wstring();
    } catch (const std::exception&) {
        // refused below
    }
#else
    if (utf8::is_valid(argument.begin(), argument.end())) {
        std::wstring wide;
        utf8::unchecked::utf8to32(argument.begin(), argument.end(), std::back_inserter(wide));
        return wide;
    }
#endif
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

bool IsDirectory(const std::string& name) {
    std::error_code error;
    return fs::is_directory(fs::path(name), error);
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

// Writes one output file through `write`; false (after a message) when it cannot be written.
bool WriteOutput(const std::string& name, const std::function<void(std::ostream&)>& write) {
    errno = 0;
    std::ofstream out(fs::path(name), std::ios::binary);
    if (!out.is_open()) {
        Error("{}: cannot be written: {}", name, Reason(errno, "cannot be opened"));
        return false;
    }
    write(out);
    out.close();
    if (out.fail()) {
        Error("{}: cannot be written: writing failed (is the disk full?)", name);
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

// The import's summary on stdout: its result, the contours by kind, their points and the box.
void PrintSummary(const std::string& name, CDXFReader::EReturnCode result,
                  const std::vector<Polyline>& polylines, const std::optional<Box>& box) {
    std::size_t closed = 0;
    std::size_t loops = 0;
    std::size_t points = 0;
    for (const Polyline& polyline : polylines) {
        closed += polyline.closed ? 1 : 0;
        loops += IsLoop(polyline) ? 1 : 0;
        points += polyline.points.size();
    }
    fmt::print("{}: {} (result {})\n", name, ImportWords(result), static_cast<int>(result));
    // Linked pieces that form a ring keep the library's closed flag false: name them apart.
    const std::string loopNote =
        loops == 0 ? "" : fmt::format(", {} of them ending where they start", loops);
    fmt::print("  contours: {} ({} closed, {} open{}), {} points\n", polylines.size(), closed,
               polylines.size() - closed, loopNote, points);
    if (box) {
        // Adding 0.0 shows a negated zero as 0; the JSON keeps its sign.
        fmt::print("  box: x {:.9g} to {:.9g}, y {:.9g} to {:.9g} (y points down)\n",
                   box->leftTop.x + 0.0, box->rightBottom.x + 0.0, box->leftTop.y + 0.0,
                   box->rightBottom.y + 0.0);
    } else {
        fmt::print("  box: none (no point read)\n");
    }
    std::fflush(stdout);
}

// Imports one drawing, prints its summary and writes the files asked for (`svg` and `json` when
// not null); returns its status.
int ImportDrawing(const std::string& name, const std::string* svg, const std::string* json) {
    const std::optional<std::wstring> path = LibraryPath(name);
    if (!path) return kExitUsage;
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    errno = 0;
    try {
        result = reader.Import(*path);
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
              IsDirectory(name) ? "it is a directory" : e.what());
        return CDXFReader::eReadError;
    }
    const int code = static_cast<int>(result);
    if (result == CDXFReader::eOpenError) {
        Error("{}: cannot be opened: {} (result 2)", name, Reason(errno, "not readable"));
        return code;
    }

    const std::optional<Box> box = BoxOf(reader);
    PrintSummary(name, result, polylines, box);
    if (result != CDXFReader::eOk) {
        const bool directory = result == CDXFReader::eReadError && IsDirectory(name);
        Error("{}: {} (result {})", name,
              directory ? "cannot be read: it is a directory" : ImportWords(result), code);
    }
    const auto writeSvg = [&](std::ostream& out) { WriteSvg(out, polylines, name); };
    const auto writeJson = [&](std::ostream& out) {
        WriteImportJson(out, name, code, box, polylines);
    };
    const bool svgFailed = svg && !WriteOutput(*svg, writeSvg);
    const bool jsonFailed = json && !WriteOutput(*json, writeJson);
    return svgFailed || jsonFailed ? std::max(code, kExitCannotWrite) : code;
}

// What the command line asks for.
struct Arguments {
    std::vector<std::string> drawings;
    std::vector<std::string> svgs;   // none, or one per drawing
    std::vector<std::string> jsons;  // none, or one per drawing
    std::string meshName;
    std::string outName;
};

int RunImport(const Arguments& arguments) {
    int status = 0;
    for (std::size_t i = 0; i < arguments.drawings.size(); ++i) {
        const std::string* svg = arguments.svgs.empty() ? nullptr : &arguments.svgs[i];
        const std::string* json = arguments.jsons.empty() ? nullptr : &arguments.jsons[i];
        status = std::max(status, ImportDrawing(arguments.drawings[i], svg, json));
    }
    return status;
}

// Removes what an export left unfinished; devices and other non-regular files are never touched.
std::string RemovePartial(const std::string& name) {
    std::error_code error;
    if (!fs::is_regular_file(fs::path(name), error)) return "nothing was removed";
    if (fs::remove(fs::path(name), error)) return "the partial file was removed";
    return "the partial file could not be removed: " + error.message();
}

int RunExport(const std::string& meshName, const std::string& outName) {
    const std::optional<std::wstring> outPath = LibraryPath(outName);
    if (!outPath) return kExitUsage;
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

    auto progress =
        std::make_shared<CTerminalProgress>(stderr, StderrIsTerminal(), "writing " + outName);
    ExportToDxf::ReturnCode result = ExportToDxf::eOk;
    errno = 0;
    {
        const InterruptCatcher catcher;
        result = ExportToDxf::Operate(*outPath, part, progress);
    }
    const int openErrno = errno;
    progress->Finish();

    const int code = static_cast<int>(result);
    switch (result) {
        case ExportToDxf::eOk:
            fmt::print("{}: {} triangles ({}) written to {} (result {})\n", meshName,
                       part.triangles.size(), mesh.format, outName, code);
            break;
        case ExportToDxf::eOpenError:
            Error("{}: cannot be opened for writing: {} (result {})", outName,
                  Reason(openErrno, "not writable"), code);
            break;
        case ExportToDxf::eWriteError:
            if (part.triangles.empty()) {
                Error("{}: holds no triangles; nothing was written (result {})", meshName, code);
            } else {
                // An unfinished DXF file would look like a drawing to the next program.
                Error("{}: writing failed (is the disk full?); {} (result {})", outName,
                      RemovePartial(outName), code);
            }
            break;
        case ExportToDxf::eCancelled:
            Error("{}: export cancelled by Ctrl-C; {} (result {})", outName, RemovePartial(outName),
                  code);
            break;
    }
    return code;
}

CLI::App* AddImportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* import = app.add_subcommand(
        "import",
        "Import each drawing, print a summary (result, contours, points, box) and optionally "
        "write its contours as an SVG picture and as JSON.");
    import
        ->add_option("DRAWING", arguments.drawings,
                     "ASCII DXF drawings, imported one after another")
        ->type_name("FILE")
        ->required();
    import
        ->add_option("--svg", arguments.svgs,
                     "Write the contours as an SVG picture; give it once per drawing, in order")
        ->type_name("OUT.svg")
        ->allow_extra_args(false);
    import
        ->add_option("--json", arguments.jsons,
                     "Write the result, box and polylines as JSON (numbers exact); once per "
                     "drawing, in order")
        ->type_name("OUT.json")
        ->allow_extra_args(false);
    import->footer(kExitCodes);
    return import;
}

void AddExportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* exportCommand = app.add_subcommand(
        "export",
        "Write a triangle mesh (binary or ASCII STL, OBJ) as a DXF file of 3D faces. A progress "
        "bar shows on a terminal. Ctrl-C while the faces are written cancels the export: the "
        "partial file is removed and the status is 4 (before that, nothing is written yet and "
        "Ctrl-C just ends the program). A file left incomplete by a failed write is removed "
        "too.");
    exportCommand
        ->add_option("MESH", arguments.meshName, "The mesh: .stl (binary or ASCII) or .obj")
        ->type_name("FILE")
        ->required();
    exportCommand->add_option("OUT", arguments.outName, "The DXF file to create or overwrite")
        ->type_name("OUT.dxf")
        ->required();
    exportCommand->footer(kExitCodes);
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
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    return import->parsed() ? RunImport(arguments)
                            : RunExport(arguments.meshName, arguments.outName);
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
