// What a drawing holds, told without importing it: its version, units, extent, layers, entity
// kinds and blocks.
// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>  // std::string_view

#include "VexlorDxfExport.h"

namespace Vexlor::Dxf {

/// What a binary DXF file begins with: "AutoCAD Binary DXF", CR LF, SUB and NUL (22 bytes). An
/// ASCII drawing never does; the accurate import reads both, the polyline reader ASCII only.
inline constexpr std::string_view kBinaryDxfSentinel{"AutoCAD Binary DXF\r\n\x1a", 22};

}  // namespace Vexlor::Dxf
