// The import command for one drawing: import it, say how it went, write its SVG and JSON records.
// SPDX-License-Identifier: MIT
#pragma once

#include <string>  // std::string

#include "SummaryTable.h"
#include "VexlorDxfContours.h"

namespace Vexlor::DxfTool {

/// How an import is run and reported.
struct ImportOptions {
    bool quiet = false;        // errors only
    bool strict = false;       // crossing contours are a failure (status 4)
    bool stdoutTaken = false;  // an --svg, --json or --summary record goes to standard output
    bool accurate = false;     // the accurate import, with these options
    Vexlor::Dxf::ContourOptions contours;
    bool svgByLayer = false;  // the SVG picture coloured by layer, with a legend (accurate only)
    bool svgEnds = false;     // the SVG picture marks every open piece's ends
};

/// Where one of a drawing's records goes.
struct OutputFile {
    std::string name;         // a file, or "-" for standard output
    bool makeFolder = false;  // under --svg-dir or --json-dir, whose subfolders may be missing
};

/// Imports one drawing ("-": standard input), prints its summary, writes the files asked for
/// (`svg` and `json` when not null) and fills in `row`; returns its status.
int ImportDrawing(const std::string& argument, const OutputFile* svg, const OutputFile* json,
                  const ImportOptions& options, SummaryRow& row);

}  // namespace Vexlor::DxfTool
