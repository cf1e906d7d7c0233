// `sonavel batch` as a user runs it: a tree of files, the manifest, a bad file among
// good ones, a batch killed and run again, and outputs equal to `restore`'s.

#include <chrono>
#include <map>
#include <thread>

#include "apps/Manifest.h"
#include "tests/apps/CliFixture.h"

namespace {

using namespace cli_test;

class Batch : public Cli {
protected:
    // Files of different lengths, rates and channels in `in`, one folder down too.
    std::vector<std::string> MakeCollection(int count, double seconds = 1.5) {
        std::vector<std::string> names;
        for (int i = 0; i < count; ++i) {
            const std::string name = (i % 2 ? "in/sub/" : "in/") + std::string("f") +
                                     std::to_string(i) + (i % 3 == 2 ? ".flac" : ".wav");
            fs::create_directories(fs::path(At(name)).parent_path());
            const int format = (i % 3 == 2 ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
            Write(At(name), Damaged(seconds + 0.25 * i, i % 2 ? 48000 : 44100), format, 1 + i % 2);
            names.push_back(name);
        }
        return names;
    }

    std::map<std::string, ManifestRecord> Latest(const std::string& manifest) {
        std::map<std::string, ManifestRecord> records;
        std::istringstream lines(ReadText(At(manifest)));
        for (std::string line; std::getline(lines, line);) {
            const auto record = ParseManifestLine(line);
            EXPECT_TRUE(record) << line;
            if (record) records[record->input] = *record;
        }
        return records;
    }
};

TEST_F(Batch, OutputsEqualRestoresFileByFileInAMirroredTreeWithAManifest) {
    const auto inputs = MakeCollection(6);
    const std::vector<std::string> options = {"--train", "0-1", "--amount", "0.8", "--quiet"};
    Args args = {"batch", At("in"), At("out"), "-j", "3", "--ext", "wav"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_NE(Ok(args).out.find("6 restored, 0 already complete, 0 failed"), std::string::npos);

    const auto records = Latest("out/manifest.jsonl");
    ASSERT_EQ(records.size(), 6u);
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        const std::string output =
            fs::path(At("out/" + input.substr(3))).replace_extension(".wav").string();
        Args restore = {"restore", At(input), At("alone.wav"), "--force"};
        restore.insert(restore.end(), options.begin(), options.end());
        Ok(restore);
        const Audio alone = Read(At("alone.wav")), batch = Read(output);
        EXPECT_EQ(batch.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
        EXPECT_EQ(batch.info.samplerate, alone.info.samplerate);
        EXPECT_EQ(batch.samples, alone.samples);

        const ManifestRecord& record = records.at(At(input));
        EXPECT_EQ(record.output, output);
        EXPECT_EQ(record.status, FileStatus::done);
        EXPECT_NEAR(record.audioSeconds, double(alone.info.frames) / alone.info.samplerate, 1e-9);
        EXPECT_GT(record.seconds, 0.0);
        EXPECT_LT(record.seconds, 10.0);
        EXPECT_NEAR(record.finished, double(std::time(nullptr)), 60.0);
    }
}

TEST_F(Batch, ABadFileIsRecordedAndTheOthersAreRestored) {
    MakeCollection(3);
    std::ofstream(At("in/f1bad.wav")) << "not audio at all";
    const RunResult run = Sonavel({"batch", At("in"), At("out"), "-j", "1", "--quiet"});
    EXPECT_EQ(run.code, 5) << run.err;
    EXPECT_NE(run.err.find("f1bad.wav"), std::string::npos);
    for (const char* name : {"out/f0.wav", "out/sub/f1.wav", "out/f2.flac"})
        EXPECT_GT(Read(At(name)).info.frames, 0) << name;
    EXPECT_FALSE(fs::exists(At("out/f1bad.wav")));
    const auto records = Latest("out/manifest.jsonl");
    ASSERT_EQ(records.size(), 4u);
    const ManifestRecord& bad = records.at(At("in/f1bad.wav"));
    EXPECT_EQ(bad.status, FileStatus::failed);
    EXPECT_NE(bad.error.find("f1bad.wav"), std::string::npos);

    // Run again: the bad file is tried again, the good ones are not redone.
    const RunResult again = Sonavel({"batch", At("in"), At("out"), "--quiet"});
    EXPECT_EQ(again.code, 5);
    EXPECT_NE(again.out.find("0 restored, 3 already complete, 1 failed"), std::string::npos);
    const RunResult status = Sonavel({"batch", "--status", At("out")});
    EXPECT_EQ(status.code, 5);
    EXPECT_NE(status.out.find("files done: 3"), std::string::npos) << status.out;
    EXPECT_NE(status.out.find("files failed: 1"), std::string::npos) << status.out;
}

TEST_F(Batch, AKilledBatchLeavesNoPartialOutputAndARerunDoesOnlyTheRest) {
    const auto inputs = MakeCollection(8, 4.0);
    const pid_t pid = Start({"batch", At("in"), At("out"), "-j", "1", "--quiet"});
    // Killed once the first file is recorded, while a later one is being written.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (ReadText(At("out/manifest.jsonl")).empty() &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    kill(pid, SIGKILL);
    Finish(pid);
    std::size_t finished = 0;
    for (const std::string& input : inputs) {
        const std::string output = At("out/" + input.substr(3));
        if (!fs::exists(output)) continue;
        ++finished;
        EXPECT_EQ(Read(output).info.frames, Read(At(input)).info.frames) << "partial " << output;
    }
    ASSERT_GE(finished, 1u);
    ASSERT_LT(finished, inputs.size()) << "the batch ended before the kill";

    const RunResult rerun = Ok({"batch", At("in"), At("out"), "--quiet"});
    EXPECT_NE(rerun.out.find(std::to_string(inputs.size() - finished) + " restored, " +
                             std::to_string(finished) + " already complete"),
              std::string::npos)
        << rerun.out;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        EXPECT_EQ(entry.path().filename().string().find(".sonavel-"), std::string::npos)
            << entry.path();
    for (const std::string& input : inputs)
        EXPECT_EQ(Read(At("out/" + input.substr(3))).info.frames, Read(At(input)).info.frames);
}

TEST_F(Batch, ShardsSplitTheCollectionAndTheirPartsMerge) {
    MakeCollection(5);
    for (const char* shard : {"0/2", "1/2"})
        Ok({"batch", At("in"), At("out"), "--shard", shard, "--quiet"});
    const auto first = Latest("out/manifest.0.jsonl"), second = Latest("out/manifest.1.jsonl");
    EXPECT_EQ(first.size() + second.size(), 5u);
    for (const auto& [input, record] : first)
        EXPECT_FALSE(second.contains(input)) << input;
    const RunResult status = Ok({"batch", "--status", At("out")});
    EXPECT_NE(status.out.find("files done: 5"), std::string::npos) << status.out;
}

TEST_F(Batch, ABatchThatCannotRunSaysWhyWithRestoresExitCodes) {
    MakeCollection(1);
    EXPECT_EQ(Sonavel({"batch", At("out")}).code, 2);
    EXPECT_EQ(Sonavel({"batch", At("in"), At("out"), "--wait"}).code, 2);
    EXPECT_EQ(Sonavel({"batch", At("in"), At("out"), "-j", "0"}).code, 2);
    EXPECT_EQ(Sonavel({"batch", At("missing"), At("out")}).code, 3);
    EXPECT_EQ(Sonavel({"batch", At("in"), At("out"), "--profile", At("in/f0.wav")}).code, 3);
    std::ofstream(At("file")) << "x";
    EXPECT_EQ(Sonavel({"batch", At("in"), At("file/out")}).code, 4);

    // No sbatch: the job script stays for the user, with the task's own command.
    const ScopedEnv noSbatch("PATH", "/nonexistent");
    const RunResult slurm = Sonavel(
        {"batch", At("in"), At("out"), "--slurm", "--shards", "3", "-j", "2", "--amount", "0.7"});
    EXPECT_EQ(slurm.code, 2);
    EXPECT_NE(slurm.err.find("sbatch is not on the PATH"), std::string::npos) << slurm.err;
    const std::string script = ReadText(At("out/sonavel-batch.sbatch"));
    EXPECT_NE(script.find("#SBATCH --array=0-2"), std::string::npos) << script;
    EXPECT_NE(script.find("#SBATCH --cpus-per-task=2"), std::string::npos) << script;
    EXPECT_NE(script.find(" batch " + At("in") + " " + At("out") + " --amount 0.7 -j 2 --shard"),
              std::string::npos)
        << script;
}

} // namespace
