#include "apps/CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>

#include "apps/CliError.h"

#ifndef SONAVEL_VERSION
#error "the build defines SONAVEL_VERSION"
#endif

namespace {

[[noreturn]] void Fail(const std::string& reason) {
    throw CliError(ExitCode::usage, reason);
}

const char* const exitCodesText =
    "exit codes: 0 done, 2 command line, 3 input file, 4 output file, 5 some files of a batch "
    "failed, 128+N stopped by signal N\n";

// A file named on the command line, in order.
struct Positional {
    const char* name;
    const char* help;
};

// One command: its options bound to a value of its options struct, then the checks
// that need the positionals.
class CommandSpec {
public:
    virtual ~CommandSpec() = default;
    virtual void Define(CLI::App& app) = 0;
    // The positionals the command takes, for the help and for Finish.
    virtual std::vector<Positional> Positionals() const = 0;
    // `files` are the positionals given, in order; there may be too few or too many.
    virtual Command Finish(const std::vector<std::string>& files) = 0;
};

// Options that take a value, converted as soon as they are read; given twice, the last
// one counts.
template <class Convert>
CLI::Option* AddValue(CLI::App& app, const char* name, const char* typeName, const char* help,
                      Convert convert) {
    return app
        .add_option_function<std::string>(
            name, [convert](const std::string& text) { convert(text); }, help)
        ->type_name(typeName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

CLI::Option* AddFlag(CLI::App& app, const char* name, bool& flag, const char* help) {
    return app
        .add_flag_callback(
            name, [&flag] { flag = true; }, help)
        ->disable_flag_override();
}

void AddSettings(CLI::App& app, Settings& settings) {
    for (const SliderOption& slider : sliderOptions) {
        AddValue(app, slider.option.data(), "V", slider.help, [&settings, slider](auto& text) {
            settings.*slider.field = ParseUnit(slider.option, text);
        });
    }
    for (const SwitchOption& option : switchOptions) {
        app.add_flag_callback(
               option.option.data(), [&settings, option] { settings.*option.field = option.value; },
               option.help)
            ->disable_flag_override();
    }
}

void ExpectFiles(const std::vector<std::string>& files, std::size_t count, const char* usage) {
    if (files.size() != count) Fail(usage);
}

class RestoreSpec : public CommandSpec {
public:
    void Define(CLI::App& app) override {
        AddValue(app, "--train", "START-END|auto",
                 "learn the noise from this range of INPUT (seconds or m:ss.s; START- runs "
                 "to the end); auto, the default without --train-file or --profile, finds "
                 "noise-only stretches or the quietest moments itself",
                 [this](auto& text) { SetTrain(text); });
        AddValue(app, "--train-file", "FILE",
                 "learn it from another file (all of it, or its --train range)",
                 [this](auto& text) { o.trainFile = text; });
        AddValue(app, "--profile", "FILE", "use a profile saved by `sonavel train`",
                 [this](auto& text) { o.profile = text; });
        AddValue(app, "--quality", "high|standard",
                 "the noise reducer: high (default) or standard, the DirectShow filter's",
                 [this](auto& text) { o.highQuality = ParseHighQuality(text); });
        AddSettings(app, o.settings);
        AddValue(app, "--format", "pcm16|pcm24|pcm32|float|double",
                 "output samples (default: the input's)",
                 [this](auto& text) { o.format = ParseFormat(text); });
        AddValue(app, "--report", "FILE.html", "write a page that shows what was restored",
                 [this](auto& text) { o.report = text; });
        AddFlag(app, "--force", o.force, "replace OUTPUT (and the report) if it exists");
        AddFlag(app, "--quiet", o.quiet, "no progress bar, no line on where the noise was learnt");
    }
    std::vector<Positional> Positionals() const override {
        return {{"INPUT", "the damaged audio file"},
                {"OUTPUT", "the restored file; its extension picks the file type"}};
    }
    Command Finish(const std::vector<std::string>& files) override {
        ExpectFiles(files, 2, "restore needs INPUT and OUTPUT");
        o.input = files[0];
        o.output = files[1];
        if (o.profile && (o.trainRange || o.trainFile || o.trainAuto))
            Fail("--profile and --train/--train-file both give the noise profile; choose one");
        if (o.trainAuto && o.trainFile) Fail("--train auto learns from INPUT; drop --train-file");
        if (!o.profile && !o.trainRange && !o.trainFile) o.trainAuto = true;
        return o;
    }

private:
    void SetTrain(const std::string& text) {
        o.trainAuto = text == "auto";
        if (o.trainAuto) {
            o.trainRange.reset();
        } else {
            o.trainRange = ParseTimeRange(text);
        }
    }

    RestoreOptions o;
};

// A count given on the command line, 1 to `most`.
unsigned ParseCount(std::string_view option, const std::string& text, unsigned most) {
    const bool digits = !text.empty() && text.size() <= 6 &&
                        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoul(text) < 1 || std::stoul(text) > most)
        Fail(std::string(option) + " takes a whole number from 1 to " + std::to_string(most));
    return unsigned(std::stoul(text));
}

// restore's options, for every file, and the batch's own.
class BatchSpec : public RestoreSpec {
public:
    void Define(CLI::App& app) override {
        RestoreSpec::Define(app);
        app.get_option("--force")->description("restore again the files whose output exists");
        app.get_option("--quiet")->description("no progress line");
        AddValue(app, "-j,--jobs", "N", "files restored at a time (default: the number of cores)",
                 [this](auto& text) { o.jobs = ParseCount("-j", text, 1024); });
        AddValue(app, "--ext", "EXT",
                 "the outputs' extension, which picks their file type (default: the input's)",
                 [this](auto& text) { o.extension = ExtensionOf(text); });
        AddFlag(app, "--progress", o.progress, "draw the progress line even off a terminal");
        AddValue(app, "--shard", "I/N", "restore only shard I of N, balanced by audio duration",
                 [this](auto& text) { o.shard = ParseShard(text); });
        AddFlag(app, "--slurm", o.slurm, "run the shards as a Slurm job array and print its id");
        AddValue(app, "--shards", "N", "with --slurm: the array's tasks (default: 8 or fewer)",
                 [this](auto& text) { o.shards = ParseCount("--shards", text, 10000); });
        AddValue(app, "--sbatch-args", "\"...\"", "with --slurm: more sbatch options",
                 [this](auto& text) { o.sbatchArguments = text; });
        AddFlag(app, "--wait", o.wait, "with --slurm: wait for the array, then print the summary");
        AddFlag(app, "--status", o.status, "print where the collection in OUTDIR stands");
    }
    std::vector<Positional> Positionals() const override {
        return {{"INPUT", "audio files or folders; more may follow"},
                {"OUTDIR", "the folder the restored tree goes to"}};
    }
    Command Finish(const std::vector<std::string>& files) override {
        o.restore = std::get<RestoreOptions>(RestoreSpec::Finish({"INPUT", "OUTPUT"}));
        o.restore.input.clear();
        o.restore.output.clear();
        if (o.restore.report) Fail("--report shows one file; run `sonavel report` on each pair");
        if (o.status) {
            ExpectFiles(files, 1, "batch --status takes OUTDIR alone");
            o.outputFolder = files[0];
            return o;
        }
        if (files.size() < 2) Fail("batch needs at least one INPUT and OUTDIR");
        o.inputs.assign(files.begin(), files.end() - 1);
        o.outputFolder = files.back();
        if (o.slurm && o.shard) Fail("--slurm chooses the shards itself; leave out --shard");
        if (!o.slurm && (o.shards || o.wait || !o.sbatchArguments.empty()))
            Fail("--shards, --wait and --sbatch-args go with --slurm");
        return o;
    }

private:
    static std::string ExtensionOf(const std::string& text) {
        const std::string extension = text.starts_with(".") ? text.substr(1) : text;
        if (extension.empty() || extension.find('/') != std::string::npos)
            Fail("--ext takes an extension such as flac");
        return extension;
    }

    BatchOptions o;
};

class TrainSpec : public CommandSpec {
public:
    void Define(CLI::App& app) override {
        AddValue(app, "--range", "START-END", "learn from this range of INPUT only",
                 [this](auto& text) { o.range = ParseTimeRange(text); });
        AddSettings(app, o.settings);
        AddFlag(app, "--force", o.force, "replace PROFILE if it exists");
        AddFlag(app, "--quiet", o.quiet, "no progress bar");
    }
    std::vector<Positional> Positionals() const override {
        return {{"INPUT", "audio holding the noise alone"},
                {"PROFILE", "the profile to write: the learnt noise and the settings"}};
    }
    Command Finish(const std::vector<std::string>& files) override {
        ExpectFiles(files, 2, "train needs INPUT and PROFILE");
        o.input = files[0];
        o.profile = files[1];
        return o;
    }

private:
    TrainOptions o;
};

class ReportSpec : public CommandSpec {
public:
    void Define(CLI::App& app) override {
        AddValue(app, "--declip-gain", "DB",
                 "the gain restore put on OUTPUT (-6 with declipping on, else 0; default: "
                 "the nearer of the two to the least-squares gain from INPUT to OUTPUT)",
                 [this](auto& text) { o.declipGainDb = ParseGainDb("--declip-gain", text); });
        AddFlag(app, "--force", o.force, "replace REPORT if it exists");
    }
    std::vector<Positional> Positionals() const override {
        return {{"INPUT", "the damaged audio file"},
                {"OUTPUT", "what `sonavel restore` made of it (aligned with INPUT)"},
                {"REPORT", "the page to write"}};
    }
    Command Finish(const std::vector<std::string>& files) override {
        ExpectFiles(files, 3, "report needs INPUT, OUTPUT and REPORT");
        o.input = files[0];
        o.output = files[1];
        o.report = files[2];
        return o;
    }

private:
    ReportOptions o;
};

class InfoSpec : public CommandSpec {
public:
    void Define(CLI::App& app) override {
        AddValue(app, "--rate", "HZ", "the sample rate the latencies are given at (default 44100)",
                 [this](auto& text) { o.rate = ParseRate(text); });
        AddFlag(app, "--json", o.json, "print it as JSON");
    }
    std::vector<Positional> Positionals() const override { return {}; }
    Command Finish(const std::vector<std::string>& files) override {
        ExpectFiles(files, 0, "info takes no file");
        return o;
    }

private:
    InfoOptions o;
};

class DemoSpec : public CommandSpec {
public:
    void Define(CLI::App& app) override {
        AddFlag(app, "--force", o.force, "replace the demo's files in DIR if they exist");
    }
    std::vector<Positional> Positionals() const override {
        return {{"DIR", "the folder for the demo's files (default ./sonavel-demo)"}};
    }
    Command Finish(const std::vector<std::string>& files) override {
        if (files.size() > 1) Fail("demo takes at most one folder");
        if (!files.empty()) o.dir = files[0];
        return o;
    }

private:
    DemoOptions o;
};

struct CommandEntry {
    const char* name;
    const char* synopsis;
    const char* summary;
    std::unique_ptr<CommandSpec> (*make)();
};

template <class Spec> std::unique_ptr<CommandSpec> Make() {
    return std::make_unique<Spec>();
}

const CommandEntry commands[] = {
    {"restore", "INPUT OUTPUT [options]", "restore a file", Make<RestoreSpec>},
    {"batch", "INPUT... OUTDIR [opts]", "restore a collection of files or folders",
     Make<BatchSpec>},
    {"train", "INPUT PROFILE [options]", "learn the noise and save it as a profile",
     Make<TrainSpec>},
    {"report", "INPUT OUTPUT REPORT",
     "a page that shows what an earlier restore did", Make<ReportSpec>},
    {"info", "[--rate HZ] [--json]", "parameters, defaults and latencies", Make<InfoSpec>},
    {"demo", "[DIR] [--force]", "the built-in example", Make<DemoSpec>},
};

const CommandEntry* Find(std::string_view name) {
    const auto entry = std::find_if(std::begin(commands), std::end(commands),
                                    [&](const CommandEntry& c) { return c.name == name; });
    return entry == std::end(commands) ? nullptr : entry;
}

[[noreturn]] void UnknownCommand(std::string_view name) {
    Fail("unknown command '" + std::string(name) + "' (sonavel --help lists them)");
}

// A command's CLI11 app with its options bound to `definition`; the positionals land in
// `files`, one slot each.
std::unique_ptr<CLI::App> BuildApp(const CommandEntry& entry, CommandSpec& definition,
                                   std::vector<std::string>& files) {
    auto app = std::make_unique<CLI::App>(entry.summary, std::string("sonavel ") + entry.name);
    const std::vector<Positional> positionals = definition.Positionals();
    files.resize(positionals.size());
    for (std::size_t i = 0; i < positionals.size(); ++i)
        app->add_option(positionals[i].name, files[i], positionals[i].help)->type_name("");
    definition.Define(*app);
    // Anything CLI11 does not know is ours to explain, in our words.
    app->allow_extras();
    return app;
}

std::string CommandHelp(const CommandEntry& entry) {
    const std::unique_ptr<CommandSpec> definition = entry.make();
    std::vector<std::string> files;
    return BuildApp(entry, *definition, files)->help();
}

// The positionals CLI11 took, then the ones it left over; an unknown option is an error.
std::vector<std::string> FilesGiven(const CLI::App& app, const std::vector<std::string>& slots,
                                    const std::vector<Positional>& positionals) {
    std::vector<std::string> files;
    for (std::size_t i = 0; i < positionals.size(); ++i) {
        if (app.get_option(positionals[i].name)->count() > 0) files.push_back(slots[i]);
    }
    bool optionsEnded = false;
    for (const std::string& arg : app.remaining()) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            Fail("unknown option " + arg.substr(0, arg.find('=')));
        } else {
            files.push_back(arg);
        }
    }
    return files;
}

// CLI11's ArgumentMismatch in our words: a switch given a value, or an option at the
// end without one.
std::string ExplainMismatch(const CLI::App& app, const std::vector<std::string_view>& args,
                            const std::string& fallback) {
    for (const std::string_view arg : args) {
        if (arg == "--") break;
        const std::size_t equals = arg.find('=');
        if (!arg.starts_with("--") || equals == std::string_view::npos) continue;
        const std::string name(arg.substr(0, equals));
        const CLI::Option* option = app.get_option_no_throw(name);
        if (option != nullptr && option->get_expected_max() == 0) return name + " takes no value";
    }
    if (!args.empty() && args.back().starts_with("--"))
        return std::string(args.back()) + " needs a value";
    return fallback;
}

Command ParseCommand(const CommandEntry& entry, const std::vector<std::string_view>& rest) {
    const std::unique_ptr<CommandSpec> definition = entry.make();
    std::vector<std::string> slots;
    const std::unique_ptr<CLI::App> app = BuildApp(entry, *definition, slots);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(rest.rbegin(), rest.rend());
    try {
        app->parse(reversed);
    } catch (const CLI::CallForHelp&) {
        return HelpRequest{app->help()};
    } catch (const CLI::ArgumentMismatch& error) {
        Fail(ExplainMismatch(*app, rest, error.what()));
    } catch (const CLI::ParseError& error) {
        Fail(error.what());
    }
    return definition->Finish(FilesGiven(*app, slots, definition->Positionals()));
}

Command Help(const std::vector<std::string_view>& args) {
    if (args.size() == 1) return HelpRequest{UsageText()};
    if (args.size() > 2) Fail("help takes one command");
    const CommandEntry* entry = Find(args[1]);
    if (entry == nullptr) UnknownCommand(args[1]);
    return HelpRequest{CommandHelp(*entry)};
}

} // namespace

std::string UsageText() {
    std::string text = "usage:\n";
    for (const CommandEntry& entry : commands) {
        char line[160];
        std::snprintf(line, sizeof line, "  sonavel %-7s %-24s %s\n", entry.name, entry.synopsis,
                      entry.summary);
        text += line;
    }
    text += "  sonavel help COMMAND                     one command's options (or COMMAND "
            "--help)\n  sonavel --version\n";
    for (const CommandEntry& entry : commands)
        text += "\n" + CommandHelp(entry);
    return text + "\n" + exitCodesText;
}

Command ParseCommandLine(const std::vector<std::string_view>& args) {
    if (args.empty()) Fail("no command given (sonavel --help lists them)");
    const std::string_view first = args[0];
    if (first == "--version") return HelpRequest{"sonavel " SONAVEL_VERSION "\n"};
    if (first == "-h" || first == "--help") return HelpRequest{UsageText()};
    if (first == "help") return Help(args);
    const CommandEntry* entry = Find(first);
    if (entry == nullptr) {
        if (first.starts_with("-")) Fail("unknown option " + std::string(first));
        UnknownCommand(first);
    }
    return ParseCommand(*entry, {args.begin() + 1, args.end()});
}
