// The JSON record of one import: result code, box and every polyline, numbers exact.
// SPDX-License-Identifier: MIT
#pragma once

#include <optional>  // std::optional
#include <ostream>   // std::ostream
#include <string>    // std::string
#include <vector>    // std::vector

#include "VexlorDxfContours.h"
#include "point.h"
#include "polyline.h"

namespace Vexlor::DxfTool {

/// The reader's bounding box: (minimum x, minimum y) and (maximum x, maximum y).
struct Box {
    Vexlor::Math::point<double, 2> leftTop;
    Vexlor::Math::point<double, 2> rightBottom;
};

/// Writes one JSON object: {"file": name, "result": code (null when the import gave none, such as
/// the polyline reader's number that is out of range), "error": why the drawing could not be
/// imported (null when it was), "crossing": whether the code is 4 (contours cross), "box":
/// {"left_top": [x, y], "right_bottom": [x, y]} or null, "polylines":
/// [{"closed": bool, "points": [[x, y], ...]},
/// ...]}, one polyline per line. Every number is written with the fewest digits that read back
/// to the same double (-0.0 keeps its sign); a value that is not finite is written as null,
/// which JSON leaves no other way to hold. `file` and `error` must be valid UTF-8. With `accurate`
/// (an accurate import, whose contours' polylines are `polylines`), each polyline also has "layer",
/// "entity" and "handle", and a "report" object comes before the polylines: {"units": the
/// drawing's $INSUNITS, "scale": the factor that took its coordinates to the units asked for (1.0
/// without conversion), "tolerance": the chord tolerance used, "skipped": {kind: count, ...},
/// "approximations": {what: count, ...}}.
void WriteImportJson(std::ostream& out, const std::string& file, std::optional<int> result,
                     const std::string& error, const std::optional<Box>& box,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& polylines,
                     const Vexlor::Dxf::ContourImport* accurate = nullptr);

}  // namespace Vexlor::DxfTool
