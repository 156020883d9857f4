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

namespace Vexlor::DxfTool {

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

}  // namespace Vexlor::DxfTool
