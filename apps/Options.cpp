#include "apps/Options.h"

#include <charconv>
#include <cmath>

#include "apps/CliError.h"

const char* const usageText =
    R"(usage: sonavel restore INPUT OUTPUT [options]
         --train START-END         learn the noise from this range of INPUT (seconds or m:ss.s)
         --train-file FILE         learn it from another file (all of it, or its --train range)
         --profile FILE            use a profile saved by `sonavel train`
         --amount V                noise reduction amount, 0 to 1 (default 0.5)
         --sensitivity V           noise reduction sensitivity, 0 to 1 (default 0.5)
         --declick-sensitivity V   click detection sensitivity, 0 to 1 (default 0.5)
         --no-denoise  --no-declick  --no-declip   switch a stage off
         --noise-only              output only what was removed
         --mono                    process stereo as mono
         --format pcm16|pcm24|pcm32|float|double   output samples (default: the input's)
         --force                   replace OUTPUT if it exists
         --quiet                   no progress bar
       sonavel train INPUT PROFILE [--range START-END] [restore's settings] [--force] [--quiet]
       sonavel info [--rate HZ] [--json]
       sonavel demo [DIR]
exit codes: 0 done, 2 command line, 3 input file, 4 output file, 128+N stopped by signal N
)";

namespace {

[[noreturn]] void Fail(const std::string& reason) {
    throw CliError(ExitCode::usage, reason);
}

// "--name" or "--name=value".
struct Token {
    std::string_view name;
    std::optional<std::string_view> value;
};

class ArgReader {
public:
    explicit ArgReader(const std::vector<std::string_view>& args) : args(args) {}

    bool More() const { return next < args.size(); }
    std::string_view Take() { return args[next++]; }

    std::string_view ValueOf(const Token& token) {
        if (token.value) return *token.value;
        if (!More()) Fail(std::string(token.name) + " needs a value");
        return Take();
    }

private:
    const std::vector<std::string_view>& args;
    std::size_t next = 1;
};

void NoValue(const Token& token) {
    if (token.value) Fail(std::string(token.name) + " takes no value");
}

std::optional<double> ToNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double ParseNumber(std::string_view text, const std::string& what) {
    const std::optional<double> value = ToNumber(text);
    if (!value) Fail(what + ": '" + std::string(text) + "' is not a number");
    return *value;
}

float ParseUnit(const Token& token, std::string_view text) {
    const std::string option(token.name);
    const double value = ParseNumber(text, option);
    if (value < 0.0 || value > 1.0)
        Fail(option + " wants a value from 0 to 1, not " + std::string(text));
    return float(value);
}

std::uint32_t ParseRate(std::string_view text) {
    const double value = ParseNumber(text, "--rate");
    if (value != std::floor(value) || value < 1000.0 || value > 1000000.0)
        Fail("--rate wants a whole number of Hz from 1000 to 1000000, not " + std::string(text));
    return std::uint32_t(value);
}

SampleFormat ParseFormat(std::string_view text) {
    for (const SampleFormatName& entry : sampleFormatNames) {
        if (entry.name == text) return entry.format;
    }
    Fail("--format wants pcm16, pcm24, pcm32, float or double, not '" + std::string(text) + "'");
}

bool TakeSetting(const Token& token, ArgReader& reader, Settings& settings) {
    for (const SliderOption& slider : sliderOptions) {
        if (token.name != slider.option) continue;
        settings.*slider.field = ParseUnit(token, reader.ValueOf(token));
        return true;
    }
    for (const SwitchOption& option : switchOptions) {
        if (token.name != option.option) continue;
        NoValue(token);
        settings.*option.field = option.value;
        return true;
    }
    return false;
}

bool TakeFlag(const Token& token, std::string_view name, bool& flag) {
    if (token.name != name) return false;
    NoValue(token);
    flag = true;
    return true;
}

// Hands every option to `take`, which returns false for one it does not know, and
// returns the other arguments in order. After "--" every argument is a file name.
template <class Take> std::vector<std::string_view> Walk(ArgReader& reader, Take take) {
    std::vector<std::string_view> positionals;
    bool optionsEnded = false;
    while (reader.More()) {
        const std::string_view arg = reader.Take();
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (optionsEnded || !arg.starts_with("--")) {
            positionals.push_back(arg);
        } else {
            const std::size_t equals = arg.find('=');
            Token token{arg.substr(0, equals), std::nullopt};
            if (equals != std::string_view::npos) token.value = arg.substr(equals + 1);
            if (!take(token)) Fail("unknown option " + std::string(token.name));
        }
    }
    return positionals;
}

void ExpectFiles(const std::vector<std::string_view>& files, std::size_t count, const char* usage) {
    if (files.size() != count) Fail(usage);
}

RestoreOptions ParseRestore(ArgReader& reader) {
    RestoreOptions o;
    const auto files = Walk(reader, [&](const Token& t) {
        if (t.name == "--train") return o.trainRange = ParseTimeRange(reader.ValueOf(t)), true;
        if (t.name == "--train-file") return o.trainFile = std::string(reader.ValueOf(t)), true;
        if (t.name == "--profile") return o.profile = std::string(reader.ValueOf(t)), true;
        if (t.name == "--format") return o.format = ParseFormat(reader.ValueOf(t)), true;
        return TakeFlag(t, "--force", o.force) || TakeFlag(t, "--quiet", o.quiet) ||
               TakeSetting(t, reader, o.settings);
    });
    ExpectFiles(files, 2, "restore needs INPUT and OUTPUT");
    o.input = files[0];
    o.output = files[1];
    if (o.profile && (o.trainRange || o.trainFile))
        Fail("--profile and --train/--train-file both give the noise profile; choose one");
    return o;
}

TrainOptions ParseTrain(ArgReader& reader) {
    TrainOptions o;
    const auto files = Walk(reader, [&](const Token& t) {
        if (t.name == "--range") return o.range = ParseTimeRange(reader.ValueOf(t)), true;
        return TakeFlag(t, "--force", o.force) || TakeFlag(t, "--quiet", o.quiet) ||
               TakeSetting(t, reader, o.settings);
    });
    ExpectFiles(files, 2, "train needs INPUT and PROFILE");
    o.input = files[0];
    o.profile = files[1];
    return o;
}

InfoOptions ParseInfo(ArgReader& reader) {
    InfoOptions o;
    const auto files = Walk(reader, [&](const Token& t) {
        if (t.name == "--rate") return o.rate = ParseRate(reader.ValueOf(t)), true;
        return TakeFlag(t, "--json", o.json);
    });
    ExpectFiles(files, 0, "info takes no file");
    return o;
}

DemoOptions ParseDemo(ArgReader& reader) {
    DemoOptions o;
    const auto files = Walk(reader, [](const Token&) { return false; });
    if (files.size() > 1) Fail("demo takes at most one folder");
    if (!files.empty()) o.dir = files[0];
    return o;
}

bool WantsHelp(const std::vector<std::string_view>& args) {
    for (const std::string_view arg : args) {
        if (arg == "--") return false;
        if (arg == "-h" || arg == "--help") return true;
    }
    return args[0] == "help";
}

} // namespace

double ParseTime(std::string_view text) {
    const std::string original(text);
    double seconds = 0.0;
    for (int field = 0;; ++field) {
        const std::size_t colon = text.find(':');
        const bool last = colon == std::string_view::npos;
        const std::optional<double> value = ToNumber(text.substr(0, colon));
        if (!value || field > 2 || *value < 0.0 || (!last && *value != std::floor(*value)) ||
            (field > 0 && *value >= 60.0))
            Fail("'" + original + "' is not a time (seconds, m:ss.s or h:mm:ss.s)");
        seconds = seconds * 60.0 + *value;
        if (last) return seconds;
        text.remove_prefix(colon + 1);
    }
}

TimeRange ParseTimeRange(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || dash == 0)
        Fail("'" + std::string(text) + "' is not a range START-END");
    TimeRange range{ParseTime(text.substr(0, dash)), std::nullopt};
    if (dash + 1 < text.size()) range.end = ParseTime(text.substr(dash + 1));
    if (range.end && *range.end <= range.start)
        Fail("the range '" + std::string(text) + "' ends before it starts");
    return range;
}

Command ParseCommandLine(const std::vector<std::string_view>& args) {
    if (args.empty()) Fail("no command given (sonavel --help lists them)");
    if (WantsHelp(args)) return HelpRequest{};
    ArgReader reader(args);
    if (args[0] == "restore") return ParseRestore(reader);
    if (args[0] == "train") return ParseTrain(reader);
    if (args[0] == "info") return ParseInfo(reader);
    if (args[0] == "demo") return ParseDemo(reader);
    Fail("unknown command '" + std::string(args[0]) + "' (sonavel --help lists them)");
}
