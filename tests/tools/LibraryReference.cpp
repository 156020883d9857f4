// What the library itself gives, for the end-to-end tests to hold the tool's output against.
// SPDX-License-Identifier: MIT
#include <cstdio>      // std::printf
#include <filesystem>  // std::filesystem::path
#include <iostream>    // std::cin
#include <string>      // std::string
#include <vector>      // std::vector

#include "ExportToDxf.h"
#include "MStlBaseOperatorDXFPolylineReader.h"

// "reference DRAWING.dxf" prints the import's result, box and polylines as a Python literal shaped
// like the tool's JSON record without "file"; %#.17g gives every double back exactly, -0.0 too.
// "reference export OUT.dxf" exports the vertices "X Y Z" read from stdin, three to a triangle.
// tool_test.py calls it in these two ways only.
int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "export") {
        ExportToDxf::PartData part;
        for (double x, y, z; std::cin >> x >> y >> z;) part.vertices.push_back({x, y, z});
        for (std::size_t n = 3; n <= part.vertices.size(); n += 3)
            part.triangles.push_back({n - 3, n - 2, n - 1});
        return ExportToDxf::Operate(std::filesystem::path(argv[2]).wstring(), part, nullptr);
    }
    std::vector<MStlBaseOperatorDXFPolylineReader::Polyline> polylines;
    MStlBaseOperatorDXFPolylineReader reader(polylines);
    const int result = reader.Import(std::filesystem::path(argv[1]).wstring());
    const auto lt = reader.GetLeftTopPoint(), rb = reader.GetRightBottomPoint();
    std::printf("{'result': %d, 'box': {'left_top': [%#.17g, %#.17g], ", result, lt.x, lt.y);
    std::printf("'right_bottom': [%#.17g, %#.17g]}, 'polylines': [", rb.x, rb.y);
    for (const auto& polyline : polylines) {
        std::printf("{'closed': %s, 'points': [", polyline.closed ? "True" : "False");
        for (const auto& p : polyline.points) std::printf("[%#.17g, %#.17g], ", p.x, p.y);
        std::printf("]}, ");
    }
    std::printf("]}\n");
}
