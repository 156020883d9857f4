// The progress reporters: delegate bookkeeping, throttled reports and cancellation.
// SPDX-License-Identifier: MIT
#include "IncrementalProgressReporter.h"

namespace Vexlor::Common {

namespace {
constexpr std::size_t kReportsPerRun = 1000;
}

BaseProgressReporter::BaseProgressReporter(const std::shared_ptr<IProgressDelegate>& delegate)
    : m_delegate(delegate) {}

BaseProgressReporter::~BaseProgressReporter() = default;

bool BaseProgressReporter::IsCancelled() const {
    if (!m_cancelled && m_delegate) m_cancelled = m_delegate->IsCancelRequested();
    return m_cancelled;
}

IncrementalProgressReporter::IncrementalProgressReporter(
    const std::shared_ptr<IProgressDelegate>& delegate, const std::string& name,
    std::size_t maxValue, bool reportStart)
    : BaseProgressReporter(delegate), m_name(name), m_maxValue(maxValue) {
    if (reportStart) {
        _Report();
    } else {
        m_nextReport = 1;
    }
}

IncrementalProgressReporter::~IncrementalProgressReporter() = default;

IncrementalProgressReporter& IncrementalProgressReporter::operator++() {
    ++m_value;
    if (m_value >= m_nextReport || m_value == m_maxValue) _Report();
    return *this;
}

IncrementalProgressReporter& IncrementalProgressReporter::operator=(std::size_t value) {
    const bool changed = value != m_value;
    m_value = value;
    if (changed && (m_value >= m_nextReport || m_value == m_maxValue)) _Report();
    return *this;
}

void IncrementalProgressReporter::_Report() {
    if (m_delegate) m_delegate->OnProgress(m_name, m_value, m_maxValue);
    const std::size_t stride = m_maxValue / kReportsPerRun + 1;
    m_nextReport = m_value + stride;
}

}  // namespace Vexlor::Common
