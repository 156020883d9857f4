// The table of a batch import: one row per drawing, as CSV or JSON Lines.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>   // std::size_t
#include <optional>  // std::optional
#include <ostream>   // std::ostream
#include <string>    // std::string
#include <vector>    // std::vector

#include "ImportJson.h"

namespace Vexlor::DxfTool {

/// What the table says of one drawing.
struct SummaryRow {
    std::string path;           // as given or as found in a folder given
    std::optional<int> result;  // the library's result code; none when the import gave none
    int status = 0;             // the tool's exit status for this drawing alone
    std::string message;        // the summary's first line or the first error, without the path
    std::size_t contours = 0;
    std::size_t closed = 0;
    std::size_t points = 0;
    std::optional<Box> box;
    double seconds = 0.0;  // import and output files, wall clock
};

/// Writes `rows` in order: as CSV with a header line (fields quoted where they need it, the box
/// as "x0 y0 x1 y1", empty when there is none), or, when `jsonLines`, one JSON object per line
/// (the box as [x0, y0, x1, y1] or null, a missing result as null). The columns, in both: path,
/// result, status, message, contours, closed, open, points, box, seconds.
void WriteSummaryTable(std::ostream& out, const std::vector<SummaryRow>& rows, bool jsonLines);

}  // namespace Vexlor::DxfTool
