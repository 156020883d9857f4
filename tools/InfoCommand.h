// The info command: what each drawing holds (version, units, extent, layers, entities, blocks),
// as text or JSON, without importing it.
// SPDX-License-Identifier: MIT
#pragma once

#include "Arguments.h"

namespace Vexlor::DxfTool {

/// Tells what each drawing that `arguments` name holds, on stdout; returns the most severe
/// status of all (2 a drawing cannot be opened, 1 it cannot be read to its end).
int RunInfo(const Arguments& arguments);

}  // namespace Vexlor::DxfTool
