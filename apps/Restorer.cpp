#include "apps/Restorer.h"

#include <cmath>
#include <cstdio>

#include "apps/AtomicOutput.h"
#include "apps/AudioFile.h"
#include "apps/AutoTrain.h"
#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/NonFinite.h"
#include "apps/Profile.h"
#include "apps/Progress.h"
#include "apps/RestoreReport.h"
#include "apps/StreamRunner.h"

namespace {

std::string Seconds(std::int64_t frames, std::uint32_t rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", double(frames) / double(rate));
    return text;
}

void Warn(const std::string& text) {
    std::fprintf(stderr, "sonavel: %s\n", text.c_str());
}

void WarnIfTruncated(const AudioReader& file) {
    if (file.MissingFrames() == 0) return;
    Warn(file.Path() + " is truncated: its header announces " +
         Seconds(file.Frames() + file.MissingFrames(), file.Rate()) + " and it holds " +
         Seconds(file.Frames(), file.Rate()) + "; what is there is read");
}

// The frames [first, last) of the file that a range names; all of it without one.
std::pair<std::int64_t, std::int64_t> FramesOf(const std::optional<TimeRange>& range,
                                               const AudioReader& file) {
    if (!range) return {0, file.Frames()};
    // In frames as doubles first, so that a time too large for a frame count is
    // outside the file like any other.
    const double length = double(file.Frames());
    const double first = std::round(range->start * file.Rate());
    const double last = range->end ? std::round(*range->end * file.Rate()) : length;
    if (last > length || first >= last)
        throw CliError(ExitCode::usage, "the training range lies outside " + file.Path() +
                                            ", which is " + Seconds(file.Frames(), file.Rate()) +
                                            " long");
    return {std::int64_t(first), std::int64_t(last)};
}

// Learns the noise from a range of `source`, a file of the same shape as the audio to
// be restored. Non-finite samples in it are reported unless the restoring pass will
// report them for the whole file.
void TrainFrom(StreamRunner& runner, AudioReader& source, const std::optional<TimeRange>& range,
               bool quiet, bool reportNonFinite) {
    const auto [first, last] = FramesOf(range, source);
    source.Seek(first);
    Progress progress("training", last - first, quiet);
    NonFiniteCounter counted(source, source.Channels(), source.Rate(), first);
    FiniteFramesOnly finite(counted, source.Channels(), last - first, runner.BufferFrames());
    const bool learnt = runner.Train(finite, last - first, progress);
    const auto report = counted.Report(source.Path(), "left out of the training");
    if (report && reportNonFinite) Warn(*report);
    if (learnt) return;
    throw CliError(range ? ExitCode::usage : ExitCode::input,
                   "the training audio (" + Seconds(last - first, source.Rate()) +
                       ") is too short to learn the noise from; give it a second or more");
}

FrameRange FrameRangeOf(std::pair<std::int64_t, std::int64_t> frames) {
    return {frames.first, frames.second};
}

void ExpectSameShape(const AudioReader& training, const AudioReader& input) {
    if (training.Rate() == input.Rate() && training.Channels() == input.Channels()) return;
    throw CliError(ExitCode::input, training.Path() + " must have the rate and channels of " +
                                        input.Path() + " (" + std::to_string(input.Rate()) +
                                        " Hz, " + std::to_string(input.Channels()) + " channels)");
}

void TrainForRestore(const RestoreOptions& options, const AudioReader& input,
                     StreamRunner& runner) {
    AudioReader training(options.trainFile.value_or(options.input));
    ExpectSameShape(training, input);
    TrainFrom(runner, training, options.trainRange, options.quiet, options.trainFile.has_value());
}

// A first pass over the input: the noise-only stretches it holds, or its floor. Returns
// what it learnt from, in words.
std::string LearnAutomatically(const RestoreOptions& options, HostPlugin& plugin) {
    AudioReader first(options.input);
    const AutoTrainResult learnt = AutoTrain::Learn(first);
    AutoTrain::Load(learnt.noise, plugin);
    const std::string described = AutoTrain::Describe(learnt, first.Rate());
    if (!options.quiet) Warn(described);
    return described;
}

} // namespace

void RunRestore(const RestoreOptions& options) {
    AudioReader input(options.input);
    WarnIfTruncated(input);
    const int format = ChooseOutputFormat(options.output, input.Format(), options.format,
                                          input.Channels(), input.Rate());
    HostPlugin plugin;
    plugin.SetHighQuality(options.highQuality);
    if (options.profile) LoadProfile(plugin, *options.profile);
    ApplySettings(options.settings, plugin);
    AtomicOutput output(options.output, options.force, options.input);
    std::optional<RestoreReport> report;
    if (options.report)
        report.emplace(options, input, plugin,
                       options.trainRange && !options.trainFile
                           ? std::optional(FrameRangeOf(FramesOf(options.trainRange, input)))
                           : std::nullopt);
    StreamRunner runner(plugin, input.Channels(), input.Rate());
    if (options.trainRange || options.trainFile) TrainForRestore(options, input, runner);
    if (options.trainAuto) {
        const std::string learntFrom = LearnAutomatically(options, plugin);
        if (report) report->SetNoiseSource(learntFrom);
    }
    AudioWriter writer(output, format, input.Channels(), input.Rate());
    NonFiniteCounter counted(input, input.Channels(), input.Rate());
    {
        Progress progress("restoring", input.Frames(), options.quiet);
        if (report) {
            report->Restore(runner, counted, writer, progress);
        } else {
            runner.Restore(counted, writer, progress);
        }
    }
    writer.Close();
    output.Commit();
    if (report) report->Finish(input, format);
    if (const auto report = counted.Report(input.Path(), "treated as dropouts")) Warn(*report);
}

void RunTrain(const TrainOptions& options) {
    AudioReader input(options.input);
    WarnIfTruncated(input);
    HostPlugin plugin;
    ApplySettings(options.settings, plugin);
    AtomicOutput output(options.profile, options.force, options.input);
    StreamRunner runner(plugin, input.Channels(), input.Rate());
    TrainFrom(runner, input, options.range, options.quiet, true);
    SaveProfile(plugin, output);
    output.Commit();
}
