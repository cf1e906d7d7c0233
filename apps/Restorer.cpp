#include "apps/Restorer.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "apps/AtomicOutput.h"
#include "apps/AudioFile.h"
#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/Progress.h"
#include "apps/StreamRunner.h"

namespace {

std::string Seconds(std::int64_t frames, std::uint32_t rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", double(frames) / double(rate));
    return text;
}

// The frames [first, last) of the file that a range names; all of it without one.
std::pair<std::int64_t, std::int64_t> FramesOf(const std::optional<TimeRange>& range,
                                               const AudioReader& file) {
    if (!range) return {0, file.Frames()};
    const auto frame = [&](double seconds) { return std::llround(seconds * file.Rate()); };
    const std::int64_t first = frame(range->start);
    const std::int64_t last = range->end ? frame(*range->end) : file.Frames();
    if (last > file.Frames() || first >= last)
        throw CliError(ExitCode::usage, "the training range lies outside " + file.Path() +
                                            ", which is " + Seconds(file.Frames(), file.Rate()) +
                                            " long");
    return {first, last};
}

// Learns the noise from a range of `source`, a file of the same shape as the audio to
// be restored.
void TrainFrom(StreamRunner& runner, AudioReader& source, const std::optional<TimeRange>& range,
               bool quiet) {
    const auto [first, last] = FramesOf(range, source);
    source.Seek(first);
    Progress progress("training", last - first, quiet);
    if (runner.Train(source, last - first, progress)) return;
    throw CliError(range ? ExitCode::usage : ExitCode::input,
                   "the training audio (" + Seconds(last - first, source.Rate()) +
                       ") is too short to learn the noise from; give it a second or more");
}

void ExpectSameShape(const AudioReader& training, const AudioReader& input) {
    if (training.Rate() == input.Rate() && training.Channels() == input.Channels()) return;
    throw CliError(ExitCode::input, training.Path() + " must have the rate and channels of " +
                                        input.Path() + " (" + std::to_string(input.Rate()) +
                                        " Hz, " + std::to_string(input.Channels()) + " channels)");
}

void LoadProfile(HostPlugin& plugin, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CliError(ExitCode::input, path + ": " + std::strerror(errno));
    const std::vector<std::uint8_t> state{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    if (!plugin.LoadState(state, true))
        throw CliError(ExitCode::input, path + " is not a Sonavel profile (" +
                                            std::to_string(plugin.StateSize()) +
                                            "-byte settings block)");
    // A profile saved while learning has "Train" on; restoring never learns.
    BoolParamRef(plugin, ParamName::train).Set(false);
}

void TrainForRestore(const RestoreOptions& options, const AudioReader& input,
                     StreamRunner& runner) {
    AudioReader training(options.trainFile.value_or(options.input));
    ExpectSameShape(training, input);
    TrainFrom(runner, training, options.trainRange, options.quiet);
}

} // namespace

void RunRestore(const RestoreOptions& options) {
    AudioReader input(options.input);
    const int format = ChooseOutputFormat(options.output, input.Format(), options.format,
                                          input.Channels(), input.Rate());
    HostPlugin plugin;
    if (options.profile) LoadProfile(plugin, *options.profile);
    ApplySettings(options.settings, plugin);
    AtomicOutput output(options.output, options.force, options.input);
    StreamRunner runner(plugin, input.Channels(), input.Rate());
    if (options.trainRange || options.trainFile) TrainForRestore(options, input, runner);
    AudioWriter writer(output, format, input.Channels(), input.Rate());
    {
        Progress progress("restoring", input.Frames(), options.quiet);
        runner.Restore(input, writer, progress);
    }
    writer.Close();
    output.Commit();
}

void RunTrain(const TrainOptions& options) {
    AudioReader input(options.input);
    HostPlugin plugin;
    ApplySettings(options.settings, plugin);
    AtomicOutput output(options.profile, options.force, options.input);
    StreamRunner runner(plugin, input.Channels(), input.Rate());
    TrainFrom(runner, input, options.range, options.quiet);
    const std::vector<std::uint8_t> state = plugin.SaveState();
    output.WriteAll(state.data(), state.size());
    output.Commit();
}
