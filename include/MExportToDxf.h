// The exporter that writes an SDK triangle mesh, placed by a 4x4 transform, as a DXF file.
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>  // std::shared_ptr
#include <string>  // std::wstring

#include "IProgressDelegate.h"
#include "MStlBase.h"
#include "VexlorDxfExport.h"
#include "matrix4x4.h"

/// Writes one triangle mesh to an ASCII DXF file (version AC1009) holding one 3DFACE entity per
/// triangle, in the mesh's order. Every vertex is placed with the transform and then divided by
/// the SDK's internal unit (`Vexlor::Common::MInternalUnits::Get()`), so a translation in the
/// transform is given in internal units. The mesh is borrowed: it must stay alive until
/// `Operate` returns.
class VEXLOR_DXF_API MExportToDxf {
public:
    /// The result of `Operate`.
    enum ERCode : int {
        /// The file was written completely, with at least one face.
        eOk = 0,
        /// No mesh is set; no file was opened or created.
        eNoMesh = 1,
        /// The file could not be opened for writing.
        eOpenError = 2,
        /// The stream failed while the file was written (the partial file stays), or the mesh
        /// has no triangles (the file is then complete, with an empty entities section). The
        /// file is flushed before the last check, so a full disk is reported however small
        /// the mesh.
        eWriteError = 3,
        /// The progress delegate asked to stop. The faces written so far stay in the file,
        /// which has no closing lines.
        eCancelled = 4,
    };

    /// No file name, no mesh, the identity transform.
    MExportToDxf();
    /// Copies the file name, the mesh pointer (not the mesh) and the transform.
    MExportToDxf(const MExportToDxf& other);
    /// Takes the file name over, leaving `other`'s empty; copies the mesh pointer and transform.
    MExportToDxf(MExportToDxf&& other) noexcept;
    MExportToDxf& operator=(const MExportToDxf& other);
    /// As the move constructor; assigning an exporter to itself changes nothing.
    MExportToDxf& operator=(MExportToDxf&& other) noexcept;
    ~MExportToDxf();

    /// The path of the file to create or overwrite (on POSIX systems encoded as UTF-8, one code
    /// point per wide character).
    void SetExportFileName(const std::wstring& fileName);
    /// Borrows `mesh` (null is stored as it is) and copies `transform`, which places every
    /// vertex: x' = m0 x + m4 y + m8 z + m12, and likewise for y' and z'.
    void SetExportStl(const MStlBase* mesh, const Vexlor::Math::matrix4x4<double>& transform);

    /// Writes the mesh to the file, replacing what the file held. Progress goes to `delegate`
    /// (null allowed) under the name "DFX export", one step per face; when it asks to stop,
    /// the export stops after the face in hand. The delegate is released before returning.
    ERCode Operate(std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate);

private:
    std::wstring m_exportFileName;
    const MStlBase* m_stl = nullptr;
    Vexlor::Math::matrix4x4<double> m_transform = Vexlor::Math::matrix4x4<double>::identity();
};
