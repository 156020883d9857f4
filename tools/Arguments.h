// The command line of vexlor-dxf: what it asks for, its commands' options and their checks.
// SPDX-License-Identifier: MIT
#pragma once

#include <CLI/CLI.hpp>
#include <cstddef>   // std::size_t
#include <optional>  // std::optional
#include <string>    // std::string
#include <vector>    // std::vector

namespace Vexlor::DxfTool {

struct Drawing;

/// What the command line asks for.
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
    bool classic = false;   // the polyline reader
    bool accurate = false;  // the default, given by name
    double tolerance = 0;
    bool yDown = false;
    std::vector<std::string> layers;  // none: every layer
    bool allLayers = false;
    bool strictStructure = false;  // a broken structure is result 1, not read past
    std::string units;          // empty: the drawing's own; else a name or code that UnitCode takes
    std::size_t maxPoints = 0;  // 0: the library's budget
    double linkDistance = 0;    // 0: the library's default (the chord tolerance, at least 1e-4)
    bool regions = false;       // the analysis as regions in the summary, the JSON and the SVG
    std::string svgColour = "kind";
    bool polyface = false;  // export: one polyface mesh, through the mesh writer
    std::string meshLayer;  // export: the mesh writer's layer
    bool r12 = false;       // export: an R12 drawing, through the mesh writer
    bool svgEnds = false;   // every open piece's ends marked
    std::vector<std::string> infoDrawings;
    bool infoJson = false;
};

/// The most drawings --jobs imports at once.
constexpr unsigned kMostJobs = 1024;

/// The most open pieces a picture marks the ends of without --svg-ends: beyond them the dots
/// hide the drawing.
constexpr std::size_t kFewOpenPieces = 50;

/// The exit statuses, for the help's footer.
extern const char kExitCodes[];

/// The $INSUNITS code that `text` names for --units: a unit's symbol in any case, or a code from
/// 1 to kLastUnitCode as digits.
std::optional<int> UnitCode(const std::string& text);

/// Adds the import command, whose options fill in `arguments`.
CLI::App* AddImportCommand(CLI::App& app, Arguments& arguments);

/// Adds the info command, whose options fill in `arguments`.
CLI::App* AddInfoCommand(CLI::App& app, Arguments& arguments);

/// Adds the export command, whose options fill in `arguments`.
CLI::App* AddExportCommand(CLI::App& app, Arguments& arguments);

/// Standard input can be read once, and standard output holds one record of one drawing; throws
/// CLI::ValidationError otherwise.
void CheckStandardStreams(const Arguments& arguments, std::size_t drawings);

/// --svg and --json name one file per drawing; --svg-dir and --json-dir one name per drawing,
/// which two drawings must not share, or the last one done would win. Throws
/// CLI::ValidationError otherwise.
void CheckOutputNames(const Arguments& arguments, const std::vector<Drawing>& drawings);

}  // namespace Vexlor::DxfTool
