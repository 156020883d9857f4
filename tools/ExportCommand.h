// The export command: a triangle mesh (STL, OBJ) written as a DXF file of 3D faces.
// SPDX-License-Identifier: MIT
#pragma once

#include "Arguments.h"

namespace Vexlor::DxfTool {

/// Exports the mesh that `arguments` name to its DXF file, with a progress bar on a terminal and
/// Ctrl-C cancelling; returns the export's status.
int RunExport(const Arguments& arguments);

}  // namespace Vexlor::DxfTool
