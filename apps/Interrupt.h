#pragma once
// SIGINT, SIGTERM and SIGHUP stop a run cleanly: the handler only notes the signal,
// and the processing loop ends at its next check point, so the temporary output is
// removed by the normal unwinding. A second signal, for a run that does not reach a
// check point, removes the protected file itself, says why on stderr and ends the
// process at once.

#include <csignal>
#include <string>

namespace Interrupt {

void Install();
// Throws CliError with exit code 128 + the signal when one has arrived.
void CheckPoint();
// The file that a second signal removes; one at a time.
void ProtectFile(const std::string& path);
void ReleaseFile();
// Holds back the signals from here to the end of the process, once the run's own
// last line has been decided.
void Hold();

// Holds back the signals in this thread while it lives: a file created and protected under
// it cannot be left behind by a second signal that lands between the two.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t previous;
};

} // namespace Interrupt
