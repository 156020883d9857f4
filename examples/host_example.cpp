// A host of the library: imports a drawing's contours in their true geometry, then exports a
// triangle record as DXF.
// SPDX-License-Identifier: MIT
#include <cstdio>  // std::printf, std::fprintf
#include <string>  // std::wstring

#include "ExportToDxf.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfPath.h"

namespace {

int Run(const std::wstring& drawing, const std::wstring& output) {
    // Import: ASCII or binary DXF, curves within a chord tolerance, blocks placed by their
    // INSERTs, double precision, y up. Every outcome is a result; the options have defaults.
    Vexlor::Dxf::ContourOptions options;
    const Vexlor::Dxf::ContourImport import = Vexlor::Dxf::ImportContours(drawing, options);
    if (import.result == Vexlor::Dxf::EContourResult::eOpenError ||
        import.result == Vexlor::Dxf::EContourResult::eReadError) {
        std::fprintf(stderr, "%s\n", import.error.c_str());  // why, with the line and the entity
        return static_cast<int>(import.result);
    }
    for (const Vexlor::Dxf::Contour& contour : import.contours) {
        std::printf("%s contour of %zu points: %s on layer %s\n",
                    contour.polyline.closed ? "closed" : "open", contour.polyline.points.size(),
                    contour.entity.c_str(), contour.layer.c_str());
    }
    std::printf("box (%g, %g) to (%g, %g)\n", import.minimum.x, import.minimum.y, import.maximum.x,
                import.maximum.y);
    for (const auto& [what, count] : import.skipped)
        std::printf("left out: %zu %s\n", count, what.c_str());
    if (import.result != Vexlor::Dxf::EContourResult::eOk) {
        return static_cast<int>(import.result);  // 3 no contours, 4 contours cross
    }

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
