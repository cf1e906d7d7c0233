#pragma once
// Running a command from a benchmark: to its end, its standard output discarded, timed in
// wall-clock seconds and in CPU seconds (its own and those of all it waited for), with its
// peak memory from /usr/bin/time, which measures the command alone (the rusage of a child
// spawned from here would also count this process's memory, shared until the command
// starts).

#include <filesystem>
#include <string>
#include <vector>

struct CommandRun {
    bool ran = false; // started, and ended with exit code 0
    double wallSeconds = 0.0;
    double cpuSeconds = 0.0;
    double peakMegabytes = 0.0;
};

// `scratch` is a writable folder for /usr/bin/time's report.
CommandRun RunCommand(const std::filesystem::path& scratch, const std::vector<std::string>& command);
