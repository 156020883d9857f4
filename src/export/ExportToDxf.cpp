// The part-record exporter: a plain indexed triangle record written as DXF faces.
// SPDX-License-Identifier: MIT
#include "ExportToDxf.h"

#include <utility>  // std::move

#include "DxfFaceWriter.h"

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

}  // namespace

ReturnCode Operate(const std::wstring& fileName, const PartData& part,
                   std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate) {
    // Rejected records leave any existing file of that name as it was.
    if (part.triangles.empty() || !IndicesInRange(part)) {
        delegate.reset();
        return eWriteError;
    }
    auto triangle = part.triangles.begin();
    const auto nextFace = [&](Vexlor::DxfExport::Corners& corners) {
        if (triangle == part.triangles.end()) return false;
        // Record coordinates are already in output units: no unit division here.
        for (std::size_t i = 0; i < 3; ++i) {
            corners[i] =
                Vexlor::DxfExport::TransformCorner(part.transform, part.vertices[(*triangle)[i]]);
        }
        ++triangle;
        return true;
    };
    // The delegate is handed over and released with the call, before this function returns.
    return Vexlor::DxfExport::ResultOf<ReturnCode>(Vexlor::DxfExport::WriteFaceFile(
        fileName, part.triangles.size(), std::move(delegate), nextFace));
}

}  // namespace ExportToDxf
