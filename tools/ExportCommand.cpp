// The export command: a triangle mesh written as a DXF file of 3D faces.
// SPDX-License-Identifier: MIT
#include "ExportCommand.h"

#include <fmt/core.h>

#include <cerrno>    // errno
#include <memory>    // std::make_shared
#include <optional>  // std::optional
#include <string>    // std::string

#include "Console.h"
#include "ExportToDxf.h"
#include "FileReplacement.h"
#include "MeshFile.h"
#include "PrintableText.h"
#include "TerminalProgress.h"
#include "VexlorDxfWriter.h"

namespace Vexlor::DxfTool {

namespace {

// The mesh writer's export: one polyface mesh or 3D faces, on a layer, in units, R2000 or R12;
// the library writes through a temporary file of its own.
int WriteWithMeshWriter(const Arguments& arguments, const ExportToDxf::PartData& part,
                        const MeshReadResult& mesh, const std::wstring& path) {
    const std::string& outName = arguments.outName;
    Vexlor::Dxf::MeshWriteOptions options;
    options.entity = arguments.polyface ? Vexlor::Dxf::EMeshEntity::ePolyface
                                        : Vexlor::Dxf::EMeshEntity::e3DFace;
    options.version =
        arguments.r12 ? Vexlor::Dxf::EDxfVersion::eR12 : Vexlor::Dxf::EDxfVersion::eR2000;
    if (!arguments.meshLayer.empty()) options.layer = arguments.meshLayer;
    // The parser has checked the unit's name.
    if (!arguments.units.empty()) options.units = UnitCode(arguments.units).value_or(0);
    auto progress = std::make_shared<CTerminalProgress>(
        stderr, !arguments.quiet && StderrIsTerminal(), "writing " + outName);
    Vexlor::Dxf::WriteResult written;
    {
        const InterruptCatcher catcher;
        written = Vexlor::Dxf::WriteMesh(path, part, options, progress);
    }
    progress->Finish();
    switch (written.result) {
        case Vexlor::Dxf::EWriteResult::eOk:
            if (!arguments.quiet) {
                fmt::print("{}: {} triangles ({}) written to {} as {} (result 0)\n",
                           arguments.meshName, part.triangles.size(), mesh.format, outName,
                           arguments.polyface ? "a polyface mesh" : "3D faces");
            }
            return 0;
        case Vexlor::Dxf::EWriteResult::eInvalidInput:
            // No triangles is the export's result 3; a coordinate that is not finite is bad data.
            Error("{}: {}; nothing was written", arguments.meshName, Printable(written.error));
            return part.triangles.empty() ? ExportToDxf::eWriteError : kExitData;
        case Vexlor::Dxf::EWriteResult::eOpenError:
            Error("{}: cannot be opened for writing: {} (result 2)", outName,
                  Printable(written.error));
            return ExportToDxf::eOpenError;
        case Vexlor::Dxf::EWriteResult::eWriteError:
            Error(
                "{}: writing failed (is the disk full?): {}; the earlier file was left as it "
                "was (result 3)",
                outName, Printable(written.error));
            return ExportToDxf::eWriteError;
        case Vexlor::Dxf::EWriteResult::eCancelled:
            Error("{}: export cancelled by Ctrl-C; the earlier file was left as it was (result 4)",
                  outName);
            return ExportToDxf::eCancelled;
    }
    return kExitSoftware;
}

}  // namespace

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
    if (arguments.polyface || arguments.r12 || !arguments.meshLayer.empty() ||
        !arguments.units.empty()) {
        return WriteWithMeshWriter(arguments, part, mesh, *LibraryPath(outName));
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

}  // namespace Vexlor::DxfTool
