#pragma once
// What each command takes, as values, and the conversions from the text a user types
// to those values. Anything malformed is a CliError with the usage exit code.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "apps/SampleFormat.h"
#include "apps/Settings.h"
#include "apps/Shards.h"

// A stretch of a file in seconds; no end means to the end of the file.
struct TimeRange {
    double start = 0.0;
    std::optional<double> end;
};

struct RestoreOptions {
    std::string input;
    std::string output;
    std::optional<TimeRange> trainRange;
    std::optional<std::string> trainFile;
    std::optional<std::string> profile;
    // --train auto, and the default without --train, --train-file or --profile.
    bool trainAuto = false;
    // The log-spectral reducer; standard is the DirectShow filter's.
    bool highQuality = true;
    Settings settings;
    std::optional<SampleFormat> format;
    // The page that shows what the run did.
    std::optional<std::string> report;
    bool force = false;
    bool quiet = false;
};

// `restore` for every audio file of a collection; `restore` holds the options shared
// by every file, with no input or output of its own.
struct BatchOptions {
    std::vector<std::string> inputs;
    std::string outputFolder;
    RestoreOptions restore;
    std::optional<std::string> extension;
    std::optional<unsigned> jobs; // none: the number of cores
    std::optional<ShardSpec> shard;
    bool progress = false; // draw it even when stderr is not a terminal
    bool status = false;   // only report where OUTDIR stands
    bool slurm = false;
    std::optional<std::size_t> shards;
    std::string sbatchArguments;
    bool wait = false;
};

struct ReportOptions {
    std::string input;
    std::string output;
    std::string report;
    // The gain the restore put on its output on purpose (-6 dB with declipping on);
    // estimated from the two files when not given.
    std::optional<double> declipGainDb;
    bool force = false;
};

struct TrainOptions {
    std::string input;
    std::string profile;
    std::optional<TimeRange> range;
    Settings settings;
    bool force = false;
    bool quiet = false;
};

struct InfoOptions {
    std::uint32_t rate = 44100;
    bool json = false;
};

struct DemoOptions {
    std::string dir = "sonavel-demo";
    bool force = false;
};

// "12.5", "1:02.5" or "1:00:02.5" as seconds.
double ParseTime(std::string_view text);
// "START-END" or "START-".
TimeRange ParseTimeRange(std::string_view text);
// A slider's value, 0 to 1; `option` names it in the message.
float ParseUnit(std::string_view option, std::string_view text);
// A sample rate for `info`, a whole number of Hz.
std::uint32_t ParseRate(std::string_view text);
SampleFormat ParseFormat(std::string_view text);
// "high" (true) or "standard" (false).
bool ParseHighQuality(std::string_view text);
// A gain in dB from -40 to +40; `option` names it in the message.
double ParseGainDb(std::string_view option, std::string_view text);
