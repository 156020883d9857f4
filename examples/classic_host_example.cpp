// A host of the library: imports a drawing's contours, then exports a triangle record as DXF.
// SPDX-License-Identifier: MIT
#include <cstdio>     // std::printf
#include <stdexcept>  // std::invalid_argument, std::out_of_range
#include <string>     // std::wstring
#include <vector>     // std::vector

#include "ExportToDxf.h"
#include "MStlBaseOperatorDXFPolylineReader.h"
#include "VexlorDxfPath.h"

namespace {

int Run(const std::wstring& drawing, const std::wstring& output) {
    // Import: the reader appends to a vector the host owns; y points down in the result.
    std::vector<MStlBaseOperatorDXFPolylineReader::Polyline> contours;
    MStlBaseOperatorDXFPolylineReader reader(contours);
    CDXFReader::EReturnCode result = CDXFReader::eOk;
    try {
        result = reader.Import(drawing);
    } catch (const std::invalid_argument& e) {  // a coordinate that is not a number
        std::fprintf(stderr, "bad number: %s\n", e.what());
        return 65;
    } catch (const std::out_of_range& e) {  // a coordinate beyond float range
        std::fprintf(stderr, "number out of range: %s\n", e.what());
        return 65;
    }
    if (result != CDXFReader::eOk) return result;  // 1 to 4: see CDXFReader::EReturnCode
    for (const auto& contour : contours) {
        std::printf("%s contour of %zu points\n", contour.closed ? "closed" : "open",
                    contour.points.size());
    }
    const auto leftTop = reader.GetLeftTopPoint();
    const auto rightBottom = reader.GetRightBottomPoint();
    std::printf("box (%g, %g) to (%g, %g)\n", leftTop.x, leftTop.y, rightBottom.x, rightBottom.y);

    // Export: a plain record of vertices and index triples; no progress delegate.
    ExportToDxf::PartData part;
    part.vertices = {{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {0, 0, 10}};
    part.triangles = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    return ExportToDxf::Operate(output, part, nullptr);  // 0 when the file was written
}

int Usage() {
    std::fprintf(stderr, "usage: host_example DRAWING.dxf OUT.dxf\n");
    return 64;
}

}  // namespace

#if defined(_WIN32)
// Windows hands main its arguments in the ANSI code page, which cannot hold most names; wmain
// has them as the system keeps them, UTF-16, which is what the library's paths are there.
// (MinGW-w64 links a wmain program with -municode.)
int wmain(int argc, wchar_t** argv) { return argc == 3 ? Run(argv[1], argv[2]) : Usage(); }
#else
// On POSIX systems the arguments are UTF-8 bytes, decoded into the wide paths as the library
// encodes them back; a name that is not UTF-8 is refused at opening (result 2), not misread.
int main(int argc, char** argv) {
    if (argc != 3) return Usage();
    return Run(Vexlor::Dxf::WidePath(argv[1]), Vexlor::Dxf::WidePath(argv[2]));
}
#endif
