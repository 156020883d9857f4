// Export of a plain indexed triangle record (no SDK mesh classes) as a DXF file.
// SPDX-License-Identifier: MIT
#pragma once

#include <array>    // std::array
#include <cstddef>  // std::size_t
#include <memory>   // std::shared_ptr
#include <string>   // std::wstring
#include <vector>   // std::vector

#include "IProgressDelegate.h"
#include "VexlorDxfExport.h"
#include "matrix4x4.h"
#include "point.h"

namespace ExportToDxf {

/// A triangle mesh as plain data.
struct PartData {
    /// Vertex positions, written as they are placed by `transform` (no unit division).
    std::vector<Vexlor::Math::point<double, 3>> vertices;
    /// One face per triple of indices into `vertices`, in order.
    std::vector<std::array<std::size_t, 3>> triangles;
    /// Placement of every vertex: x' = m0 x + m4 y + m8 z + m12, and likewise for y' and z'.
    Vexlor::Math::matrix4x4<double> transform = Vexlor::Math::matrix4x4<double>::identity();
};

/// The result of `Operate`.
enum ReturnCode : int {
    /// The file was written completely.
    eOk = 0,
    /// The file could not be opened for writing.
    eOpenError = 2,
    /// The record has no triangles, or an index outside `vertices`: nothing was opened or
    /// written. Or a write failed, including the last flush when the file was closed: the
    /// partial file stays.
    eWriteError = 3,
    /// The progress delegate asked to stop. The faces written so far stay in the file, which
    /// has no closing lines.
    eCancelled = 4,
};

/// Writes `part` to the file `fileName` (created or overwritten; on POSIX systems the path is
/// encoded as UTF-8, one code point per wide character) as an ASCII DXF file (version AC1009)
/// with one 3DFACE entity per triangle. A record without triangles, or with a vertex index not
/// below `vertices.size()`, is rejected with `eWriteError` before the file is touched. Progress
/// goes to `delegate` (null allowed) under the name "DFX export", one step per face; when it
/// asks to stop, the export stops after the face in hand. The record is only read, and the
/// delegate is released before returning.
VEXLOR_DXF_API ReturnCode Operate(const std::wstring& fileName, const PartData& part,
                                  std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate);

}  // namespace ExportToDxf
