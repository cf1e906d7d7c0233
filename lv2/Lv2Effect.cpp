#include "lv2/Lv2Effect.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/Global.h"
#include "core/Restoration.h"
#include "core/RestorationEngine.h"
#include "core/TransformBase.h"

namespace Lv2 {

namespace {

constexpr float notApplied = std::numeric_limits<float>::quiet_NaN();

} // namespace

Effect::Effect(std::uint32_t channels, double sampleRate)
    : Plugin(0, 2), channels(channels), rate(std::uint32_t(std::lround(sampleRate))) {
    // The host delays the other tracks by the latency port instead.
    Engine().GetGlobal().SetBoolParam(DSP::Global::delayCompensationParam, false);
    BindControls();
    applied.fill(notApplied);
    for (auto& buffer : scratch)
        buffer.assign(chunkFrames, 0.0f);
    SetChannels(channels, channels);
    // Every stage on, with the slower reducer, is the longest delay the bypass has to match.
    StartStreaming(rate);
    const std::uint32_t standard = Engine().Latency();
    SetHighQuality(true);
    dry.Prepare(std::max(standard, Engine().Latency()), chunkFrames);
    StopStreaming();
}

void Effect::SetHighQuality(bool on) {
    dynamic_cast<DSP::RestorationEngine&>(Engine()).GetRestoration().SetHighQuality(on);
}

void Effect::BindControls() {
    for (std::size_t c = 0; c < controlCount; ++c) {
        const ControlPort& port = controlPorts[c];
        if (port.param != nullptr) bindings[c] = ParamBinding(*this, port.param, port.isSwitch);
    }
}

std::uint32_t Effect::PortCount() const {
    return FirstControlPort(channels) + ControlPortCount(channels);
}

void Effect::ConnectPort(std::uint32_t port, void* data) {
    if (port < channels) {
        inputs[port] = static_cast<const float*>(data);
    } else if (port < 2 * channels) {
        outputs[port - channels] = static_cast<float*>(data);
    } else if (port - FirstControlPort(channels) == Index(Control::latency)) {
        latencyPort = static_cast<float*>(data);
    } else if (port < PortCount()) {
        controls[port - FirstControlPort(channels)] = static_cast<const float*>(data);
    }
}

void Effect::Activate() {
    StartStreaming(rate);
    dry.Clear();
}

void Effect::Deactivate() {
    StopStreaming();
}

// Settings come from the ports; what a loaded block set is replaced by them on the next
// run, since the host restores the port values beside the block.
// The core would take a block of the right header but another length and ignore it;
// a host must hear that such a block was not loaded.
bool Effect::LoadProfile(const std::vector<std::uint8_t>& block) {
    if (block.size() != StateSize() || !LoadState(block, true)) return false;
    applied.fill(notApplied);
    return true;
}

void Effect::ApplyControls() {
    for (std::size_t c = 0; c < controlCount; ++c) {
        if (controls[c] == nullptr) continue;
        const float value = *controls[c];
        // A NaN from a confused host would otherwise reach the stages on every run.
        if (value == applied[c] || std::isnan(value)) continue;
        applied[c] = value;
        if (bindings[c].Bound()) bindings[c].Set(value);
        if (c == Index(Control::quality)) SetHighQuality(value > 0.5f);
    }
}

void Effect::ReportLatency() {
    if (latencyPort != nullptr) *latencyPort = float(Engine().Latency());
}

void Effect::Run(std::uint32_t frames) {
    ApplyControls();
    for (std::uint32_t done = 0; done < frames;) {
        const int piece = int(std::min<std::uint32_t>(frames - done, chunkFrames));
        ProcessChunk(int(done), piece);
        done += std::uint32_t(piece);
    }
    ReportLatency();
}

// The input is copied first: the engine writes into its input, and the host may hand
// the same buffer for input and output.
void Effect::ProcessChunk(int offset, int frames) {
    const bool bypassed =
        controls[Index(Control::enabled)] != nullptr && *controls[Index(Control::enabled)] <= 0.5f;
    for (std::uint32_t c = 0; c < channels; ++c) {
        std::copy_n(inputs[c] + offset, frames, scratch[c].data());
        dry.Push(int(c), scratch[c].data(), frames);
    }
    dry.Advance(frames);
    float* right = channels == 2 ? scratch[1].data() : nullptr;
    float* outRight = channels == 2 ? outputs[1] + offset : nullptr;
    Process(frames, scratch[0].data(), right, outputs[0] + offset, outRight);
    if (!bypassed) return;
    for (std::uint32_t c = 0; c < channels; ++c)
        dry.Read(int(c), Engine().Latency(), frames, outputs[c] + offset);
}

} // namespace Lv2
