// vexlor-dxf: imports DXF drawings as contours and exports triangle meshes as DXF, as a host does.
// The command line is read here; each command lives in a file of its own.
// SPDX-License-Identifier: MIT
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <algorithm>  // std::max
#include <exception>  // std::exception
#include <new>        // std::bad_alloc
#include <thread>     // std::thread
#include <vector>     // std::vector

#include "Arguments.h"
#include "Batch.h"
#include "Console.h"
#include "ConvertCommand.h"
#include "ExportCommand.h"
#include "InfoCommand.h"
#include "PrintableText.h"

namespace {

using namespace Vexlor::DxfTool;

int Run(int argc, char** argv) {
    CLI::App app{
        "vexlor-dxf " VEXLOR_DXF_VERSION
        ": imports the 2D contours of DXF drawings, tells what a drawing holds, and exports "
        "triangle meshes as DXF."};
    app.set_version_flag("--version", "vexlor-dxf " VEXLOR_DXF_VERSION);
    app.require_subcommand(1);
    // Options are "-x" and "--name" everywhere; on Windows CLI11 would also take "/name", and so
    // a path such as /dev/x for an option (its subcommands inherit this).
    app.allow_windows_style_options(false);
    app.footer(kExitCodes);
    Arguments arguments;
    arguments.jobs = std::max(1U, std::thread::hardware_concurrency());
    const CLI::App* import = AddImportCommand(app, arguments);
    const CLI::App* info = AddInfoCommand(app, arguments);
    const CLI::App* exportCommand = AddExportCommand(app, arguments);
    ConvertArguments convert;
    const CLI::App* convertCommand = AddConvertCommand(app, convert);
    std::vector<Drawing> drawings;
    try {
        app.parse(argc, argv);
        if (import->parsed()) {
            drawings = ListDrawings(arguments.drawings);
            CheckOutputNames(arguments, drawings);
            CheckStandardStreams(arguments, drawings.size());
        }
        if (exportCommand->parsed() && arguments.outName == kStandardStream) {
            // "-" means standard output elsewhere: a file named so would surprise.
            throw CLI::ValidationError(
                "OUT: standard output (-) cannot take an export, which is written to a temporary "
                "file and renamed once complete; name a file (./- for one named -)");
        }
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kExitUsage;
    }
    BinaryStandardStreams();
    if (convertCommand->parsed()) return RunConvert(convert);
    if (import->parsed()) return RunImport(arguments, drawings);
    return info->parsed() ? RunInfo(arguments) : RunExport(arguments);
}

}  // namespace

int main(int argc, char** argv) {
    try {
#if defined(_WIN32)
        static_cast<void>(argc);
        static_cast<void>(argv);
        return RunWithUtf8Arguments(Run);
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
