#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

#include "apps/CliError.h"
#include "apps/SlurmScript.h"

namespace {

int UsageCode(const SlurmJob& job) {
    try {
        SlurmScript(job);
    } catch (const CliError& error) {
        return error.Code();
    }
    return 0;
}

SlurmJob ArchiveJob(const std::string& sonavel) {
    SlurmJob job;
    job.shards = 4;
    job.cpusPerTask = 2;
    job.sonavel = sonavel;
    job.workingDirectory = "/srv/vault";
    job.outputFolder = "/srv/restored 100%";
    job.batchArguments = {"tapes/side A.flac", "it's \"live\".wav", "/srv/restored 100%",
                          "--amount", "0.5"};
    job.sbatchOptions = {"--partition=audio", "--comment", "vault run 3"};
    return job;
}

TEST(SlurmScript, ArrayOfShardsWithTheTaskCpusAndDirectives) {
    EXPECT_EQ(SlurmScript(ArchiveJob("/opt/sonavel/bin/sonavel")),
              "#!/bin/bash\n"
              "# Restores a collection with sonavel in 4 array tasks, one shard each.\n"
              "#SBATCH --job-name=sonavel-batch\n"
              "#SBATCH --array=0-3\n"
              "#SBATCH --cpus-per-task=2\n"
              "#SBATCH --output=\"/srv/restored 100%%/slurm-%A_%a.log\"\n"
              "#SBATCH --partition=audio --comment \"vault run 3\"\n"
              "cd /srv/vault || exit 4\n"
              "exec /opt/sonavel/bin/sonavel batch 'tapes/side A.flac' 'it'\\''s \"live\".wav' "
              "'/srv/restored 100%' --amount 0.5 -j 2 --shard \"$SLURM_ARRAY_TASK_ID/4\"\n");
}

// The script run by bash hands every argument over unchanged, whatever its characters.
TEST(SlurmScript, ShellPassesAwkwardPathsThrough) {
    const auto folder = std::filesystem::temp_directory_path() / "slurm script's \"test\" $HOME";
    std::filesystem::create_directories(folder);
    const auto fake = (folder / "print args").string();
    std::ofstream(fake) << "#!/bin/sh\nprintf '%s\\n' \"$@\"\n";
    chmod(fake.c_str(), 0755);
    auto job = ArchiveJob(fake);
    job.workingDirectory = folder.string();
    job.batchArguments.push_back("$(touch pwned) `x` \\ ; *");
    std::ofstream(folder / "job.sh") << SlurmScript(job);

    const std::string command = "cd / && SLURM_ARRAY_TASK_ID=2 bash " +
                                ShellQuote((folder / "job.sh").string()) + " > " +
                                ShellQuote((folder / "out").string());
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::stringstream out;
    out << std::ifstream(folder / "out").rdbuf();
    EXPECT_EQ(out.str(), "batch\ntapes/side A.flac\nit's \"live\".wav\n/srv/restored 100%\n"
                         "--amount\n0.5\n$(touch pwned) `x` \\ ; *\n-j\n2\n--shard\n2/4\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "pwned"));
    std::filesystem::remove_all(folder);
}

TEST(SlurmScript, SplitsSbatchArgsAsAShellDoes) {
    EXPECT_EQ(
        SplitShellWords("  --time 1:00:00\t--comment='a b' \"x \\\"y\\\"\" c\\ d ''"),
        (std::vector<std::string>{"--time", "1:00:00", "--comment=a b", "x \"y\"", "c d", ""}));
    EXPECT_THROW(SplitShellWords("--comment 'open"), CliError);
}

TEST(SlurmScript, RefusesWhatSlurmWouldMisread) {
    auto job = ArchiveJob("/bin/sonavel");
    job.outputFolder = "/srv/\"quoted\"";
    EXPECT_EQ(UsageCode(job), ExitCode::usage);
    job = ArchiveJob("/bin/sonavel");
    job.sbatchOptions = {"--array=0-9"};
    EXPECT_EQ(UsageCode(job), ExitCode::usage);
    job.sbatchOptions = {"--comment", "back\\slash"};
    EXPECT_EQ(UsageCode(job), ExitCode::usage);
}

} // namespace
