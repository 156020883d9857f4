// The command line of vexlor-dxf: its commands' options, their help and their checks.
// SPDX-License-Identifier: MIT
#include "Arguments.h"

#include <fmt/core.h>

#include <algorithm>     // std::all_of, std::count
#include <charconv>      // std::from_chars
#include <cmath>         // std::isfinite
#include <cstdint>       // SIZE_MAX
#include <cstdlib>       // std::strtod
#include <filesystem>    // std::filesystem::path
#include <map>           // std::map
#include <system_error>  // std::errc

#include "Batch.h"
#include "Console.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfUnits.h"
#include "VexlorDxfWriter.h"

namespace Vexlor::DxfTool {

namespace fs = std::filesystem;

const char kExitCodes[] =
    "Exit status:\n"
    "  0-4  the result of the import, info or export (0 success; import and info: 1 cannot\n"
    "       be read to its end, 2 cannot be opened; import: 3 no contours; export: 2 output\n"
    "       cannot be opened, 3 no triangles or a write failed, 4 cancelled by Ctrl-C).\n"
    "       Contours that cross (the import's result 4) give status 0 and are named in the\n"
    "       summary; 4 with --strict\n"
    "  64   bad command line, or a file name that is not valid UTF-8\n"
    "  65   with --classic, a drawing holds a value that is not a number or out of range;\n"
    "       a mesh file is not valid STL or OBJ\n"
    "  66   a mesh file cannot be opened, or a folder holds no drawing (*.dxf)\n"
    "  70   an unexpected failure (out of memory, ...)\n"
    "  73   an --svg, --json or --summary file cannot be written, or standard input cannot\n"
    "       be copied to a temporary file\n"
    "With several drawings, the most severe status of all is returned, in this order:\n"
    "70, 73, 64, 66, then a drawing that cannot be opened (2), holds a bad number (65),\n"
    "cannot be read (1), gives no contours (3), gives crossing contours under --strict (4).\n";

namespace {

// What --units takes, in words: the units' symbols in the order of their codes, then the codes.
std::string UnitChoices() {
    std::string choices;
    for (int code = 1; code <= Vexlor::Dxf::kLastUnitCode; ++code) {
        const std::string symbol = Vexlor::Dxf::FindUnit(code)->symbol;
        if (!symbol.empty()) choices += symbol + ", ";
    }
    return choices + fmt::format("or an $INSUNITS code from 1 to {}", Vexlor::Dxf::kLastUnitCode);
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

// Why `text` is no length for --tolerance; empty when it is one.
std::string CheckLength(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const bool number = !text.empty() && end == text.c_str() + text.size();
    if (number && value > 0 && std::isfinite(value)) return "";
    return fmt::format("{} is not a length above zero, such as 0.01", text);
}

// Why `text` is no count for --jobs; empty when it is one.
std::string CheckJobs(const std::string& text) {
    unsigned long long value = 0;
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    const bool whole = read.ec == std::errc() && read.ptr == text.data() + text.size();
    if (whole && value >= 1 && value <= kMostJobs) return "";
    return fmt::format("{} is not a count of drawings from 1 to {}", text, kMostJobs);
}

}  // namespace

CLI::App* AddImportCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* import = app.add_subcommand(
        "import",
        "Import each drawing's contours in their true geometry (--classic: with the polyline "
        "reader), print a summary (result, contours, points, box, what was left out) and "
        "optionally "
        "write its contours as an SVG picture and as JSON. A drawing's summary goes to stdout, "
        "or to stderr when its import failed; with --svg - or --json -, only a failed import's "
        "summary is printed. Several drawings are imported at once (--jobs), their summaries "
        "printed in input order as with one at a time, and followed by a count per result; on a "
        "terminal a progress line counts them meanwhile. Output files replace earlier ones only "
        "once complete.");
    import
        ->add_option("DRAWING", arguments.drawings,
                     "DXF drawings (ASCII or binary), or folders, which stand for the *.dxf files "
                     "(any case) "
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
                     fmt::format("Import N drawings at once, 1 to {} (default: the number of "
                                 "cores); the output is the same whatever N",
                                 kMostJobs))
        ->type_name("N")
        ->check(CLI::Validator(CheckJobs, "", "N"));
    import->add_flag("--strict", arguments.strict,
                     "Fail with status 4 when contours cross, instead of 0");
    import->add_flag("-q,--quiet", arguments.quiet,
                     "Print errors only: no summary, no note of what was left out, no warning");
    CLI::Option* classic = import->add_flag(
        "--classic", arguments.classic,
        "Import with the polyline reader, the frozen compatibility reader, whose results and "
        "exit statuses some hosts rely on bit for bit: ASCII DXF only, single precision, y down, "
        "bulges as straight segments, splines as their control polygons, blocks in their own "
        "coordinates, every layer");
    import
        ->add_flag("--accurate", arguments.accurate,
                   "Import the drawing's true geometry (the default; kept for scripts written "
                   "when it was not): bulges, elliptic arcs, splines, object coordinate "
                   "systems, blocks placed by their INSERTs and hatch boundaries, curves within "
                   "a chord tolerance, in double precision, y up")
        ->excludes(classic);
    import
        ->add_option("--tolerance", arguments.tolerance,
                     "The largest distance between a curve and its polyline, in drawing units, "
                     "or in UNIT with --units (default: 1e-5 of the drawing's extent)")
        ->type_name("T")
        ->check(CLI::Validator(CheckLength, "", "T"))
        ->excludes(classic);
    import->add_flag("--y-down", arguments.yDown, "Negate y, as the polyline reader does")
        ->excludes(classic);
    import
        ->add_option("--layer", arguments.layers,
                     "Import the entities of layer NAME only (any case, as DXF compares names); "
                     "give it once per layer. A name the drawing does not hold is warned of, "
                     "with the names closest to it")
        ->type_name("NAME")
        ->allow_extra_args(false)
        ->excludes(classic);
    import
        ->add_flag("--all-layers", arguments.allLayers,
                   "Import frozen and off layers too, which CAD programs hide and the import "
                   "leaves out by default")
        ->excludes(classic);
    import
        ->add_flag("--strict-structure", arguments.strictStructure,
                   "Refuse a drawing whose structure is broken (result 1, naming the line), "
                   "where the import otherwise reads past breaks whose meaning is clear, such "
                   "as groups outside a section, and lists them")
        ->excludes(classic);
    import
        ->add_option("--units", arguments.units,
                     fmt::format("Give coordinates in UNIT: {}; the drawing's $INSUNITS says what "
                                 "they are in, and a drawing without it is not converted",
                                 UnitChoices()))
        ->type_name("UNIT")
        ->check(CLI::Validator(CheckUnit, "", "UNIT"))
        ->excludes(classic);
    import
        ->add_option("--max-points", arguments.maxPoints,
                     fmt::format("The most points a drawing may give, its blocks placed, before "
                                 "its import fails with result 1 (default: {})",
                                 Vexlor::Dxf::ContourOptions().maxPoints))
        ->type_name("N")
        ->check(CLI::Validator(CheckCount, "", "N"))
        ->excludes(classic);
    import
        ->add_option("--link-distance", arguments.linkDistance,
                     "Join open pieces whose ends lie less than D apart, in drawing units, or in "
                     "UNIT with --units (default: the chord tolerance, at least 0.0001)")
        ->type_name("D")
        ->check(CLI::Validator(CheckLength, "", "D"))
        ->excludes(classic);
    import
        ->add_flag("--regions", arguments.regions,
                   "Analyse the contours as regions: outlines with their holes, gaps between open "
                   "ends that nearly meet, where contours cross, contours drawn twice; counted in "
                   "the summary, listed in the JSON (\"analysis\") and marked in the SVG")
        ->excludes(classic);
    import
        ->add_option("--svg-color", arguments.svgColour,
                     "Colour the SVG picture by kind (closed, loop, open: the default) or by "
                     "layer, each layer in a colour of its own, with a legend of the layers")
        ->type_name("kind|layer")
        ->check(CLI::IsMember({"kind", "layer"}))
        ->excludes(classic);
    import->add_flag("--svg-ends", arguments.svgEnds,
                     fmt::format("Mark both ends of every open piece with a dot in the SVG "
                                 "picture; without it they are marked only when the picture "
                                 "has at most {} open pieces",
                                 kFewOpenPieces));
    import->footer(kExitCodes);
    return import;
}

CLI::App* AddInfoCommand(CLI::App& app, Arguments& arguments) {
    CLI::App* info = app.add_subcommand(
        "info",
        "Tell what each drawing holds, without importing it: its DXF version, ASCII or binary, "
        "units, code page, the extent its header gives, its layers (on, off, frozen, locked, and "
        "the entities on each in the model space), its entities by kind, its paper space's count "
        "and its blocks (entities, INSERTs placing each). It reads the drawing once and takes "
        "less time than importing it.");
    info->add_option("DRAWING", arguments.infoDrawings,
                     "DXF drawings (ASCII or binary), or folders, which stand for the *.dxf files "
                     "(any case) anywhere under them in sorted order; - reads standard input")
        ->type_name("FILE|DIR")
        ->required();
    info->add_flag("--json", arguments.infoJson,
                   "Write one JSON object per drawing and line (JSON Lines) on stdout: file, "
                   "result, error, binary, version, release, code_page, units, extent "
                   "({\"min\": [x, y, z], \"max\": [x, y, z]} or null), layers ([{name, listed, "
                   "frozen, off, locked, entities}]), entities ({kind: count}), "
                   "paper_space_entities, blocks ([{name, entities, inserts}])");
    info->footer(kExitCodes);
    return info;
}

CLI::App* AddExportCommand(CLI::App& app, Arguments& arguments) {
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
    exportCommand->add_flag(
        "--polyface", arguments.polyface,
        "Write the mesh as one polyface mesh, every vertex once, as CAD programs prefer it (a "
        "mesh of more than 32767 vertices or faces as several); with --layer, --units or --r12 "
        "and without it, as 3D faces with handles, a layer and exact numbers");
    exportCommand
        ->add_option("--layer", arguments.meshLayer,
                     "Put the mesh on layer NAME, created in the layer table (default: 0)")
        ->type_name("NAME")
        ->check(CLI::Validator(
            [](const std::string& name) { return Vexlor::Dxf::LayerNameProblem(name); }, "",
            "NAME"));
    exportCommand
        ->add_option("--units", arguments.units,
                     fmt::format("Name UNIT as the drawing's $INSUNITS: {}; nothing is converted",
                                 UnitChoices()))
        ->type_name("UNIT")
        ->check(CLI::Validator(CheckUnit, "", "UNIT"));
    exportCommand->add_flag("--r12", arguments.r12,
                            "Write an R12 drawing for old readers (default with --polyface, "
                            "--layer or --units: R2000)");
    exportCommand->footer(kExitCodes);
    return exportCommand;
}

// The $INSUNITS code that `text` names for --units.
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

}  // namespace Vexlor::DxfTool
