#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "apps/CliError.h"
#include "apps/Manifest.h"

namespace {

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
    const auto folder = std::filesystem::temp_directory_path() / "manifest-test parts";
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
    std::filesystem::remove_all(folder);

    try {
        ReadManifest(folder.string());
        FAIL() << "a missing folder was read";
    } catch (const CliError& error) {
        EXPECT_EQ(error.Code(), ExitCode::input);
    }
}

} // namespace
