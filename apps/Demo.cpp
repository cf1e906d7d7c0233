#include "apps/Demo.h"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "apps/AtomicOutput.h"
#include "apps/AudioFile.h"
#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/MemoryFrames.h"
#include "apps/Progress.h"
#include "apps/ReportTaps.h"
#include "apps/RestoreReport.h"
#include "apps/StreamRunner.h"
#include "support/Measures.h"
#include "support/Signals.h"

namespace {

constexpr std::uint32_t rate = 44100;
constexpr double leadInSeconds = 2.0;
constexpr double musicSeconds = 6.0;
// The music peaks above full scale, so the converter of a hot transfer clips it.
constexpr float musicPeak = 1.4f;
constexpr float clipLevel = 1.0f;
constexpr double clicksPerSecond = 15.0;
constexpr float hissDb = -30.0f;
// The declipper lowers its output by 6 dB to make room for the peaks it rebuilds.
const double declipMakeUp = std::pow(10.0, 6.0 / 20.0);

// Restores with the stages listened to and the audio shown to the report, as
// `sonavel restore --report` does.
void RestoreShown(HostPlugin& plugin, StreamRunner& runner, MemorySource& source, MemorySink& sink,
                  ReportBuilder& report) {
    ReportedSource shownSource(source, report);
    ReportedSink shownSink(sink, report);
    Progress silent("", 0, true);
    plugin.ListenForRepairs(&report.Observer());
    const auto start = std::chrono::steady_clock::now();
    runner.Restore(shownSource, shownSink, silent);
    report.SetProcessingSeconds(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    plugin.ListenForRepairs(nullptr);
    AddPluginSettings(report, plugin, rate);
}

// The same as `sonavel restore` (its default reducer), with the noise learnt from the lead-in when asked.
StereoSignal Restore(const StereoSignal& input, const Settings& settings, bool trainOnLeadIn,
                     ReportBuilder* report) {
    HostPlugin plugin;
    plugin.SetHighQuality(true);
    ApplySettings(settings, plugin);
    StreamRunner runner(plugin, 2, input.rate);
    Progress silent("", 0, true);
    if (trainOnLeadIn) {
        MemorySource leadIn(input);
        runner.Train(leadIn, std::int64_t(leadInSeconds * input.rate), silent);
    }
    MemorySource source(input);
    MemorySink sink;
    sink.signal.rate = input.rate;
    if (report) {
        RestoreShown(plugin, runner, source, sink, *report);
    } else {
        runner.Restore(source, sink, silent);
    }
    return sink.signal;
}

// Signal-to-noise ratio of `x`, scaled by `gain`, against the clean signal over the
// frames [first, last), in dB; or, over the lead-in, where the clean signal is silent,
// the level of what is left of the damage, in dB below full scale.
double ErrorDb(const StereoSignal& clean, const StereoSignal& x, double gain, std::size_t first,
               std::size_t last) {
    ErrorEnergy energy;
    energy.Add(&clean.left[first], &x.left[first], last - first, gain);
    energy.Add(&clean.right[first], &x.right[first], last - first, gain);
    return energy.ReferenceEnergy() == 0.0 ? energy.ErrorLevelDb() : energy.SnrDb();
}

void WriteWave(const std::string& path, const StereoSignal& signal, float gain, bool replace) {
    StereoSignal scaled = signal;
    for (std::size_t i = 0; i < scaled.Frames(); ++i) {
        scaled.left[i] *= gain;
        scaled.right[i] *= gain;
    }
    AtomicOutput output(path, replace);
    AudioWriter writer(output, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, signal.rate);
    writer.Write(int(scaled.Frames()), scaled.left.data(), scaled.right.data());
    writer.Close();
    output.Commit();
}

constexpr const char* demoFiles[] = {"clean.wav", "damaged.wav", "restored.wav", "report.html"};

// A folder that already holds a file of the demo's is the user's; refused before any
// work unless they said it may be replaced.
void ExpectNoDemoFiles(const std::string& dir) {
    for (const char* name : demoFiles) {
        const std::string path = dir + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0)
            throw CliError(ExitCode::output, path + " exists (use --force to replace it)");
    }
}

void MakeFolder(const std::string& dir) {
    if (mkdir(dir.c_str(), 0777) == 0 || errno == EEXIST) {
        struct stat info {};
        if (stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return;
        errno = ENOTDIR;
    }
    throw CliError(ExitCode::output, dir + ": " + std::strerror(errno));
}

Settings Stages(bool declip, bool declick, bool denoise) {
    Settings settings;
    settings.declip = declip;
    settings.declick = declick;
    settings.denoise = denoise;
    return settings;
}

struct Trial {
    const char* label;
    const StereoSignal& damaged;
    Settings settings;
    bool train;
    ReportBuilder* report = nullptr;
};

std::string Level(double db) {
    char text[16];
    if (db < -150.0) return "-";
    std::snprintf(text, sizeof text, "%.1f", db);
    return text;
}

// Restores the trial's input and prints its line; returns the restored signal.
StereoSignal RunTrial(const Trial& trial, const StereoSignal& clean, std::ostream& out) {
    StereoSignal restored = Restore(trial.damaged, trial.settings, trial.train, trial.report);
    const double gain = *trial.settings.declip ? declipMakeUp : 1.0;
    const auto leadIn = std::size_t(leadInSeconds * clean.rate);
    const std::size_t all = clean.Frames();
    char line[200];
    std::snprintf(line, sizeof line, "  %-36s %6.1f %6.1f   %7s %7s\n", trial.label,
                  ErrorDb(clean, trial.damaged, 1.0, 0, all),
                  ErrorDb(clean, restored, gain, 0, all),
                  Level(ErrorDb(clean, trial.damaged, 1.0, 0, leadIn)).c_str(),
                  Level(ErrorDb(clean, restored, gain, 0, leadIn)).c_str());
    out << line << std::flush;
    return restored;
}

} // namespace

void RunDemo(const DemoOptions& options, std::ostream& out) {
    MakeFolder(options.dir);
    if (!options.force) ExpectNoDemoFiles(options.dir);
    const StereoSignal clean = SynthesiseMusic(leadInSeconds, musicSeconds, rate, musicPeak);
    StereoSignal clipped = clean;
    Clip(clipped, clipLevel);
    StereoSignal crackly = clean;
    AddCrackle(crackly, clicksPerSecond, 1);
    StereoSignal hissy = clean;
    AddHiss(hissy, hissDb, 2);
    // A hot transfer of a worn record: crackle and hiss, then the converter clips.
    StereoSignal damaged = clean;
    AddCrackle(damaged, clicksPerSecond, 1);
    AddHiss(damaged, hissDb, 2);
    Clip(damaged, clipLevel);

    out << "Sonavel demo: " << musicSeconds << " s of music after " << leadInSeconds
        << " s of noise alone, stereo, " << rate << " Hz\n\n"
        << "                                       SNR (dB)       lead-in noise (dBFS)\n"
        << "                                      before  after    before   after\n";
    RunTrial({"declip alone, on the clipping", clipped, Stages(true, false, false), false}, clean,
             out);
    RunTrial({"declick alone, on the crackle", crackly, Stages(false, true, false), false}, clean,
             out);
    RunTrial({"noise reduction alone, on the hiss", hissy, Stages(false, false, true), true}, clean,
             out);
    ReportBuilder report(ReportSetup{
        "Sonavel demo: damaged.wav restored to restored.wav", rate, 2,
        std::int64_t(damaged.Frames()), -6.0, FrameRange{0, std::int64_t(leadInSeconds * rate)},
        "the input from 0.00 s to " + std::to_string(int(leadInSeconds)) + ".00 s (--train 0-" +
            std::to_string(int(leadInSeconds)) + ")",
        true});
    const StereoSignal restored =
        RunTrial({"whole chain, on all three", damaged, Stages(true, true, true), true, &report},
                 clean, out);

    const std::string dir = options.dir + "/";
    const float restoredLevel = float(1.0 / declipMakeUp);
    WriteWave(dir + demoFiles[0], clean, restoredLevel, options.force);
    WriteWave(dir + demoFiles[1], damaged, 1.0f, options.force);
    WriteWave(dir + demoFiles[2], restored, 1.0f, options.force);
    report.AddSetting("input format", FormatText(SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    report.AddSetting("output format", FormatText(SF_FORMAT_WAV | SF_FORMAT_FLOAT));
    report.WriteHtml(dir + demoFiles[3], options.force);
    out << "\nWritten to " << dir << ":\n"
        << "  clean.wav     the passage before damage, at the restored level (-6 dB)\n"
        << "  damaged.wav   with crackle, hiss and clipping\n"
        << "  restored.wav  restored by the whole chain, noise learnt from the first "
        << leadInSeconds << " s\n"
        << "  report.html   what the restore did: spectrograms, noise profile, repairs\n"
        << "The same from the command line:\n"
        << "  sonavel restore " << dir << "damaged.wav restored.wav --train 0-" << leadInSeconds
        << " --report report.html\n";
}
