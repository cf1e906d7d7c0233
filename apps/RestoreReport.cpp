#include "apps/RestoreReport.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "apps/AudioFile.h"
#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/Progress.h"
#include "apps/ReportTaps.h"
#include "apps/Settings.h"
#include "apps/StreamRunner.h"
#include "dsp/RestorationChain.h"

namespace {

// libsndfile names its containers and sample codes by index in two tables.
std::string FormatName(int code, int countCommand, int entryCommand) {
    int count = 0;
    sf_command(nullptr, countCommand, &count, sizeof count);
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO entry{};
        entry.format = i;
        sf_command(nullptr, entryCommand, &entry, sizeof entry);
        if (entry.format == code) return entry.name;
    }
    return "format " + std::to_string(code);
}

bool Switch(const HostPlugin& plugin, const char* name) {
    return BoolParamRef(plugin, name).Get();
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string Seconds(std::int64_t frames, std::uint32_t rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", double(frames) / double(rate));
    return text;
}

std::string NoiseSource(const RestoreOptions& options, const HostPlugin& plugin,
                        const std::optional<FrameRange>& stretch, std::uint32_t rate) {
    if (!Switch(plugin, ParamName::enableReduction)) return "noise reduction off";
    if (options.trainFile) return "the file " + *options.trainFile;
    if (stretch)
        return "the input from " + Seconds(stretch->first, rate) + " to " +
               Seconds(stretch->last, rate);
    if (options.profile) return "the profile " + *options.profile;
    return "nothing: the built-in default profile";
}

double Elapsed(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

std::string FormatText(int format) {
    return FormatName(format & SF_FORMAT_TYPEMASK, SFC_GET_FORMAT_MAJOR_COUNT,
                      SFC_GET_FORMAT_MAJOR) +
           ", " +
           FormatName(format & SF_FORMAT_SUBMASK, SFC_GET_FORMAT_SUBTYPE_COUNT,
                      SFC_GET_FORMAT_SUBTYPE);
}

RestoreReport::RestoreReport(const RestoreOptions& options, const AudioReader& input,
                             HostPlugin& plugin, std::optional<FrameRange> noiseStretch)
    : plugin(plugin), page(*options.report, options.force, options.input),
      report(ReportSetup{
          options.input + " restored to " + options.output, input.Rate(), input.Channels(),
          input.Frames(),
          Switch(plugin, ParamName::enableDeclipping) && !Switch(plugin, ParamName::keepOnlyNoise)
              ? double(DSP::Restoration::RestorationChain::declipHeadroomDb)
              : 0.0,
          noiseStretch, NoiseSource(options, plugin, noiseStretch, input.Rate()), true}) {}

void RestoreReport::Restore(StreamRunner& runner, FrameSource& source, FrameSink& sink,
                            Progress& progress) {
    ReportedSource shownSource(source, report);
    ReportedSink shownSink(sink, report);
    plugin.ListenForRepairs(&report.Observer());
    const auto start = std::chrono::steady_clock::now();
    try {
        runner.Restore(shownSource, shownSink, progress);
    } catch (...) {
        plugin.ListenForRepairs(nullptr);
        throw;
    }
    report.SetProcessingSeconds(Elapsed(start));
    plugin.ListenForRepairs(nullptr);
}

void RestoreReport::Finish(const AudioReader& input, int outputFormat) {
    report.AddSetting("input format", FormatText(input.Format()));
    report.AddSetting("output format", FormatText(outputFormat));
    AddPluginSettings(report, plugin, input.Rate());
    report.WriteHtml(page);
}

void AddPluginSettings(ReportBuilder& report, HostPlugin& plugin, std::uint32_t rate) {
    if (Switch(plugin, ParamName::enableReduction))
        report.SetNoiseProfile(NoiseProfileFromState(plugin.SaveState()));
    for (const SliderOption& slider : sliderOptions)
        report.AddSetting(slider.param, Number(FloatParamRef(plugin, slider.param).Get()));
    for (const SwitchOption& option : switchOptions)
        report.AddSetting(option.param, Switch(plugin, option.param) ? "on" : "off");
    report.AddSetting("reduction quality", plugin.HighQuality() ? "high" : "standard");
    const std::uint32_t latency = plugin.LatencyWith({});
    report.AddSetting("latency", std::to_string(latency) + " frames (" + Seconds(latency, rate) +
                                     "), compensated in the output file");
}

namespace {

constexpr int reportBlock = 8192;

struct Planar {
    explicit Planar(int channels) : left(reportBlock), right(channels == 2 ? reportBlock : 0) {}
    float* Right() { return right.empty() ? nullptr : right.data(); }
    std::vector<float> left, right;
};

// Reads both files block by block from their start; `use` gets each pair of blocks.
template <class Use> void InLockstep(AudioReader& first, AudioReader& second, Use use) {
    first.Seek(0);
    second.Seek(0);
    Planar a(first.Channels()), b(second.Channels());
    for (;;) {
        const int frames = first.Read(reportBlock, a.left.data(), a.Right());
        if (frames == 0 || second.Read(frames, b.left.data(), b.Right()) != frames) return;
        use(frames, a, b);
    }
}

// The command line puts either 0 dB or the declipper's headroom on its output; the
// least-squares gain from input to output tells which, since what the stages remove
// is small beside the music.
double EstimateDeclipGainDb(AudioReader& input, AudioReader& output) {
    double crossed = 0.0, energy = 0.0;
    InLockstep(input, output, [&](int frames, Planar& in, Planar& out) {
        for (int i = 0; i < frames; ++i) {
            crossed += double(in.left[i]) * out.left[i];
            energy += double(in.left[i]) * in.left[i];
        }
        for (std::size_t i = 0; i < in.right.size() && i < std::size_t(frames); ++i) {
            crossed += double(in.right[i]) * out.right[i];
            energy += double(in.right[i]) * in.right[i];
        }
    });
    const double headroom = DSP::Restoration::RestorationChain::declipHeadroomDb;
    if (energy <= 0.0) return 0.0;
    const double gainDb = 20.0 * std::log10(std::max(crossed / energy, 1e-9));
    return gainDb < headroom / 2.0 ? headroom : 0.0;
}

void ExpectSameShape(const AudioReader& input, const AudioReader& output) {
    if (input.Rate() == output.Rate() && input.Channels() == output.Channels() &&
        input.Frames() == output.Frames())
        return;
    throw CliError(ExitCode::input, output.Path() + " must have the rate, channels and length of " +
                                        input.Path() + ", as a restore of it has");
}

} // namespace

void RunReport(const ReportOptions& options) {
    AudioReader input(options.input);
    AudioReader output(options.output);
    ExpectSameShape(input, output);
    AtomicOutput page(options.report, options.force, options.input);
    const double gainDb =
        options.declipGainDb ? *options.declipGainDb : EstimateDeclipGainDb(input, output);
    ReportBuilder report(ReportSetup{options.input + " and its restored " + options.output,
                                     input.Rate(), input.Channels(), input.Frames(), gainDb,
                                     std::nullopt, "unknown from the two files alone", false});
    InLockstep(input, output, [&](int frames, Planar& in, Planar& out) {
        report.AddInput(frames, in.left.data(), in.Right());
        report.AddOutput(frames, out.left.data(), out.Right());
    });
    report.AddSetting("input format", FormatText(input.Format()));
    report.AddSetting("output format", FormatText(output.Format()));
    report.AddSetting("output gain undone", Number(gainDb) + " dB (" +
                                                (options.declipGainDb ? "given" : "estimated") +
                                                ")");
    report.WriteHtml(page);
}
