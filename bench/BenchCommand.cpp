#include "bench/BenchCommand.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

extern char** environ;

namespace {

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) * 1e-6;
}

} // namespace

CommandRun RunCommand(const std::filesystem::path& scratch, const std::vector<std::string>& command) {
    const std::filesystem::path memory = scratch / "peak-memory";
    std::vector<std::string> timed{"/usr/bin/time", "-f", "%M", "-o", memory.string()};
    timed.insert(timed.end(), command.begin(), command.end());
    std::vector<char*> argv;
    for (const std::string& arg : timed)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return {};
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    CommandRun run;
    run.ran = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.wallSeconds = took.count();
    run.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    double kilobytes = 0.0;
    std::ifstream(memory) >> kilobytes;
    run.peakMegabytes = kilobytes / 1024.0;
    return run;
}
