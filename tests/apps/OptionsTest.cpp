#include <gtest/gtest.h>

#include "apps/CliError.h"
#include "apps/CommandLine.h"
#include "apps/Options.h"
#include "apps/SlurmSubmit.h"

namespace {

template <class Parsed> Parsed Parse(std::initializer_list<std::string_view> args) {
    return std::get<Parsed>(ParseCommandLine(args));
}

// The exit code and reason a command line is refused with; 0 when it parses.
std::pair<int, std::string> Refusal(const std::vector<std::string_view>& args) {
    try {
        ParseCommandLine(args);
    } catch (const CliError& error) {
        return {error.Code(), error.what()};
    }
    return {0, ""};
}

// The last of an option given twice counts.
TEST(Options, RestoreTakesFilesSlidersSwitchesAndFormat) {
    const auto o =
        Parse<RestoreOptions>({"restore", "in.wav", "--amount", "0.1", "--amount=0.25",
                               "--sensitivity", "1", "--no-declick", "--noise-only", "--format",
                               "pcm24", "--train", "0:01-0:02.5", "--force", "--", "--out.wav"});
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "--out.wav");
    EXPECT_FLOAT_EQ(*o.settings.amount, 0.25f);
    EXPECT_FLOAT_EQ(*o.settings.sensitivity, 1.0f);
    EXPECT_FALSE(o.settings.declickSensitivity);
    EXPECT_EQ(o.settings.declick, false);
    EXPECT_EQ(o.settings.noiseOnly, true);
    EXPECT_FALSE(o.settings.declip);
    EXPECT_EQ(o.format, SampleFormat::Pcm24);
    EXPECT_DOUBLE_EQ(o.trainRange->start, 1.0);
    EXPECT_DOUBLE_EQ(*o.trainRange->end, 2.5);
    EXPECT_TRUE(o.force);
}

// Without a source of the noise restore finds it itself; the last --train counts.
TEST(Options, RestoreLearnsAutomaticallyUnlessToldWhereAndChoosesTheQuality) {
    const auto plain = Parse<RestoreOptions>({"restore", "a", "b"});
    EXPECT_TRUE(plain.trainAuto);
    EXPECT_TRUE(plain.highQuality);
    const auto standard = Parse<RestoreOptions>(
        {"restore", "a", "b", "--quality", "standard", "--train", "1-2", "--train", "auto"});
    EXPECT_TRUE(standard.trainAuto);
    EXPECT_FALSE(standard.trainRange);
    EXPECT_FALSE(standard.highQuality);
    for (const auto& given : {std::initializer_list<std::string_view>{"--profile", "p"},
                              {"--train-file", "t"},
                              {"--train", "auto", "--train", "0-1"}}) {
        std::vector<std::string_view> args{"restore", "a", "b"};
        args.insert(args.end(), given.begin(), given.end());
        EXPECT_FALSE(std::get<RestoreOptions>(ParseCommandLine(args)).trainAuto) << args[3];
    }
}

// Usage errors, each with the reason the user reads (where one is given here).
TEST(Options, MalformedCommandLinesAreUsageErrors) {
    const std::pair<std::vector<std::string_view>, std::string> malformed[] = {
        {{}, ""},
        {{"restroe", "a", "b"}, ""},
        {{"restore", "a"}, ""},
        {{"restore", "a", "b", "c"}, ""},
        {{"restore", "a", "b", "--amount", "nan"}, ""},
        {{"restore", "a", "b", "--amount"}, "--amount needs a value"},
        {{"restore", "a", "b", "--mono=yes"}, "--mono takes no value"},
        {{"restore", "a", "--bogus=1", "b"}, "unknown option --bogus"},
        {{"restore", "a", "b", "--format", "pcm8"}, ""},
        {{"restore", "a", "b", "--quality", "best"}, ""},
        {{"restore", "a", "b", "--profile", "p", "--train", "0-1"}, ""},
        {{"restore", "a", "b", "--train", "auto", "--profile", "p"}, ""},
        {{"restore", "a", "b", "--train", "auto", "--train-file", "t"}, ""},
        {{"train", "a"}, "train needs INPUT and PROFILE"},
        {{"train", "a", "b", "--range", "2-1"}, ""},
        {{"info", "--rate", "44100.5"}, ""},
        {{"info", "extra"}, ""},
        {{"demo", "a", "b"}, ""},
        {{"help", "bogus"}, "unknown command 'bogus' (sonavel --help lists them)"},
        {{"batch", "a", "b", "--profile", "p", "--train", "0-1"},
         "--profile and --train/--train-file both give the noise profile; choose one"},
        {{"batch", "a", "b", "--slurm", "--shard", "0/2"},
         "--slurm chooses the shards itself; leave out --shard"},
        {{"batch", "--status", "a", "b"}, "batch --status takes OUTDIR alone"},
        {{"batch", "a", "b", "-j", "2000"}, "-j takes a whole number from 1 to 1024"}};
    for (const auto& [args, reason] : malformed) {
        const auto [code, said] = Refusal(args);
        EXPECT_EQ(code, ExitCode::usage) << (args.empty() ? "" : args.back());
        EXPECT_TRUE(reason.empty() || said == reason) << said;
    }
}

TEST(Options, TimesAreSecondsOrMinutesAndHours) {
    EXPECT_DOUBLE_EQ(ParseTime("12.5"), 12.5);
    EXPECT_DOUBLE_EQ(ParseTime("1:02.5"), 62.5);
    EXPECT_DOUBLE_EQ(ParseTime("1:00:02"), 3602.0);
    EXPECT_DOUBLE_EQ(ParseTime("90"), 90.0);
    for (const char* bad : {"", "1:75", "1.5:00", "a", "1:2:3:4", "-1", "1:"})
        EXPECT_THROW(ParseTime(bad), CliError) << bad;
    const TimeRange open = ParseTimeRange("1:30-");
    EXPECT_DOUBLE_EQ(open.start, 90.0);
    EXPECT_FALSE(open.end);
    EXPECT_THROW(ParseTimeRange("3"), CliError);
    EXPECT_THROW(ParseTimeRange("-3"), CliError);
}

// The rest of info's and train's options are read back by the LV2 host test, which
// compares `info --json --rate` and `train --range` with the plug-in.
TEST(Options, OtherCommands) {
    EXPECT_EQ(Parse<InfoOptions>({"info"}).rate, 44100u);
    const auto train = Parse<TrainOptions>({"train", "n.wav", "p", "--amount", "0.7", "--quiet"});
    EXPECT_FLOAT_EQ(*train.settings.amount, 0.7f);
    EXPECT_TRUE(train.quiet);
    EXPECT_EQ(Parse<DemoOptions>({"demo"}).dir, "sonavel-demo");
    EXPECT_EQ(Parse<DemoOptions>({"demo", "out"}).dir, "out");
    EXPECT_TRUE(Parse<DemoOptions>({"demo", "d", "--force"}).force);
}

// --help anywhere gives the command's own text, and the whole help holds every one.
TEST(Options, HelpAndVersionComeFromTheOneDescriptionOfEachCommand) {
    EXPECT_TRUE(Parse<HelpRequest>({"--version"}).text.starts_with("sonavel 1."));
    EXPECT_EQ(Parse<HelpRequest>({"restore", "a", "--help"}).text,
              Parse<HelpRequest>({"help", "restore"}).text);
    EXPECT_TRUE(std::holds_alternative<HelpRequest>(ParseCommandLine({"help"})));
    const std::string all = Parse<HelpRequest>({"--help"}).text;
    for (const char* command : {"restore", "train", "info", "demo"}) {
        const auto help = std::get<HelpRequest>(ParseCommandLine({"help", command})).text;
        EXPECT_NE(all.find(help), std::string::npos) << command;
    }
}

// A batch reads restore's options for every file; its Slurm tasks get them back without
// the options that only the submission reads.
TEST(Options, BatchTakesRestoresOptionsAndHandsThemToItsTasks) {
    const auto batch = Parse<BatchOptions>(
        {"batch", "a", "b", "c", "--amount", "0.3", "-j", "3", "--shard", "1/4", "--ext", ".flac"});
    EXPECT_EQ(batch.inputs, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(batch.outputFolder, "c");
    EXPECT_FLOAT_EQ(*batch.restore.settings.amount, 0.3f);
    EXPECT_EQ(*batch.jobs, 3u);
    EXPECT_EQ(batch.shard->index, 1u);
    EXPECT_EQ(*batch.extension, "flac");
    EXPECT_EQ(
        TaskArguments({"batch", "in", "out", "--slurm", "--shards=4", "-j", "2", "--sbatch-args",
                       "-p x", "--wait", "-j3", "--amount", "0.5", "--", "-odd"}),
        (std::vector<std::string>{"in", "out", "--amount", "0.5", "--", "-odd"}));
}

} // namespace
