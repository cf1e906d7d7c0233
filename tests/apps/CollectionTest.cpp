// The pieces of a collection run: the shards files are split into, the Slurm job
// script that runs them, and the manifest their tasks write.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

#include "apps/CliError.h"
#include "apps/Manifest.h"
#include "apps/Shards.h"
#include "apps/SlurmScript.h"
#include "tests/TestFolder.h"

namespace {

// The exit code of the CliError `call` throws; 0 when it throws none.
template <class Call> int ErrorCode(Call call) {
    try {
        call();
    } catch (const CliError& error) {
        return error.Code();
    }
    return 0;
}

// 20 files from 3 s to 10 min, as a tape transfer gives them.
std::vector<ShardInput> MixedCollection() {
    const double seconds[] = {612.0, 3.5,   47.2,  180.0, 95.5,  12.0, 333.3, 60.0,  60.0, 420.8,
                              7.25,  240.0, 150.4, 30.0,  518.0, 88.8, 5.0,   275.6, 45.0, 199.9};
    std::vector<ShardInput> inputs;
    for (int i = 0; i < 20; ++i)
        inputs.push_back({"tape" + std::to_string(100 + i) + "/side.flac", seconds[i]});
    return inputs;
}

std::vector<double> Loads(const std::vector<ShardInput>& inputs, std::size_t count) {
    std::vector<double> load(count, 0.0);
    const auto shardOf = AssignShards(inputs, count);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        load[shardOf[i]] += inputs[i].seconds;
    return load;
}

TEST(Shards, ParsesIndexOfCountAndRefusesAnythingElse) {
    const auto shard = ParseShard("3/4");
    EXPECT_EQ(shard.index, 3u);
    EXPECT_EQ(shard.count, 4u);
    EXPECT_EQ(ParseShard("0/1").count, 1u);
    for (const auto* bad : {"4/4", "0/0", "1", "/4", "1/", "-1/4", "+1/4", " 1/4", "1/4x", "a/b",
                            "1//4", "99999999999999999999999/2"}) {
        EXPECT_EQ(ErrorCode([&] { ParseShard(bad); }), ExitCode::usage) << bad;
    }
}

TEST(Shards, LongestFileFirstToTheLightestShard) {
    // 10 -> 0, 9 -> 1, 8 -> 2, 7 -> 2, 6 -> 1, 5 -> 0, then all hold 15 and 4 goes to 0.
    std::vector<ShardInput> inputs;
    for (int s = 4; s <= 10; ++s)
        inputs.push_back({"f" + std::to_string(s), double(s)});
    const auto shardOf = AssignShards(inputs, 3);
    EXPECT_EQ(shardOf, (std::vector<std::size_t>{0, 0, 1, 2, 2, 1, 0}));
    // Equal durations alternate in path order.
    const auto equal = AssignShards({{"d", 60}, {"a", 60}, {"c", 60}, {"b", 60}}, 2);
    EXPECT_EQ(equal, (std::vector<std::size_t>{1, 0, 0, 1}));
    // Files without a duration still land somewhere; shards beyond the files stay empty.
    const std::vector<ShardInput> unread = {{"a", 30}, {"b", -1}, {"c", std::nan("")}};
    EXPECT_EQ(AssignShards(unread, 2), (std::vector<std::size_t>{0, 1, 1}));
    EXPECT_TRUE(SelectShard(unread, {4, 5}).empty());
}

TEST(Shards, MixedCollectionBalancedWithinTheLongestFileAndSplitAlikeInAnyOrder) {
    const auto inputs = MixedCollection();
    for (const std::size_t count : {2u, 3u, 4u, 7u}) {
        const auto load = Loads(inputs, count);
        const auto [lightest, heaviest] = std::minmax_element(load.begin(), load.end());
        EXPECT_LE(*heaviest - *lightest, 612.0) << count << " shards";
    }
    // 3424.25 s over 4 shards: 856 s each if perfectly even.
    for (const double l : Loads(inputs, 4))
        EXPECT_NEAR(l, 856.06, 30.0);

    // Every process computes the same split, in any input order.
    auto shuffled = inputs;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    std::vector<std::string> all;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto shard = SelectShard(inputs, {i, 4});
        EXPECT_EQ(SelectShard(shuffled, {i, 4}), shard);
        EXPECT_TRUE(std::is_sorted(shard.begin(), shard.end()));
        all.insert(all.end(), shard.begin(), shard.end());
    }
    std::sort(all.begin(), all.end());
    ASSERT_EQ(all.size(), inputs.size());
    for (std::size_t i = 0; i < inputs.size(); ++i)
        EXPECT_EQ(all[i], inputs[i].path);
}

// 4 shards of 2 CPUs each, with quotes, spaces and a % in the paths.
SlurmJob ArchiveJob(const std::string& sonavel) {
    SlurmJob job{4, 2, sonavel, "/srv/vault", "/srv/restored 100%", {}, {}};
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
    const TestFolder scratch;
    const auto folder = scratch.path / "slurm script's \"test\" $HOME";
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
    EXPECT_EQ(ErrorCode([&] { SlurmScript(job); }), ExitCode::usage);
    job = ArchiveJob("/bin/sonavel");
    job.sbatchOptions = {"--array=0-9"};
    EXPECT_EQ(ErrorCode([&] { SlurmScript(job); }), ExitCode::usage);
    job.sbatchOptions = {"--comment", "back\\slash"};
    EXPECT_EQ(ErrorCode([&] { SlurmScript(job); }), ExitCode::usage);
}

ManifestRecord Record(std::string input, FileStatus status, double seconds, double audio,
                      double finished, std::string error = "") {
    return {std::move(input), "out/" + input, status, seconds, audio, finished, std::move(error)};
}

TEST(Manifest, LinesRoundTripAndBrokenLinesAreNoRecords) {
    const auto failed = Record("tapes/it's \"B\" side é.wav", FileStatus::failed, 0.25, 0,
                               1.8e9 + 0.5, "not a sound file");
    const auto parsed = ParseManifestLine(ManifestLine(failed));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->input, failed.input);
    EXPECT_EQ(parsed->status, FileStatus::failed);
    EXPECT_DOUBLE_EQ(parsed->finished, 1.8e9 + 0.5);
    EXPECT_EQ(parsed->error, "not a sound file");

    const auto line = ManifestLine(Record("a.wav", FileStatus::done, 1.5, 60, 1.8e9));
    EXPECT_FALSE(ParseManifestLine(line.substr(0, line.size() / 2))); // cut by a kill
    EXPECT_FALSE(ParseManifestLine(R"({"input":"a","status":"lost"})"));
    EXPECT_FALSE(ParseManifestLine(R"({"input":"a","status":"done","seconds":"long"})"));
    EXPECT_FALSE(ParseManifestLine(R"({"status":"done"})"));
}

TEST(Manifest, LatestAttemptWinsAndEveryAttemptCostsCpu) {
    const auto summary = MergeManifest({
        // b's later success was read first: its finish time decides, not the file order.
        Record("b", FileStatus::done, 30, 600, 2000),
        Record("a", FileStatus::failed, 2, 0, 1000, "cancelled"),
        Record("b", FileStatus::failed, 4, 0, 1500, "killed"),
        Record("a", FileStatus::done, 20, 900, 2100), Record("c", FileStatus::done, 10, 300, 1000),
        Record("c", FileStatus::skipped, 0, 0, 3000), // already complete: keeps c's numbers
        Record("d", FileStatus::done, 5, 120, 1000),
        Record("d", FileStatus::failed, 1, 0, 1000, "unreadable"), // same time, read later
    });
    EXPECT_EQ(summary.done, 3u);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_DOUBLE_EQ(summary.audioSeconds, 600 + 900 + 300);
    EXPECT_DOUBLE_EQ(summary.cpuSeconds, 30 + 2 + 4 + 20 + 10 + 5 + 1);
    ASSERT_EQ(summary.failures.size(), 1u);
    EXPECT_EQ(summary.failures[0].input, "d");
    EXPECT_EQ(summary.failures[0].error, "unreadable");
}

TEST(Manifest, ReadsThePartsOfAFolderAndSaysWhereTheCollectionStands) {
    const TestFolder scratch;
    const auto folder = scratch.path / "manifest-test parts";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "manifest.0.jsonl")
        << ManifestLine(Record("x.wav", FileStatus::failed, 3, 0, 100, "disk full")) << "\n"
        << ManifestLine(Record("y.wav", FileStatus::done, 40, 1200, 110)) << "\n";
    std::ofstream(folder / "manifest.10.jsonl")
        << ManifestLine(Record("z.wav", FileStatus::done, 20, 600, 120)) << "\n\n"
        << "{\"input\":\"w.wav\",\"sta"; // the task was killed mid-line
    std::ofstream(folder / ManifestPartName(2))
        << ManifestLine(Record("x.wav", FileStatus::done, 2, 3600, 200)) << "\n"
        << ManifestLine(Record("v.wav", FileStatus::failed, 0, 0, 210, "not a sound file")) << "\n";
    std::ofstream(folder / "manifest.x.jsonl")
        << ManifestLine(Record("q", FileStatus::done, 9, 9, 9));
    std::ofstream(folder / "notes.txt") << "not a manifest\n";

    const auto summary = ReadManifest(folder.string());
    EXPECT_EQ(summary.parts, 3u);
    EXPECT_EQ(summary.unreadableLines, 1u);
    std::ostringstream out;
    PrintManifestSummary(summary, out);
    EXPECT_EQ(out.str(), "files done: 3 (1.50 hours of audio)\n"
                         "files failed: 1\n"
                         "  v.wav: not a sound file\n"
                         "CPU time: 0:01:05\n"
                         "manifest lines that hold no record (cut short by a stopped task): 1\n");
    EXPECT_EQ(ErrorCode([&] { ReadManifest((scratch.path / "missing").string()); }),
              ExitCode::input);
}

} // namespace
