// The export command's progress bar and its Ctrl-C handling.
// SPDX-License-Identifier: MIT
#include "TerminalProgress.h"

#include <atomic>   // std::atomic
#include <utility>  // std::move

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>  // SetConsoleCtrlHandler
#else
#include <signal.h>  // sigaction
#endif

namespace Vexlor::DxfTool {

namespace {

constexpr int kBarWidth = 30;

// A signal handler can only reach the program through a global; a lock-free atomic is one it
// may set.
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal flag must be lock-free");

#if defined(_WIN32)
// Windows tells a console program of Ctrl-C and Ctrl-Break through the handlers registered
// with SetConsoleCtrlHandler, each call on a thread of its own. One handler serves every
// catcher: while one is alive, the first event only sets the flag; a second, or one while
// none is alive, goes on to the system's handler, which ends the program.
std::atomic<int> catchersAlive{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if ((event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) || catchersAlive.load() == 0 ||
        interruptRequested.exchange(true)) {
        return FALSE;
    }
    return TRUE;
}
#else
extern "C" void OnInterrupt(int signalNumber) {
    interruptRequested.store(true);
    std::signal(signalNumber, SIG_DFL);
}
#endif

}  // namespace

CTerminalProgress::CTerminalProgress(std::FILE* out, bool drawBar, std::string label)
    : m_out(out), m_drawBar(drawBar), m_label(std::move(label)) {}

void CTerminalProgress::OnProgress(const std::string& /*name*/, std::size_t value,
                                   std::size_t maxValue) {
    if (!m_drawBar) return;
    const int percent = maxValue == 0 ? 100 : static_cast<int>(value * 100 / maxValue);
    if (percent == m_lastPercent) return;
    m_lastPercent = percent;
    const int filled = percent * kBarWidth / 100;
    std::fprintf(m_out, "\r%s [%.*s%*s] %3d%% (%zu of %zu faces)", m_label.c_str(), filled,
                 "##############################", kBarWidth - filled, "", percent, value,
                 maxValue);
    std::fflush(m_out);
}

bool CTerminalProgress::IsCancelRequested() { return InterruptCatcher::Interrupted(); }

void CTerminalProgress::Finish() {
    if (m_lastPercent >= 0) std::fputc('\n', m_out);
    m_lastPercent = -1;
}

#if defined(_WIN32)
InterruptCatcher::InterruptCatcher() : m_previous(SIG_ERR) {
    static const bool registered = SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    static_cast<void>(registered);
    ++catchersAlive;
}

InterruptCatcher::~InterruptCatcher() { --catchersAlive; }
#else
InterruptCatcher::InterruptCatcher() : m_previous(SIG_ERR) {
    // A program started with Ctrl-C ignored (a background job of a shell script) keeps ignoring
    // it, while it writes as while it reads.
    struct sigaction current {};
    if (sigaction(SIGINT, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) return;
    m_previous = std::signal(SIGINT, OnInterrupt);
}

InterruptCatcher::~InterruptCatcher() {
    if (m_previous != SIG_ERR) std::signal(SIGINT, m_previous);
}
#endif

bool InterruptCatcher::Interrupted() { return interruptRequested.load(); }

}  // namespace Vexlor::DxfTool
