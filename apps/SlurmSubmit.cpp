#include "apps/SlurmSubmit.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "apps/CliError.h"
#include "apps/Interrupt.h"
#include "apps/SlurmScript.h"

namespace fs = std::filesystem;

namespace {

// A batch of this many tasks or fewer is the default; more shards than files is idle.
constexpr std::size_t defaultShards = 8;

std::optional<std::string> OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const fs::path candidate = fs::path(folder.empty() ? "." : folder) / program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}

struct CommandOutput {
    int status = -1;
    std::string text;
};

// Runs a shell command built from quoted words and collects its standard output.
CommandOutput Capture(const std::vector<std::string>& words) {
    std::string command;
    for (const std::string& word : words)
        command += ShellQuote(word) + " ";
    CommandOutput result;
    FILE* pipe = popen((command + "2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> buffer{};
    while (const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), pipe))
        result.text.append(buffer.data(), read);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.pop_back();
    return text;
}

std::string WriteScript(const SlurmJob& job) {
    const std::string path = (fs::path(job.outputFolder) / "sonavel-batch.sbatch").string();
    std::ofstream file(path, std::ios::trunc);
    file << SlurmScript(job);
    file.close();
    if (!file) throw CliError(ExitCode::output, "cannot write " + path);
    fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
    return path;
}

// Options whose value is the next word unless written OPTION=VALUE.
bool TakesValue(const std::string& word) {
    return word == "-j" || word == "--jobs" || word == "--shards" || word == "--sbatch-args" ||
           word == "--shard";
}

bool IsSlurmFlag(const std::string& word) {
    return word == "--slurm" || word == "--wait" || word == "--progress";
}

bool IsJoinedValue(const std::string& word) {
    for (const char* option : {"--jobs=", "--shards=", "--sbatch-args=", "--shard="}) {
        if (word.starts_with(option)) return true;
    }
    return word.starts_with("-j") && word.size() > 2 && !word.starts_with("--");
}

} // namespace

std::vector<std::string> TaskArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> kept;
    bool optionsEnded = false;
    for (std::size_t i = arguments.empty() ? 0 : 1; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (optionsEnded || word == "--") {
            optionsEnded = true;
            kept.push_back(word);
        } else if (TakesValue(word)) {
            ++i;
        } else if (!IsSlurmFlag(word) && !IsJoinedValue(word)) {
            kept.push_back(word);
        }
    }
    return kept;
}

std::string SubmitBatch(const BatchOptions& options, const std::vector<std::string>& arguments,
                        std::size_t files) {
    SlurmJob job;
    job.shards = std::max<std::size_t>(1, options.shards.value_or(std::min(files, defaultShards)));
    job.cpusPerTask = options.jobs.value_or(1);
    job.sonavel = fs::read_symlink("/proc/self/exe").string();
    job.workingDirectory = fs::current_path().string();
    job.outputFolder = fs::absolute(options.outputFolder).lexically_normal().string();
    job.batchArguments = TaskArguments(arguments);
    job.sbatchOptions = SplitShellWords(options.sbatchArguments);
    const std::string script = WriteScript(job);
    const auto sbatch = OnPath("sbatch");
    if (!sbatch)
        throw CliError(ExitCode::usage, "sbatch is not on the PATH; the job script is " + script +
                                            ", to submit where Slurm runs");
    const CommandOutput submitted = Capture({*sbatch, "--parsable", script});
    const std::string reply = Trimmed(submitted.text);
    if (submitted.status != 0 || reply.empty())
        throw CliError(ExitCode::failure, "sbatch refused " + script + ": " + reply);
    // --parsable prints "JOBID" or "JOBID;CLUSTER", after any warnings.
    const std::string last = reply.substr(reply.rfind('\n') + 1);
    return last.substr(0, last.find(';'));
}

void WaitForJob(const std::string& jobId) {
    const auto squeue = OnPath("squeue");
    if (!squeue) throw CliError(ExitCode::usage, "squeue is not on the PATH; cannot wait");
    for (;;) {
        const CommandOutput queued = Capture({*squeue, "--noheader", "--jobs", jobId});
        // Once the job is gone squeue either lists nothing or no longer knows the id.
        if (Trimmed(queued.text).empty() || queued.text.find("Invalid job id") != std::string::npos)
            return;
        if (queued.status != 0)
            throw CliError(ExitCode::failure, "squeue failed: " + Trimmed(queued.text));
        Interrupt::CheckPoint();
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}
