#pragma once
// The one way a command ends early: a one-line reason for the user and the exit code
// that tells scripts which side was at fault.

#include <stdexcept>
#include <string>

namespace ExitCode {
constexpr int failure = 1; // a fault of our own
constexpr int usage = 2;   // the command line
constexpr int input = 3;   // an input file
constexpr int output = 4;  // the output file or its folder
constexpr int someFailed = 5; // a batch ran, and some of its files failed
// A run stopped by signal s ends with 128 + s, as shells report it.
constexpr int signalBase = 128;
} // namespace ExitCode

class CliError : public std::runtime_error {
public:
    CliError(int exitCode, const std::string& reason)
        : std::runtime_error(reason), exitCode(exitCode) {}
    int Code() const { return exitCode; }

private:
    int exitCode;
};
