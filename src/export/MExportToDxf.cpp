// The mesh exporter: set-up, copy and move, and writing an SDK mesh as DXF faces.
// SPDX-License-Identifier: MIT
#include "MExportToDxf.h"

#include <cstddef>  // std::size_t
#include <utility>  // std::move

#include "DxfFaceWriter.h"
#include "MInternalUnits.h"

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
    MStlIteratorStlTriangleConst triangle = m_stl->BeginTriangle();
    const MStlIteratorStlTriangleConst end = m_stl->EndTriangle();
    // An empty mesh still gets a complete file, but it is reported as a failed export.
    const bool empty = !(triangle != end);
    const auto nextFace = [&](Vexlor::DxfExport::Corners& corners) {
        // Only !=, -> and ++ of the mesh library's iterator are used.
        if (!(triangle != end)) return false;
        const MStlTriangle* face = triangle.operator->();
        for (std::size_t i = 0; i < 3; ++i) corners[i] = MeshCorner(m_transform, (*face)[i]);
        ++triangle;
        return true;
    };
    // The delegate is handed over and released with the call, before this function returns.
    const ERCode result = Vexlor::DxfExport::ResultOf<ERCode>(Vexlor::DxfExport::WriteFaceFile(
        m_exportFileName, m_stl->NumberOfTriangles(), std::move(delegate), nextFace));
    return result == eOk && empty ? eWriteError : result;
}
