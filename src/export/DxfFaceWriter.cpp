// Writing of the DXF face file shared by the mesh and the part-record exporters.
// SPDX-License-Identifier: MIT
#include "DxfFaceWriter.h"

#include <cstring>           // std::memcpy
#include <initializer_list>  // the line lists

#include "export/FixedFormat.h"

namespace Vexlor::DxfExport {

namespace {

// Every line ends with this string, never std::endl: no flush per line, and a stream opened in
// text mode translates it to the platform's line end.
const char kLineFeed[] = "\n";

void WriteLine(std::ostream& stream, const char* text) { stream << text << kLineFeed; }

// One coordinate group into `out`: the code line (" 1", " 2" or " 3" directly followed by the
// corner index, so 10 ... 33 with one leading blank), then the value with six decimals.
char* AppendCoordinate(char* out, char axis, int corner, double value) {
    *out++ = ' ';
    *out++ = axis;
    *out++ = static_cast<char>('0' + corner);
    *out++ = kLineFeed[0];
    out += FormatFixed6(value, out);
    *out++ = kLineFeed[0];
    return out;
}

char* AppendCorner(char* out, int corner, const Vexlor::Math::point<double, 3>& point) {
    out = AppendCoordinate(out, '1', corner, point.x);
    out = AppendCoordinate(out, '2', corner, point.y);
    return AppendCoordinate(out, '3', corner, point.z);
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
    // The face is put together in one buffer and handed to the stream at once: formatting
    // each number through the stream costs several times more.
    constexpr char kHead[] = " 0\n3DFACE\n 8\n0\n";
    char buffer[sizeof kHead + 12 * (kFixedTextCapacity + 6)];
    std::memcpy(buffer, kHead, sizeof kHead - 1);
    char* out = buffer + sizeof kHead - 1;
    out = AppendCorner(out, 0, a);
    out = AppendCorner(out, 1, b);
    out = AppendCorner(out, 2, c);
    out = AppendCorner(out, 3, c);
    stream.write(buffer, out - buffer);
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
