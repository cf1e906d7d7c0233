#include "apps/Interrupt.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <limits.h>
#include <mutex>
#include <pthread.h>
#include <unistd.h>

#include "apps/CliError.h"

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t fileProtected = 0;
char protectedPath[PATH_MAX];
// Batch threads protect their files in turn; the last one protected is the one a second
// signal removes (the others go at the next run over the same folder).
std::mutex protectedMutex;

constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The line a second signal prints, made before any signal can come: the handler may
// only write bytes that are ready.
struct Reason {
    int signal = 0;
    char text[64] = {};
    std::size_t length = 0;
};
Reason reasons[std::size(handledSignals)];

std::string ReasonText(int signal) {
    return std::string("stopped by ") + strsignal(signal);
}

extern "C" void OnSignal(int signal) {
    if (pendingSignal == 0) {
        pendingSignal = signal;
        return;
    }
    if (fileProtected != 0) unlink(protectedPath);
    for (const Reason& reason : reasons) {
        if (reason.signal == signal && write(STDERR_FILENO, reason.text, reason.length) < 0) break;
    }
    _exit(ExitCode::signalBase + signal);
}

sigset_t HandledSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : handledSignals)
        sigaddset(&set, signal);
    return set;
}

} // namespace

namespace Interrupt {

void Install() {
    for (std::size_t i = 0; i < std::size(handledSignals); ++i) {
        Reason& reason = reasons[i];
        reason.signal = handledSignals[i];
        const std::string line = "sonavel: " + ReasonText(reason.signal) + "\n";
        reason.length = std::min(line.size(), sizeof reason.text);
        std::memcpy(reason.text, line.data(), reason.length);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_mask = HandledSet();
    for (const int signal : handledSignals)
        sigaction(signal, &action, nullptr);
}

void CheckPoint() {
    const int signal = pendingSignal;
    if (signal != 0) throw CliError(ExitCode::signalBase + signal, ReasonText(signal));
}

void ProtectFile(const std::string& path) {
    const std::lock_guard lock(protectedMutex);
    fileProtected = 0;
    std::strncpy(protectedPath, path.c_str(), sizeof protectedPath - 1);
    fileProtected = 1;
}

void ReleaseFile() {
    const std::lock_guard lock(protectedMutex);
    fileProtected = 0;
}

void Hold() {
    const sigset_t set = HandledSet();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

SignalsHeld::SignalsHeld() {
    const sigset_t set = HandledSet();
    pthread_sigmask(SIG_BLOCK, &set, &previous);
}

SignalsHeld::~SignalsHeld() {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

} // namespace Interrupt
