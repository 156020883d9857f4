// The mesh exporter: set-up, copy and move, and writing an SDK mesh as DXF faces.
// SPDX-License-Identifier: MIT
#include "MExportToDxf.h"

#include <cstddef>  // std::size_t
#include <fstream>  // std::ofstream
#include <utility>  // std::move
#include <vector>   // std::vector

#include "DxfFaceWriter.h"
#include "MInternalUnits.h"
#include "WideFileStream.h"

namespace {

// A mesh vertex in internal units, placed by the transform and divided by the internal unit,
// which is read anew for every corner.
Vexlor::Math::point<double, 3> MeshCorner(const Vexlor::Math::matrix4x4<double>& transform,
                                          const MStlVertex& vertex) {
    const Vexlor::Math::point<double, 3> placed = Vexlor::DxfExport::TransformCorner(
        transform, {static_cast<double>(vertex.x), static_cast<double>(vertex.y),
                    static_cast<double>(vertex.z)});
    const double unit = Vexlor::Common::MInternalUnits::Get();
    return {placed.x / unit, placed.y / unit, placed.z / unit};
}

}  // namespace

MExportToDxf::MExportToDxf() = default;

MExportToDxf::MExportToDxf(const MExportToDxf& other) = default;

MExportToDxf::MExportToDxf(MExportToDxf&& other) noexcept
    : m_exportFileName(std::move(other.m_exportFileName)),
      m_stl(other.m_stl),
      m_transform(other.m_transform) {
    // A moved string is only "valid but unspecified"; callers rely on the name being empty.
    other.m_exportFileName.clear();
}

MExportToDxf& MExportToDxf::operator=(const MExportToDxf& other) = default;

MExportToDxf& MExportToDxf::operator=(MExportToDxf&& other) noexcept {
    if (this != &other) {
        m_exportFileName = std::move(other.m_exportFileName);
        other.m_exportFileName.clear();
        m_stl = other.m_stl;
        m_transform = other.m_transform;
    }
    return *this;
}

MExportToDxf::~MExportToDxf() = default;

void MExportToDxf::SetExportFileName(const std::wstring& fileName) { m_exportFileName = fileName; }

void MExportToDxf::SetExportStl(const MStlBase* mesh,
                                const Vexlor::Math::matrix4x4<double>& transform) {
    m_stl = mesh;
    m_transform = transform;
}

MExportToDxf::ERCode MExportToDxf::Operate(
    std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    if (m_stl == nullptr) {
        delegate.reset();
        return eNoMesh;
    }
    // A larger buffer than the library default: a mesh file runs to hundreds of megabytes.
    std::vector<char> fileBuffer(Vexlor::DxfExport::kFileBufferSize);
    std::ofstream stream;
    stream.rdbuf()->pubsetbuf(fileBuffer.data(), static_cast<std::streamsize>(fileBuffer.size()));
    Vexlor::Platform::OpenByWidePath(stream, m_exportFileName, std::ios::out);
    if (!stream.is_open()) {
        delegate.reset();
        return eOpenError;
    }
    const ERCode result = _WriteData(stream, delegate);
    stream.close();
    delegate.reset();
    return result;
}

MExportToDxf::ERCode MExportToDxf::_WriteData(
    std::ofstream& stream, std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    Vexlor::DxfExport::WritePreamble(stream);

    MStlIteratorStlTriangleConst triangle = m_stl->BeginTriangle();
    const MStlIteratorStlTriangleConst end = m_stl->EndTriangle();
    // A local of this function, so the reporter is gone before Operate closes the stream.
    Vexlor::Common::IncrementalProgressReporter reporter =
        Vexlor::DxfExport::CreateFaceProgress(delegate, m_stl->NumberOfTriangles());

    std::size_t facesWritten = 0;
    while (triangle != end) {
        // Only !=, -> and ++ of the mesh library's iterator are used.
        const MStlTriangle* face = triangle.operator->();
        const Vexlor::Math::point<double, 3> a = MeshCorner(m_transform, (*face)[0]);
        const Vexlor::Math::point<double, 3> b = MeshCorner(m_transform, (*face)[1]);
        const Vexlor::Math::point<double, 3> c = MeshCorner(m_transform, (*face)[2]);
        Vexlor::DxfExport::WriteFace(stream, a, b, c);
        if (stream.fail()) return eWriteError;
        ++facesWritten;
        ++triangle;
        ++reporter;
        // Cancelling leaves the file without its closing lines, as far as it was written.
        if (reporter.IsCancelled()) return eCancelled;
    }

    Vexlor::DxfExport::WriteClosing(stream);
    reporter = reporter.GetMaxValue();
    // Flushed first, so that a write failure still in the buffer is seen here and not lost.
    stream.flush();
    if (stream.fail()) return eWriteError;
    // An empty mesh still gets a complete file, but it is reported as a failed export.
    return facesWritten == 0 ? eWriteError : eOk;
}
