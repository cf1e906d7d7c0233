#pragma once
// The audio engine: turns one block of planar float audio into processed output,
// applying the plug-in-wide steps around the effect's own processing: the preset-change
// mode, bypass (also when automated), mono processing, the anti-denormal offset and
// delay compensation. A concrete engine adds its components and implements Run.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class Plugin;

namespace DSP {

class Component;
class Global;
class GlobalDerived;

class TransformBase {
public:
    // Builds the plug-in-wide components; they register with the plug-in.
    explicit TransformBase(Plugin& plugin);
    TransformBase(const TransformBase&) = delete;
    TransformBase& operator=(const TransformBase&) = delete;
    virtual ~TransformBase();

    // One block; inR and outR are null for a mono side. The input buffers may be
    // written to. Returns the frames produced into outL (and outR): fewer than frames
    // while delay compensation is still discarding the start of the stream.
    int Process(int frames, float* inL, float* inR, float* outL, float* outR);

    // Prepares every component for a stream at this rate, from silence.
    void Start(std::uint32_t rate);
    void Stop();
    // Every component's processing history is cleared, delay compensation starts again,
    // and activity and latency are read again before the next block.
    void Reset();
    // Re-reads which components are active and/or recomputes the latency.
    void ApplyPendingChanges(bool activity, bool delay);
    void RecomputeLatency();
    // A component's activity, and with it the latency, changed. Applied at once when
    // no block is in flight, otherwise at the start of the next block.
    void InvalidateAll(Component& component);
    // A component's latency changed; deferred like InvalidateAll.
    void InvalidateLatency(Component& component);

    // End of stream: writes the last `Latency()` frames still held back into outL (and
    // outR when given), growing them as needed, and returns their count; 0 without
    // delay compensation.
    int FlushTail(std::vector<float>& outL, std::vector<float>* outR);
    // A host time moved back by the duration discarded so far, in 100-ns units.
    std::int64_t CompensateTime(std::int64_t time) const;

    // True when the pair differs from the one stored, which it then replaces.
    bool SetChannels(std::uint32_t inputs, std::uint32_t outputs);
    // The channels the components process: one for mono input or while "Process As Mono"
    // is on, else two.
    std::uint32_t ProcessingChannels() const;
    // The automation timeline of the next block.
    void SetBlockTime(std::int64_t time) { blockTime = time; }

    Global& GetGlobal() { return *global; }
    GlobalDerived& GetGlobalDerived() { return *globalDerived; }
    std::uint32_t Latency() const { return latency; }
    std::uint32_t SampleRate() const { return sampleRate; }

protected:
    std::int64_t BlockTime() const { return blockTime; }
    // Set by whoever changes a parameter from automation during the block; the editor
    // is told, at most every 67 ms.
    bool& EditorFlag() { return notifyEditor; }

    // The effect's own processing of a block that survived bypass, after the mono and
    // anti-denormal steps. It may work in place in the output buffers. zipper is the
    // automation sub-block length in frames. Returns the frames produced.
    virtual int Run(int frames, float* inL, float* inR, float* outL, float* outR, int zipper) = 0;

private:
    // Output equals input.
    void Bypass(int frames, const float* inL, const float* inR, float* outL, float* outR);
    // Both run with the transform lock held; they return the frames produced.
    int ProcessBlock(int frames, float* inL, float* inR, float* outL, float* outR);
    int CompensatedProcess(int frames, float* inL, float* inR, float* outL, float* outR);
    int AutomatedProcess(int frames, float* inL, float* inR, float* outL, float* outR);
    int SwitchedProcess(int frames, float* inL, float* inR, float* outL, float* outR, int zipper);
    int RunSegment(int frames, float* inL, float* inR, float* outL, float* outR, int zipper);
    // Preset change or plug-in-wide bypass: true when the block was answered that way.
    bool ShortCircuited(int frames, const float* inL, const float* inR, float* outL, float* outR);
    void FollowMonoSetting(const float* inR);
    void ApplyDirtyChanges();
    void Invalidate(bool enables);
    void SetProcessing(bool on);
    void AnnounceBypassChange();
    void AddAntiDenormalOffset(int frames, float* inL, float* inR);
    int Zipper() const;

    Plugin& plugin;
    std::unique_ptr<Global> global;
    std::unique_ptr<GlobalDerived> globalDerived;
    std::atomic<std::uint32_t> inputChannels{1};
    std::atomic<std::uint32_t> outputChannels{1};
    std::atomic<std::uint32_t> sampleRate{44100};
    bool notifyEditor = false;
    std::int64_t blockTime = 0;
    bool monoActive = false;
    std::atomic<bool> delayCompensation{false};
    std::atomic<std::uint32_t> latency{0};
    std::atomic<std::uint32_t> discarded{0};
    // Guarded by the plug-in's state lock.
    bool enablesDirty = true;
    bool latencyDirty = true;
    bool processing = false;
    std::atomic<std::uint8_t> denormalPhase{0};
    std::vector<float> tailLeft;
    std::vector<float> tailRight;
    // One bit per automation sub-block of the block being processed.
    std::vector<bool> bypassBits;
    std::uint32_t lastNotifyTick = 0;
};

} // namespace DSP
