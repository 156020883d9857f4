// A progress reporter that counts steps from zero up to a known maximum.
// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>  // std::size_t
#include <memory>   // std::shared_ptr
#include <string>   // std::string

#include "BaseProgressReporter.h"

namespace Vexlor::Common {

/// Counts the steps of the operation `name` up to `maxValue` and tells the delegate. Reports
/// are thrown to at most about a thousand per run: one whenever the value crosses a further
/// thousandth of the maximum, and always when it reaches the maximum.
class IncrementalProgressReporter : public BaseProgressReporter {
public:
    /// `reportStart`: also report the value 0 at once, so the host can show the operation
    /// before its first step is done.
    IncrementalProgressReporter(const std::shared_ptr<IProgressDelegate>& delegate,
                                const std::string& name, std::size_t maxValue, bool reportStart);
    ~IncrementalProgressReporter() override;

    /// One more step done.
    IncrementalProgressReporter& operator++();
    /// Sets the number of steps done; setting the maximum reports the operation complete.
    IncrementalProgressReporter& operator=(std::size_t value);

    std::size_t GetMaxValue() const { return m_maxValue; }
    std::size_t GetValue() const { return m_value; }

private:
    void _Report();

    std::string m_name;
    std::size_t m_maxValue;
    std::size_t m_value = 0;
    std::size_t m_nextReport = 0;
};

}  // namespace Vexlor::Common
