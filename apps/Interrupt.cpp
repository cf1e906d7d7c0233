#include "apps/Interrupt.h"

#include <csignal>
#include <cstring>
#include <limits.h>
#include <unistd.h>

#include "apps/CliError.h"

namespace {

volatile std::sig_atomic_t pendingSignal = 0;
volatile std::sig_atomic_t fileProtected = 0;
char protectedPath[PATH_MAX];

constexpr int handledSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnSignal(int signal) {
    if (pendingSignal == 0) {
        pendingSignal = signal;
        return;
    }
    if (fileProtected != 0) unlink(protectedPath);
    _exit(ExitCode::signalBase + signal);
}

} // namespace

namespace Interrupt {

void Install() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : handledSignals)
        sigaction(signal, &action, nullptr);
}

void CheckPoint() {
    const int signal = pendingSignal;
    if (signal != 0)
        throw CliError(ExitCode::signalBase + signal,
                       std::string("stopped by ") + strsignal(signal));
}

void ProtectFile(const std::string& path) {
    fileProtected = 0;
    std::strncpy(protectedPath, path.c_str(), sizeof protectedPath - 1);
    fileProtected = 1;
}

void ReleaseFile() {
    fileProtected = 0;
}

} // namespace Interrupt
