// Inputs the benchmarks build in memory, and the plain tokenizer that is the speed floor.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::string
#include <vector>   // std::vector

#include "ExportToDxf.h"
#include "polyline.h"

namespace VexlorDxfBench {

/// `count` two-point open pieces that link into square-ish contours of 100 pieces each, in a
/// seeded shuffled order with random directions.
std::vector<Vexlor::Math::polyline<double, 2>> ShuffledContourPieces(std::size_t count);

/// DXF text of LINE entities for the same pieces.
std::string LinesDrawing(std::size_t count);

/// A part record of `count` triangles over a grid of vertices.
ExportToDxf::PartData GridMesh(std::size_t count);

/// What a minimal reader must do with the bytes: split lines, parse each code and each number.
/// Returns a checksum so the work cannot be optimised away.
double TokenizeFloor(const std::string& bytes);

/// The least any reader of the file must do: read it in blocks, split its lines and parse each
/// group's code, converting no value. Returns the number of groups.
std::size_t TokenizeGroups(const std::string& path);

/// The whole content of a file.
std::string ReadFile(const std::string& path);

}  // namespace VexlorDxfBench
