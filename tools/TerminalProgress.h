// The export command's progress delegate: a bar on a terminal, and cancelling on Ctrl-C.
// SPDX-License-Identifier: MIT
#pragma once

#include <csignal>  // SIGINT
#include <cstddef>  // std::size_t
#include <cstdio>   // std::FILE
#include <string>   // std::string

#include "IProgressDelegate.h"

namespace Vexlor::DxfTool {

/// Draws a one-line progress bar on `out` when `drawBar` is true (the tool passes whether
/// stderr is a terminal), and asks the export to stop once Ctrl-C was pressed while an
/// `InterruptCatcher` was alive.
class CTerminalProgress : public Vexlor::Common::IProgressDelegate {
public:
    CTerminalProgress(std::FILE* out, bool drawBar, std::string label);

    /// Redraws the bar when the whole percentage changed.
    void OnProgress(const std::string& name, std::size_t value, std::size_t maxValue) override;
    /// True once SIGINT arrived.
    bool IsCancelRequested() override;
    /// Ends the bar's line, if one was drawn, so that later messages start on their own line.
    void Finish();

private:
    std::FILE* m_out;
    bool m_drawBar;
    std::string m_label;
    int m_lastPercent = -1;
};

/// While alive, the first SIGINT only sets the flag that `CTerminalProgress` reports; the
/// handler then steps aside, so a second Ctrl-C ends the program at once. The previous
/// handler is restored on destruction. A SIGINT ignored when the catcher is made (inherited so
/// from the parent) stays ignored. On Windows the same holds for Ctrl-C and Ctrl-Break,
/// caught through SetConsoleCtrlHandler.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    /// True once SIGINT arrived while a catcher was alive.
    static bool Interrupted();

private:
    void (*m_previous)(int);
};

}  // namespace Vexlor::DxfTool
