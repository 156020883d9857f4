// The writers: contours out as a clean DXF drawing, and triangle meshes as CAD programs prefer
// them. SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>     // std::size_t
#include <filesystem>  // std::filesystem::path
#include <memory>      // std::shared_ptr
#include <ostream>     // std::ostream
#include <string>      // std::string, std::wstring
#include <utility>     // std::move
#include <vector>      // std::vector

#include "ExportToDxf.h"
#include "IProgressDelegate.h"
#include "VexlorDxfContours.h"
#include "VexlorDxfExport.h"

namespace Vexlor::Dxf {

/// The DXF version a writer writes.
enum class EDxfVersion : int {
    /// AutoCAD 2000 (AC1015): contours as LWPOLYLINEs, every table and object with its handle
    /// and owner; what current CAD programs read best.
    eR2000 = 0,
    /// Release 12 (AC1009): contours as POLYLINEs with their VERTEX and SEQEND, for old readers
    /// and the machines of some cutters.
    eR12 = 1
};

/// How a write ended.
enum class EWriteResult : int {
    eOk = 0,            ///< the drawing was written completely
    eInvalidInput = 1,  ///< refused before anything was written: `WriteResult::error` says why
    eOpenError = 2,     ///< the file (or its temporary file beside it) cannot be created
    eWriteError = 3,    ///< a write, the last flush or the final rename failed
    eCancelled = 4      ///< the progress delegate asked to stop
};

/// What a writer gives back.
struct WriteResult {
    EWriteResult result = EWriteResult::eOk;
    /// For eInvalidInput: what is wrong and where, such as
    /// "contour 3: point 7 is not finite"; for eOpenError and eWriteError the system's reason
    /// where there is one; empty for eOk and eCancelled.
    std::string error;
};

/// How WriteContours writes.
struct ContourWriteOptions {
    EDxfVersion version = EDxfVersion::eR2000;
    /// The drawing's units as an $INSUNITS code (4 millimetres, 1 inches, 6 metres, ...; see
    /// VexlorDxfUnits.h); 0 (the default) for unitless. Coordinates are written as they are:
    /// nothing is converted. A code that names no unit throws std::invalid_argument.
    int units = 0;
    /// Whether the contours are y down, as ImportContours gives them with its `yDown`: y is then
    /// negated on writing, so that the drawing is y up as CAD programs show it and importing it
    /// again with `yDown` gives the same points.
    bool yDown = false;
};

/// Writes `contours` as a DXF drawing of their polylines, in their order: LWPOLYLINEs (R2000)
/// or POLYLINEs (R12), closed where `polyline.closed` says so, each on its contour's layer (an
/// empty layer is layer "0"). The LAYER table holds layer "0" and every layer named, once for
/// names that differ only in the case of their letters of ASCII or U+00C0 to U+00DE (DXF
/// readers compare layer names so): each entity keeps its own spelling. The header names the
/// version, the code page (ANSI_1252), `$INSUNITS`, and `$EXTMIN`/`$EXTMAX`, the box of all
/// points as written (zero when there is none). Every table entry, block and entity has a
/// handle of its own; the contours' own `handle` and `entity` are not written. Coordinates are
/// written with the fewest digits that read back to the same double (std::to_chars), so a
/// reader that rounds correctly gets every bit back. Lines end in LF on every system. Layer
/// names are written in code page ANSI_1252, which the header names: ASCII and U+00A0 to U+00FF
/// as their bytes, every other character as a "\U+XXXX" escape, which CAD programs decode
/// (ezdxf only in its recovering reader, ezdxf.recover).
///
/// Refused, with eInvalidInput before anything is written: a coordinate that is not finite, a
/// contour of fewer than 2 points, and a layer name a DXF cannot hold: one that is not UTF-8,
/// longer than 255 characters, with a control character or one of < > / \ " : ; ? * | = `, with
/// a blank at its start or end (readers drop those), or with a character beyond U+FFFF (an
/// escape has four hex digits).
///
/// The round trip: ImportContours of the written file, with `link` as the contours were
/// imported with (or false), `linkingDistance` the distance that import used
/// (ContourImport::linkingDistance) and `linkWithinTolerance` false, `yDown` as given here, no
/// `units` and every layer, gives the same points bit for bit, the same layers and closed
/// flags, in the same order, whenever the contours are as ImportContours makes them: no point
/// repeats the one before it (nor, for a closed contour, the last the first), a closed
/// contour's last point is not within the linking distance of its first, and no two open
/// contours have ends within it. Contours that break these rules are written as they are, and
/// the import then finishes them as it finishes any drawing.
///
/// Progress goes to `delegate` (null allowed) under the name "DXF contour export", one step per
/// point written, reported after each contour; when it asks to stop, writing stops after the
/// contour in hand with eCancelled.
///
/// The file at `path` is written through a temporary file beside it, renamed over it when
/// complete: whatever ends the write early (refusal, cancel, a full disk) leaves an earlier
/// file exactly as it was and no new file behind. A path that exists but is no regular file (a
/// device, a FIFO) is written directly. Only exhausted memory throws (std::bad_alloc), besides
/// the std::invalid_argument of a unit code.
VEXLOR_DXF_API WriteResult
WriteContours(const std::wstring& path, const std::vector<Contour>& contours,
              const ContourWriteOptions& options = {},
              std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);
VEXLOR_DXF_API WriteResult
WriteContours(const std::filesystem::path& path, const std::vector<Contour>& contours,
              const ContourWriteOptions& options = {},
              std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);
/// A literal such as L"part.dxf" converts to both kinds of path; it is the wide path.
inline WriteResult WriteContours(
    const wchar_t* path, const std::vector<Contour>& contours,
    const ContourWriteOptions& options = {},
    std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr) {
    return WriteContours(std::wstring(path), contours, options, std::move(delegate));
}
/// The same drawing written to `out` (eWriteError when `out` fails; a cancelled or failed write
/// leaves what was written in the stream).
VEXLOR_DXF_API WriteResult
WriteContours(std::ostream& out, const std::vector<Contour>& contours,
              const ContourWriteOptions& options = {},
              std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);

/// How a mesh is written.
enum class EMeshEntity : int {
    /// One POLYFACE mesh (a POLYLINE of flag 64): every vertex once, then one face record of
    /// three vertex numbers per triangle. The format counts vertices and faces in 16 bits, so a
    /// mesh of more than 32767 vertices or faces is written as several polyface meshes on the
    /// same layer, each of at most 32767 of each, cut between triangles in their order; a
    /// vertex used on both sides of a cut is written in both.
    ePolyface = 0,
    /// One 3DFACE per triangle, its fourth corner repeating the third.
    e3DFace = 1
};

/// How WriteMesh writes.
struct MeshWriteOptions {
    EDxfVersion version = EDxfVersion::eR2000;
    EMeshEntity entity = EMeshEntity::ePolyface;
    /// The layer of every entity, created in the LAYER table; the rules of WriteContours'
    /// layer names apply. Empty is layer "0".
    std::string layer = "0";
    /// The $INSUNITS code, as for ContourWriteOptions::units.
    int units = 0;
};

/// Writes the triangles of `part`, placed by its transform (x' = m0 x + m4 y + m8 z + m12, as
/// ExportToDxf::Operate places them, with no unit division), as a DXF drawing of one mesh, in
/// the triangles' order, with `$EXTMIN`/`$EXTMAX` the box of the placed vertices of its
/// triangles. Numbers are written as WriteContours writes them. A polyface mesh writes the
/// vertices that are placed at exactly the same point (bit for bit) once: a mesh read from STL,
/// whose triangles each have corners of their own, shares them. Refused with eInvalidInput
/// before anything is written: no triangle, a vertex index not below `vertices.size()`, a
/// placed vertex of a triangle that is not finite, an invalid layer name. Vertices no triangle
/// uses are not written. Progress goes to `delegate` under the name "DXF mesh export", one step
/// per triangle; a cancel stops after the triangle in hand. The file is replaced as
/// WriteContours replaces it.
VEXLOR_DXF_API WriteResult
WriteMesh(const std::wstring& path, const ExportToDxf::PartData& part,
          const MeshWriteOptions& options = {},
          std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);
VEXLOR_DXF_API WriteResult
WriteMesh(const std::filesystem::path& path, const ExportToDxf::PartData& part,
          const MeshWriteOptions& options = {},
          std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);
inline WriteResult WriteMesh(
    const wchar_t* path, const ExportToDxf::PartData& part, const MeshWriteOptions& options = {},
    std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr) {
    return WriteMesh(std::wstring(path), part, options, std::move(delegate));
}
VEXLOR_DXF_API WriteResult WriteMesh(
    std::ostream& out, const ExportToDxf::PartData& part, const MeshWriteOptions& options = {},
    std::shared_ptr<Vexlor::Common::IProgressDelegate> delegate = nullptr);

/// Why `name` cannot be a layer name of a written drawing (by the rules of WriteContours), or
/// an empty string when it can.
VEXLOR_DXF_API std::string LayerNameProblem(const std::string& name);

}  // namespace Vexlor::Dxf
