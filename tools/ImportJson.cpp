// Writing of the JSON record of one import with nlohmann-json's exact number output.
// SPDX-License-Identifier: MIT
#include "ImportJson.h"

#include <nlohmann/json.hpp>

namespace Vexlor::DxfTool {

namespace {

nlohmann::json Pair(const Vexlor::Math::point<double, 2>& p) { return {p.x, p.y}; }

}  // namespace

void WriteImportJson(std::ostream& out, const std::string& file, int result,
                     const std::optional<Box>& box,
                     const std::vector<Vexlor::Math::polyline<double, 2>>& polylines) {
    nlohmann::json boxJson = nullptr;
    if (box) {
        boxJson = {{"left_top", Pair(box->leftTop)}, {"right_bottom", Pair(box->rightBottom)}};
    }
    // The envelope is written by hand so that each polyline gets a line of its own; every
    // value in it still goes through the library's serializer.
    // Crossing contours (result 4) are an import that succeeded, and a flag lets a reader tell
    // that without knowing the result codes.
    out << "{\"file\": " << nlohmann::json(file).dump() << ", \"result\": " << result
        << ", \"crossing\": " << (result == 4 ? "true" : "false") << ", \"box\": " << boxJson.dump()
        << ", \"polylines\": [";
    const char* separator = "\n";
    for (const Vexlor::Math::polyline<double, 2>& polyline : polylines) {
        nlohmann::json points = nlohmann::json::array();
        for (const Vexlor::Math::point<double, 2>& p : polyline.points) points.push_back(Pair(p));
        out << separator << nlohmann::json{{"closed", polyline.closed}, {"points", points}}.dump();
        separator = ",\n";
    }
    out << (polylines.empty() ? "]}\n" : "\n]}\n");
}

}  // namespace Vexlor::DxfTool
