// Writing of the DXF face file shared by the mesh and the part-record exporters.
// SPDX-License-Identifier: MIT
#include "DxfFaceWriter.h"

#include <initializer_list>  // the line lists
#include <ios>               // std::fixed

namespace Vexlor::DxfExport {

namespace {

// Every line ends with this string, never std::endl: no flush per line, and a stream opened in
// text mode translates it to the platform's line end.
const char kLineFeed[] = "\n";

void WriteLine(std::ostream& stream, const char* text) { stream << text << kLineFeed; }

// One coordinate group: the code line (" 1", " 2" or " 3" directly followed by the corner index,
// so 10 ... 33 with one leading blank), then the value in fixed notation.
void WriteCoordinate(std::ostream& stream, const char* axisCode, int corner, double value) {
    stream << axisCode << corner << kLineFeed;
    stream << std::fixed << value << kLineFeed;
}

void WriteCorner(std::ostream& stream, int corner, const Vexlor::Math::point<double, 3>& point) {
    WriteCoordinate(stream, " 1", corner, point.x);
    WriteCoordinate(stream, " 2", corner, point.y);
    WriteCoordinate(stream, " 3", corner, point.z);
}

}  // namespace

void WritePreamble(std::ostream& stream) {
    for (const char* line : {" 0", "SECTION", " 2", "HEADER", " 9", "$ACADVER", " 1", "AC1009",
                             " 0", "ENDSEC", " 0", "SECTION", " 2", "ENTITIES"}) {
        WriteLine(stream, line);
    }
}

void WriteFace(std::ostream& stream, const Vexlor::Math::point<double, 3>& a,
               const Vexlor::Math::point<double, 3>& b, const Vexlor::Math::point<double, 3>& c) {
    WriteLine(stream, " 0");
    WriteLine(stream, "3DFACE");
    WriteLine(stream, " 8");
    WriteLine(stream, "0");
    WriteCorner(stream, 0, a);
    WriteCorner(stream, 1, b);
    WriteCorner(stream, 2, c);
    WriteCorner(stream, 3, c);
}

void WriteClosing(std::ostream& stream) {
    for (const char* line : {" 0", "ENDSEC", " 0", "EOF"}) WriteLine(stream, line);
}

Vexlor::Math::point<double, 3> TransformCorner(const Vexlor::Math::matrix4x4<double>& transform,
                                               const Vexlor::Math::point<double, 3>& vertex) {
    const double* m = transform.m;
    return {m[0] * vertex.x + m[4] * vertex.y + m[8] * vertex.z + m[12],
            m[1] * vertex.x + m[5] * vertex.y + m[9] * vertex.z + m[13],
            m[2] * vertex.x + m[6] * vertex.y + m[10] * vertex.z + m[14]};
}

Vexlor::Common::IncrementalProgressReporter CreateFaceProgress(
    const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate, std::size_t faceCount) {
    // Hosts recognise the export's progress by this name, spelling included; keep it as it is.
    return Vexlor::Common::IncrementalProgressReporter(delegate, "DFX export", faceCount, true);
}

}  // namespace Vexlor::DxfExport
