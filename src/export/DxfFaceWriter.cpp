// Writing of the DXF face file shared by the mesh and the part-record exporters.
// SPDX-License-Identifier: MIT
#include "DxfFaceWriter.h"

#include <cstring>           // std::memcpy
#include <initializer_list>  // the line lists

#include "WideFileStream.h"
#include "export/FixedFormat.h"

namespace Vexlor::DxfExport {

namespace {

// Every line ends with this string, never std::endl: no flush per line, and a stream opened in
// text mode translates it to the platform's line end.
const char kLineFeed[] = "\n";

// A larger buffer than the library default: a mesh file runs to hundreds of megabytes.
constexpr std::size_t kFileBufferSize = 1 << 18;

void WriteLines(std::ostream& stream, std::initializer_list<const char*> lines) {
    for (const char* line : lines) stream << line << kLineFeed;
}

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

Vexlor::Math::point<double, 3> TransformCorner(const Vexlor::Math::matrix4x4<double>& transform,
                                               const Vexlor::Math::point<double, 3>& vertex) {
    const double* m = transform.m;
    return {m[0] * vertex.x + m[4] * vertex.y + m[8] * vertex.z + m[12],
            m[1] * vertex.x + m[5] * vertex.y + m[9] * vertex.z + m[13],
            m[2] * vertex.x + m[6] * vertex.y + m[10] * vertex.z + m[14]};
}

FaceFile::FaceFile(const std::wstring& fileName,
                   const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate,
                   std::size_t faceCount)
    : m_buffer(kFileBufferSize) {
    m_stream.rdbuf()->pubsetbuf(m_buffer.data(), static_cast<std::streamsize>(m_buffer.size()));
    Vexlor::Platform::OpenByWidePath(m_stream, fileName, std::ios::out);
    if (!m_stream.is_open()) return;
    // A header that declares nothing but the drawing version, then the entities section opens.
    WriteLines(m_stream, {" 0", "SECTION", " 2", "HEADER", " 9", "$ACADVER", " 1", "AC1009", " 0",
                          "ENDSEC", " 0", "SECTION", " 2", "ENTITIES"});
    // Hosts recognise the export's progress by this name, spelling included; keep it as it is.
    m_reporter.emplace(delegate, "DFX export", faceCount, true);
}

FaceFileOutcome FaceFile::AddFace(const Corners& corners) {
    // One 3DFACE on layer "0"; its fourth corner repeats the third, which is how a triangle is
    // written as a face. It is put together in one buffer and handed to the stream at once:
    // formatting each number through the stream costs several times more. The numbers never
    // depend on the stream's or the process's locale: a DXF file always uses a point.
    constexpr char kHead[] = " 0\n3DFACE\n 8\n0\n";
    char buffer[sizeof kHead + 12 * (kFixedTextCapacity + 6)];
    std::memcpy(buffer, kHead, sizeof kHead - 1);
    char* out = buffer + sizeof kHead - 1;
    for (int corner = 0; corner < 4; ++corner) {
        out = AppendCorner(out, corner, corners[corner < 3 ? corner : 2]);
    }
    m_stream.write(buffer, out - buffer);
    if (m_stream.fail()) return FaceFileOutcome::kWriteFailed;
    ++*m_reporter;
    // Cancelling leaves the file without its closing lines, as far as it was written.
    return m_reporter->IsCancelled() ? FaceFileOutcome::kCancelled : FaceFileOutcome::kWritten;
}

FaceFileOutcome FaceFile::Finish() {
    WriteLines(m_stream, {" 0", "ENDSEC", " 0", "EOF"});
    *m_reporter = m_reporter->GetMaxValue();
    m_reporter.reset();
    // close() writes out the buffer and then closes the file; either failing sets the fail
    // state, so a full disk or a failed close is seen even after the last face was accepted.
    m_stream.close();
    return m_stream.fail() ? FaceFileOutcome::kWriteFailed : FaceFileOutcome::kWritten;
}

}  // namespace Vexlor::DxfExport
