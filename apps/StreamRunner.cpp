#include "apps/StreamRunner.h"

#include <algorithm>
#include <stdexcept>

#include "apps/Continuation.h"
#include "apps/HostPlugin.h"
#include "apps/Interrupt.h"
#include "apps/Progress.h"
#include "apps/Settings.h"
#include "core/TransformBase.h"

namespace {

// A host buffer: a tenth of a second.
constexpr std::uint32_t buffersPerSecond = 10;
constexpr std::int64_t timeUnitsPerSecond = 10'000'000;

} // namespace

StreamRunner::StreamRunner(HostPlugin& plugin, int channels, std::uint32_t rate)
    : plugin(plugin), stereo(channels == 2), rate(rate),
      bufferFrames(int(std::max<std::uint32_t>(rate / buffersPerSecond, 1))),
      inLeft(std::size_t(bufferFrames)), inRight(std::size_t(bufferFrames)),
      outLeft(std::size_t(bufferFrames)), outRight(std::size_t(bufferFrames)) {}

void StreamRunner::Begin() {
    const std::uint32_t channels = stereo ? 2 : 1;
    plugin.SetChannels(channels, channels);
    plugin.StartStreaming(rate);
}

int StreamRunner::ProcessBuffer(int frames, std::int64_t position) {
    const std::int64_t time = position * timeUnitsPerSecond / std::int64_t(rate);
    if (time == 0) plugin.ResetState();
    plugin.SetStreamStart(plugin.CompensateTime(time));
    return plugin.Process(frames, inLeft.data(), Right(inRight), outLeft.data(), Right(outRight));
}

void StreamRunner::Restore(FrameSource& source, FrameSink& sink, Progress& progress) {
    Begin();
    Continuation continuation(stereo ? 2 : 1, bufferFrames);
    std::int64_t taken = 0;
    std::int64_t written = 0;
    while (true) {
        Interrupt::CheckPoint();
        const int frames = source.Read(bufferFrames, inLeft.data(), Right(inRight));
        if (frames == 0) break;
        continuation.Remember(frames, inLeft.data(), Right(inRight));
        const int produced = ProcessBuffer(frames, taken);
        sink.Write(produced, outLeft.data(), Right(outRight));
        taken += frames;
        written += produced;
        progress.Advance(frames);
    }
    WriteEnd(continuation, sink, taken, written);
    plugin.StopStreaming();
}

// The frames still held back come out as the stream goes on past its end. A host's
// stream would go on with silence; a file's signal goes on as its continuation, so that
// its last frames are treated as they would be in the middle of the signal. What the
// continuation itself becomes is not written.
void StreamRunner::WriteEnd(Continuation& continuation, FrameSink& sink, std::int64_t taken,
                            std::int64_t written) {
    std::int64_t fed = taken;
    while (written < taken) {
        Interrupt::CheckPoint();
        if (fed - taken > std::int64_t(plugin.Engine().Latency()) + bufferFrames)
            throw std::logic_error("the plug-in held back more frames than its latency");
        continuation.Continue(bufferFrames, inLeft.data(), Right(inRight));
        const int produced = ProcessBuffer(bufferFrames, fed);
        const int kept = int(std::min<std::int64_t>(produced, taken - written));
        sink.Write(kept, outLeft.data(), Right(outRight));
        fed += bufferFrames;
        written += kept;
    }
}

bool StreamRunner::Train(FrameSource& source, std::int64_t frames, Progress& progress) {
    Begin();
    const std::vector<std::uint8_t> before = plugin.SaveState();
    const std::int64_t delay = plugin.LatencyWith({{ParamName::enableReduction, false}});
    const BoolParamRef train(plugin, ParamName::train);
    std::int64_t fed = 0;
    while (fed < frames) {
        Interrupt::CheckPoint();
        if (fed == delay) train.Set(true);
        const std::int64_t until = fed < delay ? std::min(delay, frames) : frames;
        const int want = int(std::min<std::int64_t>(bufferFrames, until - fed));
        const int got = source.Read(want, inLeft.data(), Right(inRight));
        if (got == 0) break;
        ProcessBuffer(got, fed);
        fed += got;
        progress.Advance(got);
    }
    train.Set(false);
    plugin.StopStreaming();
    return plugin.SaveState() != before;
}
