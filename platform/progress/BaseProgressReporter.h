// The part of every progress reporter that holds the host's delegate and answers for cancelling.
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>  // std::shared_ptr

#include "IProgressDelegate.h"

namespace Vexlor::Common {

/// Holds a share of the host's delegate for as long as the reporter lives. A null delegate is
/// allowed: it gets no reports and never cancels.
class BaseProgressReporter {
public:
    explicit BaseProgressReporter(const std::shared_ptr<IProgressDelegate>& delegate);
    virtual ~BaseProgressReporter();
    BaseProgressReporter(const BaseProgressReporter&) = delete;
    BaseProgressReporter& operator=(const BaseProgressReporter&) = delete;

    /// The delegate's answer to `IsCancelRequested()`; false without a delegate. Once true, it
    /// stays true for this reporter.
    bool IsCancelled() const;

protected:
    std::shared_ptr<IProgressDelegate> m_delegate;
    mutable bool m_cancelled = false;
};

}  // namespace Vexlor::Common
