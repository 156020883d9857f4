// The SDK-wide internal unit: how many internal units make one unit of exported coordinates.
// SPDX-License-Identifier: MIT
#pragma once

namespace Vexlor::Common {

/// The process-wide internal-unit divisor, 1.0 until a host sets another. Safe to read and set
/// from several threads.
class MInternalUnits {
public:
    static double Get();
    static void Set(double value);
};

}  // namespace Vexlor::Common
