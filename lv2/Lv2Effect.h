#pragma once
// The effect as an LV2 host drives it. The host owns the port buffers and writes the
// control ports; every run() hands the current control values to the effect's
// parameters (only those that moved), processes the audio and writes the latency.
//
// The host compensates the delay it reads from the latency port, so the effect's own
// delay compensation is off: the output is the input delayed by exactly Latency()
// frames. With "enabled" off the output is the input delayed by the same latency.
// run() feeds the engine in pieces of at most chunkFrames, so any block length the host
// gives, 0 included and changing from call to call, passes through buffers sized once
// at instantiation.
//
// Threads: the constructor, Activate, Deactivate and LoadProfile run in the host's
// instantiation class; Run in its audio class; SaveProfile may run beside Run.

#include <array>
#include <cstdint>
#include <vector>

#include "core/Plugin.h"
#include "lv2/DryDelay.h"
#include "lv2/ParamBinding.h"
#include "lv2/Ports.h"

namespace Lv2 {

class Effect : public Plugin {
public:
    // No more than the stages' own block, so that the engine never grows its queues.
    static constexpr int chunkFrames = 1024;

    Effect(std::uint32_t channels, double sampleRate);

    void OnParameterChanged(ChangePhase, DSP::Component&, std::uint32_t,
                            const ParamValue&) override {}

    std::uint32_t PortCount() const;
    void ConnectPort(std::uint32_t port, void* data);

    // Prepares the stages for a stream from silence; Deactivate ends it.
    void Activate();
    void Run(std::uint32_t frames);
    void Deactivate();

    // The settings and learnt profile, the block `sonavel train` writes.
    std::vector<std::uint8_t> SaveProfile() { return SaveState(); }
    // False, with nothing changed, for a block of another build, format or size.
    // "Train" is left to its port: a profile saved while learning does not keep learning.
    bool LoadProfile(const std::vector<std::uint8_t>& block);

private:
    void BindControls();
    void ApplyControls();
    void ProcessChunk(int offset, int frames);
    void ReportLatency();
    void SetHighQuality(bool on);

    std::uint32_t channels;
    std::uint32_t rate;
    std::array<const float*, 2> inputs{};
    std::array<float*, 2> outputs{};
    std::array<const float*, controlCount> controls{};
    float* latencyPort = nullptr;
    std::array<ParamBinding, controlCount> bindings{};
    // The value each parameter was last given from its port; NaN forces the next one.
    std::array<float, controlCount> applied{};
    std::array<std::vector<float>, 2> scratch;
    DryDelay dry;
};

} // namespace Lv2
