#include "apps/StreamRunner.h"

#include <algorithm>
#include <stdexcept>

#include "apps/HostPlugin.h"
#include "apps/Interrupt.h"
#include "apps/Progress.h"
#include "apps/Settings.h"

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
    std::int64_t taken = 0;
    std::int64_t written = 0;
    while (true) {
        Interrupt::CheckPoint();
        const int frames = source.Read(bufferFrames, inLeft.data(), Right(inRight));
        if (frames == 0) break;
        const int produced = ProcessBuffer(frames, taken);
        sink.Write(produced, outLeft.data(), Right(outRight));
        taken += frames;
        written += produced;
        progress.Advance(frames);
    }
    WriteTail(sink, written, taken);
    plugin.StopStreaming();
}

// The tail continues the stream past its end with silence in. When the stream was
// shorter than the latency, its own frames are the last ones of the tail.
void StreamRunner::WriteTail(FrameSink& sink, std::int64_t written, std::int64_t total) {
    std::vector<float> tailLeft;
    std::vector<float> tailRight;
    const int tail = plugin.FlushTail(tailLeft, stereo ? &tailRight : nullptr);
    const std::int64_t missing = total - written;
    if (missing > tail) throw std::logic_error("the plug-in flushed fewer frames than it held");
    const std::size_t skip = std::size_t(tail - missing);
    sink.Write(int(missing), tailLeft.data() + skip, stereo ? tailRight.data() + skip : nullptr);
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
