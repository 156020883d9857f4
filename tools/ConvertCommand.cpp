// The convert command: each drawing imported in its true geometry, then written back as clean
// contours through the library's contour writer.
// SPDX-License-Identifier: MIT
#include "ConvertCommand.h"

#include <fmt/core.h>

#include <algorithm>     // std::max
#include <cmath>         // std::isfinite
#include <cstdlib>       // std::strtod
#include <filesystem>    // std::filesystem
#include <memory>        // std::make_shared
#include <optional>      // std::optional
#include <system_error>  // std::error_code

#include "Arguments.h"
#include "Batch.h"
#include "Console.h"
#include "PrintableText.h"
#include "TerminalProgress.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfUnits.h"
#include "VexlorDxfWriter.h"

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

namespace {

const char kConvertExitCodes[] =
    "Exit status:\n"
    "  0    every drawing was written (contours that cross are written, and named)\n"
    "  1-3  a drawing cannot be read to its end (1), cannot be opened (2), gives no contours\n"
    "       (3): nothing is written for it\n"
    "  4    cancelled by Ctrl-C: the file being written is removed, an earlier one kept\n"
    "  64   bad command line, or a file name that is not valid UTF-8\n"
    "  65   a drawing's contours cannot be written as DXF (a layer name DXF cannot hold)\n"
    "  66   a folder holds no drawing (*.dxf)\n"
    "  73   an output file cannot be written\n"
    "With several drawings, the highest status of all is returned.\n";

std::string CheckPositive(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const bool number = !text.empty() && end == text.c_str() + text.size();
    if (number && value > 0 && std::isfinite(value)) return "";
    return fmt::format("{} is not a length above zero, such as 0.01", text);
}

std::string CheckUnitName(const std::string& text) {
    return UnitCode(text) ? "" : fmt::format("{} is not a unit, such as mm, in, m or 4", text);
}

// The status of an import's result, as the import command gives it.
int StatusOf(Vexlor::Dxf::EContourResult result) {
    return result == Vexlor::Dxf::EContourResult::eIntersecting ? 0 : static_cast<int>(result);
}

// Converts one drawing `in` to `out`; returns its status. `cancelled` is set on Ctrl-C.
int ConvertOne(const std::string& in, const std::string& out, bool makeFolder,
               const ConvertArguments& arguments, const Vexlor::Dxf::ContourOptions& options,
               bool& cancelled) {
    const std::optional<std::wstring> inPath = LibraryPath(in);
    const std::optional<std::wstring> outPath = LibraryPath(out);
    if (!inPath || !outPath) return kExitUsage;
    const Vexlor::Dxf::ContourImport imported = Vexlor::Dxf::ImportContours(*inPath, options);
    const int status = StatusOf(imported.result);
    if (status != 0 || imported.contours.empty()) {
        const char* why =
            imported.result == Vexlor::Dxf::EContourResult::eOpenError ? "cannot be opened"
            : imported.result == Vexlor::Dxf::EContourResult::eEmpty   ? "gives no contours"
                                                                     : "cannot be read to its end";
        Error("{}: {}{}{}; nothing written (result {})", in, why,
              imported.error.empty() ? "" : ": ", Printable(imported.error), status);
        return status;
    }
    // The coordinates are in the unit asked for when the drawing said its own, else in its own.
    Vexlor::Dxf::ContourWriteOptions write;
    write.version =
        arguments.r12 ? Vexlor::Dxf::EDxfVersion::eR12 : Vexlor::Dxf::EDxfVersion::eR2000;
    const bool converted = options.units != 0 && Vexlor::Dxf::FindUnit(imported.units);
    write.units = converted                               ? options.units
                  : Vexlor::Dxf::FindUnit(imported.units) ? imported.units
                                                          : 0;
    if (makeFolder) {
        std::error_code ignored;
        fs::create_directories(PathOf(out).parent_path(), ignored);
    }
    auto progress = std::make_shared<CTerminalProgress>(
        stderr, !arguments.quiet && StderrIsTerminal(), "writing " + out);
    Vexlor::Dxf::WriteResult written;
    {
        // Ctrl-C cancels the write; the library removes its temporary file.
        const InterruptCatcher catcher;
        written = Vexlor::Dxf::WriteContours(*outPath, imported.contours, write, progress);
    }
    progress->Finish();
    switch (written.result) {
        case Vexlor::Dxf::EWriteResult::eOk:
            break;
        case Vexlor::Dxf::EWriteResult::eInvalidInput:
            Error("{}: its contours cannot be written as DXF: {}", in, Printable(written.error));
            return kExitData;
        case Vexlor::Dxf::EWriteResult::eCancelled:
            Error("{}: cancelled by Ctrl-C; an earlier file was left as it was", out);
            cancelled = true;
            return 4;
        default:
            Error("{}: cannot be written: {}", out, Printable(written.error));
            return kExitCannotWrite;
    }
    if (!arguments.quiet) {
        std::size_t closed = 0, points = 0;
        for (const Vexlor::Dxf::Contour& contour : imported.contours) {
            closed += contour.polyline.closed ? 1 : 0;
            points += contour.polyline.points.size();
        }
        Say(stdout, fmt::format("{}: {} contours ({} closed, {} open, {} points) written to {}{}\n",
                                in, imported.contours.size(), closed,
                                imported.contours.size() - closed, points, out,
                                imported.result == Vexlor::Dxf::EContourResult::eIntersecting
                                    ? "; warning: contours cross"
                                    : ""));
    }
    return 0;
}

}  // namespace

CLI::App* AddConvertCommand(CLI::App& app, ConvertArguments& arguments) {
    CLI::App* convert = app.add_subcommand(
        "convert",
        "Import each drawing in its true geometry and write its contours back as a clean DXF "
        "drawing, for cutters and CAD programs: curves flattened within the tolerance, blocks "
        "placed, hidden layers left out unless asked for, pieces joined; each contour a closed "
        "or open polyline on its layer, with the units and extent in the header. A file is "
        "replaced only once complete. A folder IN stands for the *.dxf files under it, written "
        "under OUT with the same relative names.");
    convert->add_option("IN", arguments.in, "A DXF drawing (ASCII or binary), or a folder")
        ->type_name("FILE|DIR")
        ->required();
    convert->add_option("OUT", arguments.out, "The DXF file to write, or the folder for a folder")
        ->type_name("OUT.dxf|DIR")
        ->required();
    convert
        ->add_option("--tolerance", arguments.tolerance,
                     "The largest distance between a curve and its polyline, in drawing units, "
                     "or in UNIT with --units (default: 1e-5 of the drawing's extent)")
        ->type_name("T")
        ->check(CLI::Validator(CheckPositive, "", "T"));
    convert
        ->add_option("--layer", arguments.layers,
                     "Keep the entities of layer NAME only (any case); once per layer")
        ->type_name("NAME")
        ->allow_extra_args(false);
    convert->add_flag("--all-layers", arguments.allLayers,
                      "Keep frozen and off layers too, which are left out by default");
    convert
        ->add_option("--units", arguments.units,
                     "Convert coordinates to UNIT (mm, in, m, ... or an $INSUNITS code) when the "
                     "drawing says its own; the header names the unit written")
        ->type_name("UNIT")
        ->check(CLI::Validator(CheckUnitName, "", "UNIT"));
    convert
        ->add_option("--max-points", arguments.maxPoints,
                     "The most points a drawing may give before its import fails with result 1")
        ->type_name("N");
    convert
        ->add_option("--link-distance", arguments.linkingDistance,
                     "Join open pieces whose ends lie less than D apart, in drawing units, or in "
                     "UNIT with --units (default: the chord tolerance, at least 0.0001)")
        ->type_name("D")
        ->check(CLI::Validator(CheckPositive, "", "D"));
    convert->add_flag("--no-link", arguments.noLink,
                      "Keep every entity a contour of its own: no joining");
    convert->add_flag("--r12", arguments.r12,
                      "Write an R12 drawing of POLYLINEs for old readers (default: R2000, "
                      "LWPOLYLINEs)");
    convert->add_flag("-q,--quiet", arguments.quiet, "Print errors only");
    convert->footer(kConvertExitCodes);
    return convert;
}

int RunConvert(const ConvertArguments& arguments) {
    Vexlor::Dxf::ContourOptions options;
    options.tolerance = arguments.tolerance;
    options.layers = arguments.layers;
    options.hiddenLayers = arguments.allLayers;
    if (!arguments.units.empty()) options.units = UnitCode(arguments.units).value_or(0);
    if (arguments.maxPoints != 0) options.maxPoints = arguments.maxPoints;
    if (arguments.linkingDistance > 0) {
        // The distance asked for is the one used, as import's --link-distance does.
        options.linkingDistance = arguments.linkingDistance;
        options.linkWithinTolerance = false;
    }
    options.link = !arguments.noLink;
    bool cancelled = false;
    if (!IsDirectory(PathOf(arguments.in))) {
        // A folder given as OUT takes the drawing under its own name.
        std::string out = arguments.out;
        if (IsDirectory(PathOf(out))) out = TextOf(PathOf(out) / PathOf(arguments.in).filename());
        return ConvertOne(arguments.in, out, false, arguments, options, cancelled);
    }
    int status = 0;
    for (const Drawing& drawing : ListDrawings({arguments.in})) {
        if (!drawing.problem.empty()) {
            Error("{}: {}", drawing.name, drawing.problem);
            status = std::max(status, kExitNoInput);
            continue;
        }
        const std::string out = TextOf(PathOf(arguments.out) / drawing.outputName);
        status =
            std::max(status, ConvertOne(drawing.name, out, true, arguments, options, cancelled));
        if (cancelled) break;
    }
    return status;
}

}  // namespace Vexlor::DxfTool
