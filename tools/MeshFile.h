// Reading of triangle mesh files (binary STL, ASCII STL, OBJ) into the export's part record.
// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>  // std::filesystem::path
#include <string>      // std::string

#include "ExportToDxf.h"

namespace Vexlor::DxfTool {

/// How reading a mesh file went.
enum class EMeshRead {
    /// The file was read; `part` holds its triangles (possibly none).
    eOk,
    /// The file could not be opened; `detail` says why.
    eOpenError,
    /// The file is not a mesh of a known format; `detail` says where and why.
    eBadData,
};

struct MeshReadResult {
    EMeshRead status = EMeshRead::eOk;
    /// "binary STL", "ASCII STL" or "OBJ" once the format is known.
    std::string format;
    std::string detail;
};

/// Reads the mesh at `path` into `part`, which must be empty on entry. A name ending in ".obj"
/// (any case) is read as OBJ: "v" lines give vertices, "f" lines faces (polygons are split into
/// a fan of triangles around their first corner; "i/j/k" and negative indices are understood),
/// every other line is passed over. Any other file is read as STL: binary when its size matches
/// the triangle count of its 84-byte header, else ASCII when it starts with "solid". Each STL
/// triangle gets three vertices of its own. The transform stays the identity.
MeshReadResult ReadMesh(const std::filesystem::path& path, ExportToDxf::PartData& part);

}  // namespace Vexlor::DxfTool
