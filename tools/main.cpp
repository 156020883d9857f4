// vexlor-dxf: imports DXF drawings as contours and exports triangle meshes as DXF, as a host does.
// SPDX-License-Identifier: MIT
#include <CLI/CLI.hpp>
#include <algorithm>   // std::max
#include <cerrno>      // errno
#include <cstdio>      // std::printf, std::fprintf
#include <cstring>     // std::strerror
#include <exception>   // std::exception
#include <filesystem>  // std::filesystem::path
#include <fstream>     // std::ofstream
#include <functional>  // std::function
#include <ios>         // std::ios_base::failure
#include <memory>      // std::make_shared
#include <new>         // std::bad_alloc
#include <optional>    // std::optional
#include <stdexcept>   // std::invalid_argument, std::out_of_range
#include <string>      // std::string, std::wstring
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

// The smallest code point that UTF-8 writes in 1, 2, 3 or 4 bytes.
constexpr unsigned long kSmallestOfLength[] = {0, 0, 0x80, 0x800, 0x10000};

void Error(const std::string& message) { std::fprintf(stderr, "%s\n", message.c_str()); }

// The library takes wide paths: on POSIX one wchar_t per Unicode code point, which it encodes
// back to UTF-8. The command line's bytes are decoded here rather than through the locale, which
// is "C" in a program that never calls setlocale and would refuse every non-ASCII byte.
std::optional<std::wstring> LibraryPath(const std::string& argument) {
#if defined(_WIN32)
    try {
        return fs::path(argument).wstring();
    } catch (const std::exception&) {
        return std::nullopt;
    }
#else
    std::wstring wide;
    for (std::size_t i = 0; i < argument.size();) {
        const auto lead = static_cast<unsigned char>(argument[i]);
        const int length = lead < 0x80                   ? 1
                           : lead >= 0xC2 && lead < 0xE0 ? 2
                           : lead >= 0xE0 && lead < 0xF0 ? 3
                           : lead >= 0xF0 && lead < 0xF5 ? 4
                                                         : 0;
        if (length == 0 || i + length > argument.size()) return std::nullopt;
        unsigned long codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(argument[i + k]);
            if ((next & 0xC0) != 0x80) return std::nullopt;
            codePoint = codePoint << 6 | (next & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (codePoint < kSmallestOfLength[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return std::nullopt;
        }
        wide.push_back(static_cast<wchar_t>(codePoint));
        i += length;
    }
    return wide;
#endif
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
        Error(name + ": cannot be written: " + Reason(errno, "cannot be opened"));
        return false;
    }
    write(out);
    out.close();
    if (out.fail()) {
        Error(name + ": cannot be written: writing failed (is the disk full?)");
        return false;
    }
    return true;
}

struct ImportOutputs {
    const std::string* svg = nullptr;
    const std::string* json = nullptr;
};

// Imports one drawing, prints its summary and writes the files asked for; returns its status.
int ImportDrawing(const std::string& name, const ImportOutputs& outputs) {
    const std::optional<std::wstring> path = LibraryPath(name);
    if (!path) {
        Error(name + ": the file name is not valid UTF-8, which is all the library takes");
        return kExitUsage;
    }
    std::vector<Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    errno = 0;
    try {
        result = reader.Import(*path);
    } catch (const std::invalid_argument& e) {
        Error(name + ": holds a value that is not a number (std::invalid_argument: " + e.what() +
              "); the drawing was not imported");
        return kExitData;
    } catch (const std::out_of_range& e) {
        Error(name + ": holds a number out of range (std::out_of_range: " + e.what() +
              "); the drawing was not imported");
        return kExitData;
    } catch (const std::ios_base::failure& e) {
        // The stream itself can fail on a file that opened (a directory, an I/O error): that is
        // the "cannot be read" of result 1.
        Error(name + ": cannot be read: " + (IsDirectory(name) ? "it is a directory" : e.what()) +
              " (status 1)");
        return CDXFReader::eReadError;
    }
    const int code = static_cast<int>(result);
    if (result == CDXFReader::eOpenError) {
        Error(name + ": cannot be opened: " + Reason(errno, "not readable") + " (result 2)");
        return code;
    }

    std::size_t closed = 0;
    std::size_t loops = 0;
    std::size_t points = 0;
    for (const Polyline& polyline : polylines) {
        closed += polyline.closed ? 1 : 0;
        loops += Vexlor::DxfTool::IsLoop(polyline) ? 1 : 0;
        points += polyline.points.size();
    }
    const MStlBaseOperatorDXFPolylineReader::Point leftTop = reader.GetLeftTopPoint();
    const MStlBaseOperatorDXFPolylineReader::Point rightBottom = reader.GetRightBottomPoint();
    std::optional<Vexlor::DxfTool::Box> box;
    if (leftTop.x <= rightBottom.x && leftTop.y <= rightBottom.y) {
        box = Vexlor::DxfTool::Box{leftTop, rightBottom};
    }

    std::printf("%s: %s (result %d)\n", name.c_str(), ImportWords(result), code);
    // Linked pieces that form a ring keep the library's closed flag false: name them apart.
    const std::string loopNote =
        loops == 0 ? "" : ", " + std::to_string(loops) + " of them ending where they start";
    std::printf("  contours: %zu (%zu closed, %zu open%s), %zu points\n", polylines.size(), closed,
                polylines.size() - closed, loopNote.c_str(), points);
    if (box) {
        // Adding 0.0 shows a negated zero as 0; the JSON keeps its sign.
        std::printf("  box: x %.9g to %.9g, y %.9g to %.9g (y points down)\n", leftTop.x + 0.0,
                    rightBottom.x + 0.0, leftTop.y + 0.0, rightBottom.y + 0.0);
    } else {
        std::printf("  box: none (no point read)\n");
    }
    std::fflush(stdout);

    int status = code;
    if (result != CDXFReader::eOk) {
        const bool directory = result == CDXFReader::eReadError && IsDirectory(name);
        Error(name + ": " +
              (directory ? "cannot be read: it is a directory" : ImportWords(result)) +
              " (result " + std::to_string(code) + ")");
    }
    if (outputs.svg && !WriteOutput(*outputs.svg, [&](std::ostream& out) {
            Vexlor::DxfTool::WriteSvg(out, polylines, name);
        })) {
        status = std::max(status, kExitCannotWrite);
    }
    if (outputs.json && !WriteOutput(*outputs.json, [&](std::ostream& out) {
            Vexlor::DxfTool::WriteImportJson(out, name, code, box, polylines);
        })) {
        status = std::max(status, kExitCannotWrite);
    }
    return status;
}

int RunImport(const std::vector<std::string>& drawings, const std::vector<std::string>& svgs,
              const std::vector<std::string>& jsons) {
    int status = 0;
    for (std::size_t i = 0; i < drawings.size(); ++i) {
        ImportOutputs outputs;
        if (!svgs.empty()) outputs.svg = &svgs[i];
        if (!jsons.empty()) outputs.json = &jsons[i];
        status = std::max(status, ImportDrawing(drawings[i], outputs));
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
    if (!outPath) {
        Error(outName + ": the file name is not valid UTF-8, which is all the library takes");
        return kExitUsage;
    }
    ExportToDxf::PartData part;
    const Vexlor::DxfTool::MeshReadResult mesh =
        Vexlor::DxfTool::ReadMesh(fs::path(meshName), part);
    if (mesh.status == Vexlor::DxfTool::EMeshRead::eOpenError) {
        Error(meshName + ": cannot be opened: " + mesh.detail);
        return kExitNoInput;
    }
    if (mesh.status == Vexlor::DxfTool::EMeshRead::eBadData) {
        Error(meshName + ": not a valid " + mesh.format + " mesh: " + mesh.detail);
        return kExitData;
    }

    auto progress = std::make_shared<Vexlor::DxfTool::CTerminalProgress>(stderr, StderrIsTerminal(),
                                                                         "writing " + outName);
    ExportToDxf::ReturnCode result = ExportToDxf::eOk;
    errno = 0;
    {
        const Vexlor::DxfTool::InterruptCatcher catcher;
        result = ExportToDxf::Operate(*outPath, part, progress);
    }
    const int openErrno = errno;
    progress->Finish();

    const std::string code = " (result " + std::to_string(static_cast<int>(result)) + ")";
    switch (result) {
        case ExportToDxf::eOk:
            std::printf("%s: %zu triangles (%s) written to %s%s\n", meshName.c_str(),
                        part.triangles.size(), mesh.format.c_str(), outName.c_str(), code.c_str());
            break;
        case ExportToDxf::eOpenError:
            Error(outName + ": cannot be opened for writing: " + Reason(openErrno, "not writable") +
                  code);
            break;
        case ExportToDxf::eWriteError:
            if (part.triangles.empty()) {
                Error(meshName + ": holds no triangles; nothing was written" + code);
            } else {
                // An unfinished DXF file would look like a drawing to the next program.
                Error(outName + ": writing failed (is the disk full?); " + RemovePartial(outName) +
                      code);
            }
            break;
        case ExportToDxf::eCancelled:
            Error(outName + ": export cancelled by Ctrl-C; " + RemovePartial(outName) + code);
            break;
    }
    return static_cast<int>(result);
}

int Run(int argc, char** argv) {
    CLI::App app{
        "vexlor-dxf " VEXLOR_DXF_VERSION
        ": imports the 2D contours of ASCII DXF drawings and exports triangle meshes as DXF."};
    app.set_version_flag("--version", "vexlor-dxf " VEXLOR_DXF_VERSION);
    app.require_subcommand(1);
    app.footer(kExitCodes);

    std::vector<std::string> drawings;
    std::vector<std::string> svgs;
    std::vector<std::string> jsons;
    CLI::App* import = app.add_subcommand(
        "import",
        "Import each drawing, print a summary (result, contours, points, box) and optionally "
        "write its contours as an SVG picture and as JSON.");
    import->add_option("DRAWING", drawings, "ASCII DXF drawings, imported one after another")
        ->type_name("FILE")
        ->required();
    import
        ->add_option("--svg", svgs,
                     "Write the contours as an SVG picture; give it once per drawing, in order")
        ->type_name("OUT.svg")
        ->allow_extra_args(false);
    import
        ->add_option("--json", jsons,
                     "Write the result, box and polylines as JSON (numbers exact); once per "
                     "drawing, in order")
        ->type_name("OUT.json")
        ->allow_extra_args(false);
    import->footer(kExitCodes);

    std::string meshName;
    std::string outName;
    CLI::App* exportCommand = app.add_subcommand(
        "export",
        "Write a triangle mesh (binary or ASCII STL, OBJ) as a DXF file of 3D faces. A progress "
        "bar shows on a terminal. Ctrl-C while the faces are written cancels the export: the "
        "partial file is removed and the status is 4 (before that, nothing is written yet and "
        "Ctrl-C just ends the program). A file left incomplete by a failed write is removed "
        "too.");
    exportCommand->add_option("MESH", meshName, "The mesh: .stl (binary or ASCII) or .obj")
        ->type_name("FILE")
        ->required();
    exportCommand->add_option("OUT", outName, "The DXF file to create or overwrite")
        ->type_name("OUT.dxf")
        ->required();
    exportCommand->footer(kExitCodes);

    try {
        app.parse(argc, argv);
        for (const std::vector<std::string>* outputs : {&svgs, &jsons}) {
            if (!outputs->empty() && outputs->size() != drawings.size()) {
                throw CLI::ValidationError("--svg and --json are given once per drawing: " +
                                           std::to_string(drawings.size()) + " drawing(s), " +
                                           std::to_string(outputs->size()) + " output file(s)");
            }
        }
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : kExitUsage;
    }
    return import->parsed() ? RunImport(drawings, svgs, jsons) : RunExport(meshName, outName);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Error("vexlor-dxf: out of memory");
    } catch (const std::exception& e) {
        Error(std::string("vexlor-dxf: unexpected failure: ") + e.what());
    } catch (...) {
        Error("vexlor-dxf: unexpected failure");
    }
    return kExitSoftware;
}
