#pragma once
// The command line: which command, its files and its options, checked and converted
// to values. Anything malformed is a CliError with the usage exit code.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "apps/SampleFormat.h"
#include "apps/Settings.h"

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
    Settings settings;
    std::optional<SampleFormat> format;
    bool force = false;
    bool quiet = false;
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
};

struct HelpRequest {};

using Command = std::variant<HelpRequest, RestoreOptions, TrainOptions, InfoOptions, DemoOptions>;

// args excludes the program name.
Command ParseCommandLine(const std::vector<std::string_view>& args);

// "12.5", "1:02.5" or "1:00:02.5" as seconds.
double ParseTime(std::string_view text);
// "START-END" or "START-".
TimeRange ParseTimeRange(std::string_view text);

extern const char* const usageText;
