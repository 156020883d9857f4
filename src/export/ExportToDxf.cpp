// The part-record exporter: a plain indexed triangle record written as DXF faces.
// SPDX-License-Identifier: MIT
#include "ExportToDxf.h"

#include <fstream>  // std::ofstream
#include <vector>   // std::vector

#include "DxfFaceWriter.h"
#include "WideFileStream.h"

namespace ExportToDxf {

namespace {

bool IndicesInRange(const PartData& part) {
    for (const std::array<std::size_t, 3>& triangle : part.triangles) {
        for (const std::size_t index : triangle) {
            if (index >= part.vertices.size()) return false;
        }
    }
    return true;
}

// Writes the whole file to the open `stream`. The reporter lives only here, so it is gone
// before the caller closes the stream.
ReturnCode WriteFaces(std::ofstream& stream, const PartData& part,
                      const std::shared_ptr<Vexlor::Common::IProgressDelegate>& delegate) {
    Vexlor::DxfExport::WritePreamble(stream);
    Vexlor::Common::IncrementalProgressReporter reporter =
        Vexlor::DxfExport::CreateFaceProgress(delegate, part.triangles.size());

    for (const std::array<std::size_t, 3>& triangle : part.triangles) {
        // Record coordinates are already in output units: no unit division here.
        const Vexlor::Math::point<double, 3> a =
            Vexlor::DxfExport::TransformCorner(part.transform, part.vertices[triangle[0]]);
        const Vexlor::Math::point<double, 3> b =
            Vexlor::DxfExport::TransformCorner(part.transform, part.vertices[triangle[1]]);
        const Vexlor::Math::point<double, 3> c =
            Vexlor::DxfExport::TransformCorner(part.transform, part.vertices[triangle[2]]);
        Vexlor::DxfExport::WriteFace(stream, a, b, c);
        if (stream.fail()) return eWriteError;
        ++reporter;
        // Cancelling leaves the file without its closing lines, as far as it was written.
        if (reporter.IsCancelled()) return eCancelled;
    }

    Vexlor::DxfExport::WriteClosing(stream);
    reporter = reporter.GetMaxValue();
    return eOk;
}

}  // namespace

ReturnCode Operate(const std::wstring& fileName, const PartData& part,
                   std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    // Rejected records leave any existing file of that name as it was.
    if (part.triangles.empty() || !IndicesInRange(part)) {
        delegate.reset();
        return eWriteError;
    }
    // A larger buffer than the library default: a mesh file runs to hundreds of megabytes.
    std::vector<char> fileBuffer(Vexlor::DxfExport::kFileBufferSize);
    std::ofstream stream;
    stream.rdbuf()->pubsetbuf(fileBuffer.data(), static_cast<std::streamsize>(fileBuffer.size()));
    Vexlor::Platform::OpenByWidePath(stream, fileName, std::ios::out);
    if (!stream.is_open()) {
        delegate.reset();
        return eOpenError;
    }
    const ReturnCode result = WriteFaces(stream, part, delegate);
    // close() flushes the last buffered bytes, so the fail state is tested after it.
    stream.close();
    delegate.reset();
    if (result != eOk) return result;
    return stream.fail() ? eWriteError : eOk;
}

}  // namespace ExportToDxf
