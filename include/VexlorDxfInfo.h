// What a drawing holds, told without importing it: its version, units, extent, layers, entity
// kinds and blocks.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>      // std::size_t
#include <filesystem>   // std::filesystem::path
#include <istream>      // std::istream
#include <map>          // std::map
#include <string>       // std::string, std::wstring
#include <string_view>  // std::string_view
#include <vector>       // std::vector

#include "VexlorDxfExport.h"

namespace Vexlor::Dxf {

/// What a binary DXF file begins with: "AutoCAD Binary DXF", CR LF, SUB and NUL (22 bytes). An
/// ASCII drawing never does; the accurate import reads both, the polyline reader ASCII only.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a", 22};

/// The outcome of ReadDrawingInfo; the values are the import's result codes for the same outcome.
enum class EInfoResult : int {
    eOk = 0,         ///< the drawing was read to its end
    eReadError = 1,  ///< it cannot be read to its end: `DrawingInfo::error` says why
    eOpenError = 2   ///< the file or stream cannot be opened: `DrawingInfo::error` says why
};

/// One layer: as the LAYER table lists it, or as entities name it when the table does not.
struct LayerInfo {
    std::string name;          ///< UTF-8, as the table spells it (else the first entity on it)
    bool listed = false;       ///< the LAYER table lists it (the flags below come from there)
    bool frozen = false;       ///< flag 1 of group 70: the accurate import leaves it out by default
    bool off = false;          ///< a negative colour (group 62): left out by default too
    bool locked = false;       ///< flag 4 of group 70: shown, but not to be edited
    std::size_t entities = 0;  ///< entities on it in the model space; an INSERT counts once
};

/// One block definition.
struct BlockInfo {
    std::string name;          ///< UTF-8
    std::size_t entities = 0;  ///< entities its definition holds; an INSERT counts once
    std::size_t inserts = 0;   ///< INSERTs (and MINSERTs) that name it, in the model space and
                               ///< in blocks
};

/// What ReadDrawingInfo gives back. Layer and block names compare without regard to case, as
/// DXF compares them; entities that belong to another (a POLYLINE's VERTEX and SEQEND, an
/// INSERT's ATTRIB) are counted with it, not on their own.
struct DrawingInfo {
    EInfoResult result = EInfoResult::eOpenError;
    /// For eReadError and eOpenError: why, as ContourImport::error says it ("line 12: ...").
    std::string error;
    bool binary = false;   ///< a binary DXF (errors name byte offsets, not lines)
    std::string version;   ///< $ACADVER as written, "AC1027"; empty when the header has none
    std::string release;   ///< the release that `version` names, "R2013"; empty when unknown
    std::string codePage;  ///< $DWGCODEPAGE as written; empty when the header has none
    int units = 0;         ///< $INSUNITS (0: none given, unitless)
    /// $EXTMIN and $EXTMAX as the header gives them (x, y, z): the extent its writer measured,
    /// which it need not have kept up to date. `hasExtent` is false when either is missing or
    /// when the minimum is above the maximum (how writers mark an empty drawing).
    bool hasExtent = false;
    double extentMinimum[3] = {0, 0, 0};
    double extentMaximum[3] = {0, 0, 0};
    /// The layers: those of the LAYER table in its order, then those only entities name, in the
    /// order of their first entity.
    std::vector<LayerInfo> layers;
    /// The model space's entities by kind ("LINE", "TEXT", ...), the names as valid UTF-8.
    std::map<std::string, std::size_t> entities;
    /// Entities of the paper space (group 67 set, or in a *Paper_Space block).
    std::size_t paperSpaceEntities = 0;
    /// The block definitions in the drawing's order, the *Model_Space and *Paper_Space records
    /// (layouts, not blocks to place) left out. A second definition of a name counts with the
    /// first.
    std::vector<BlockInfo> blocks;
};

/// Reads what the DXF drawing (ASCII or binary) at `path` holds: its header's version, code
/// page, units and extent, its LAYER table, its block definitions and its entities, counted.
/// Nothing is imported or placed: the groups are read once, in blocks, so that it takes less time
/// than the import and memory that grows with the names, not with the file. A malformed
/// structure or header value gives eReadError with `error` naming the line (or byte), and all
/// that was read before it. Only exhausted memory is an exception (std::bad_alloc).
VEXLOR_DXF_API DrawingInfo ReadDrawingInfo(const std::wstring& path);
VEXLOR_DXF_API DrawingInfo ReadDrawingInfo(const std::filesystem::path& path);
/// A literal such as L"part.dxf" converts to both kinds of path; it is the wide path.
inline DrawingInfo ReadDrawingInfo(const wchar_t* path) {
    return ReadDrawingInfo(std::wstring(path));
}
/// The drawing read from `in` to its end (eOpenError when the stream is not good to begin with).
VEXLOR_DXF_API DrawingInfo ReadDrawingInfo(std::istream& in);
/// The drawing held in `text`.
VEXLOR_DXF_API DrawingInfo ReadDrawingInfoFromMemory(std::string_view text);

/// The release that an $ACADVER value names ("AC1015" is "R2000"), or nullptr for one unknown.
VEXLOR_DXF_API const char* ReleaseOf(std::string_view version);

}  // namespace Vexlor::Dxf
