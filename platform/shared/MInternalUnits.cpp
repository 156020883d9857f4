// Storage of the process-wide internal unit.
// SPDX-License-Identifier: MIT
#include "MInternalUnits.h"

#include <atomic>  // std::atomic

namespace Vexlor::Common {

namespace {
// The one setting of the shared-settings library, shared by every module of the process.
std::atomic<double> g_internalUnit{1.0};
}  // namespace

double MInternalUnits::Get() { return g_internalUnit.load(std::memory_order_relaxed); }

void MInternalUnits::Set(double value) { g_internalUnit.store(value, std::memory_order_relaxed); }

}  // namespace Vexlor::Common
