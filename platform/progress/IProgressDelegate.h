// The progress sink a host hands to long operations: it is told the progress and can cancel.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <string>   // std::string

namespace Vexlor::Common {

/// Implemented by the host. Long operations report their progress to it and ask it, now and
/// then, whether they should stop.
class IProgressDelegate {
public:
    virtual ~IProgressDelegate() = default;
    /// `value` of `maxValue` steps of the operation called `name` are done.
    virtual void OnProgress(const std::string& name, std::size_t value, std::size_t maxValue) = 0;
    /// True once the host wants the operation stopped.
    virtual bool IsCancelRequested() = 0;
};

}  // namespace Vexlor::Common
