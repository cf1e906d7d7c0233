#pragma once
// A parameterised unit of the plug-in. It owns typed parameters addressed by
// (family, index), the automation envelopes for them, a lock, a block adapter and
// the processing entry points. The parameter operations are implemented once for
// every concrete component by ComponentImpl.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Util/NamedLock.h"
#include "Util/SharedString.h"
#include "core/BlockAdapter.h"
#include "core/EnvelopeHandler.h"
#include "core/ParamRecords.h"

class Plugin;

namespace DSP {

// GetCustomStateStorage: the component's private data stays out of the saved state.
constexpr std::uint32_t customStateNotSaved = 2;

class Component {
public:
    // Parameters come later, from the concrete constructor (ComponentImpl::RegisterParams).
    // With ownBuffers set, Process works on component-owned copies of the audio.
    Component(Plugin& owner, const SharedString& name, std::uint32_t ownBuffers);
    Component(const Component&) = delete;
    Component& operator=(const Component&) = delete;
    virtual ~Component();

    virtual void SetSampleRate(std::uint32_t /*rate*/) {}
    virtual void OnStop() {}
    // Whether the component does audio work; inactive components are skipped.
    virtual bool IsActive() const = 0;
    // True when a watched parameter has an envelope (see WatchEnvelope).
    virtual bool HasEnvelopes();
    // Components that play their automation themselves skip RenderBlock's playback.
    virtual bool SkipsEnvelopes() const { return false; }

    // Private data saved with the parameters: its size, and whether it is saved at all.
    virtual std::uint32_t GetCustomStateSize() const { return 0; }
    virtual std::uint32_t GetCustomStateStorage() const { return customStateNotSaved; }
    // Each acts only when exactly GetCustomStateSize() bytes lie from offset to the end.
    virtual void SaveCustomState(std::vector<std::uint8_t>& /*bytes*/,
                                 std::size_t /*offset*/) const {}
    virtual void LoadCustomState(const std::vector<std::uint8_t>& /*bytes*/,
                                 std::size_t /*offset*/) {}
    virtual void SaveDefaultCustomState(std::vector<std::uint8_t>& /*bytes*/,
                                        std::size_t /*offset*/) const {}

    virtual std::uint32_t GetNumFloatParams() const = 0;
    virtual float GetFloatParam(std::uint32_t i) const = 0;
    virtual void SetFloatParam(std::uint32_t i, float value) = 0;
    virtual const SharedString& GetFloatParamName(std::uint32_t i) const = 0;
    virtual const SharedString& GetFloatParamUnits(std::uint32_t i) const = 0;
    virtual ParamRange<float> GetFloatParamRange(std::uint32_t i) const = 0;
    virtual float GetFloatParamDefault(std::uint32_t i) const = 0;
    virtual std::uint32_t GetFloatParamDisplayCode(std::uint32_t i) const = 0;
    virtual bool IsFloatParamAutomatable(std::uint32_t i) const = 0;
    virtual std::uint32_t GetFloatParamStorage(std::uint32_t i) const = 0;
    virtual std::uint32_t GetFloatParamAuxCode(std::uint32_t i) const = 0;
    virtual bool GetFloatParamAuxFlag(std::uint32_t i) const = 0;
    virtual void SetFloatParamAuxFlag(std::uint32_t i, bool flag) = 0;
    virtual std::int32_t GetFloatParamHighlight(std::uint32_t i) const = 0;
    // Colours outside 0..4 are ignored.
    virtual void SetFloatParamHighlight(std::uint32_t i, std::int32_t colour) = 0;
    virtual void SetFloatParamHostBinding(std::uint32_t i, HostBinding binding) = 0;
    virtual HostBinding GetFloatParamHostBinding(std::uint32_t i) const = 0;
    virtual void SetFloatParamEnvelopeHold(std::uint32_t i, bool hold) = 0;
    virtual bool GetFloatParamEnvelopeHold(std::uint32_t i) const = 0;

    virtual std::uint32_t GetNumBoolParams() const = 0;
    virtual bool GetBoolParam(std::uint32_t i) const = 0;
    virtual void SetBoolParam(std::uint32_t i, bool value) = 0;
    virtual const SharedString& GetBoolParamName(std::uint32_t i) const = 0;
    virtual const SharedString& GetBoolParamUnits(std::uint32_t i) const = 0;
    virtual bool GetBoolParamDefault(std::uint32_t i) const = 0;
    virtual std::uint32_t GetBoolParamDisplayCode(std::uint32_t i) const = 0;
    virtual bool IsBoolParamAutomatable(std::uint32_t i) const = 0;
    virtual std::uint32_t GetBoolParamStorage(std::uint32_t i) const = 0;
    virtual std::uint32_t GetBoolParamAuxCode(std::uint32_t i) const = 0;
    virtual std::int32_t GetBoolParamHighlight(std::uint32_t i) const = 0;
    virtual void SetBoolParamHighlight(std::uint32_t i, std::int32_t colour) = 0;
    virtual void SetBoolParamHostBinding(std::uint32_t i, HostBinding binding) = 0;
    virtual HostBinding GetBoolParamHostBinding(std::uint32_t i) const = 0;
    // True when the record has its two labels (false, then true).
    virtual bool HasBoolParamLabels(std::uint32_t i) const = 0;
    virtual const std::vector<SharedString>& GetBoolParamLabels(std::uint32_t i) const = 0;
    virtual void SetBoolParamEnvelopeHold(std::uint32_t i, bool hold) = 0;
    virtual bool GetBoolParamEnvelopeHold(std::uint32_t i) const = 0;

    virtual std::uint32_t GetNumUIntParams() const = 0;
    virtual std::uint32_t GetUIntParam(std::uint32_t i) const = 0;
    virtual void SetUIntParam(std::uint32_t i, std::uint32_t value) = 0;
    virtual const SharedString& GetUIntParamName(std::uint32_t i) const = 0;
    virtual const SharedString& GetUIntParamUnits(std::uint32_t i) const = 0;
    virtual ParamRange<std::uint32_t> GetUIntParamRange(std::uint32_t i) const = 0;
    virtual std::uint32_t GetUIntParamDefault(std::uint32_t i) const = 0;
    virtual std::uint32_t GetUIntParamDisplayCode(std::uint32_t i) const = 0;
    virtual bool IsUIntParamAutomatable(std::uint32_t i) const = 0;
    virtual std::uint32_t GetUIntParamStorage(std::uint32_t i) const = 0;
    virtual std::uint32_t GetUIntParamAuxCode(std::uint32_t i) const = 0;
    // True when the labels name every value of the range.
    virtual bool IsUIntParamEnumerated(std::uint32_t i) const = 0;
    virtual const std::vector<SharedString>& GetUIntParamLabels(std::uint32_t i) const = 0;
    virtual std::int32_t GetUIntParamHighlight(std::uint32_t i) const = 0;
    virtual void SetUIntParamHighlight(std::uint32_t i, std::int32_t colour) = 0;
    virtual void SetUIntParamHostBinding(std::uint32_t i, HostBinding binding) = 0;
    virtual HostBinding GetUIntParamHostBinding(std::uint32_t i) const = 0;
    virtual void SetUIntParamEnvelopeHold(std::uint32_t i, bool hold) = 0;
    virtual bool GetUIntParamEnvelopeHold(std::uint32_t i) const = 0;

    virtual std::uint32_t GetNumIntParams() const = 0;
    virtual std::int32_t GetIntParam(std::uint32_t i) const = 0;
    virtual void SetIntParam(std::uint32_t i, std::int32_t value) = 0;
    virtual const SharedString& GetIntParamName(std::uint32_t i) const = 0;
    virtual const SharedString& GetIntParamUnits(std::uint32_t i) const = 0;
    virtual ParamRange<std::int32_t> GetIntParamRange(std::uint32_t i) const = 0;
    virtual std::int32_t GetIntParamDefault(std::uint32_t i) const = 0;
    virtual std::uint32_t GetIntParamDisplayCode(std::uint32_t i) const = 0;
    virtual bool IsIntParamAutomatable(std::uint32_t i) const = 0;
    virtual std::uint32_t GetIntParamStorage(std::uint32_t i) const = 0;
    virtual std::uint32_t GetIntParamAuxCode(std::uint32_t i) const = 0;
    virtual std::int32_t GetIntParamHighlight(std::uint32_t i) const = 0;
    virtual void SetIntParamHighlight(std::uint32_t i, std::int32_t colour) = 0;
    virtual void SetIntParamHostBinding(std::uint32_t i, HostBinding binding) = 0;
    virtual HostBinding GetIntParamHostBinding(std::uint32_t i) const = 0;
    virtual void SetIntParamEnvelopeHold(std::uint32_t i, bool hold) = 0;
    virtual bool GetIntParamEnvelopeHold(std::uint32_t i) const = 0;

    // One block in place; channel1 is null for one channel. Returns the frames produced.
    virtual int Process(int frames, float* /*channel0*/, float* /*channel1*/) { return frames; }
    // The host-facing entry: reframes the stream through the block adapter, under the
    // component lock, and renders each block. Returns the frames handed back.
    virtual int ProcessStream(std::uint32_t rate, std::int64_t blockTime, int zipper,
                              bool& editorFlag, int frames, float* channel0, float* channel1,
                              bool force);
    virtual void ResetProcessing() = 0;
    virtual void BeforeLoadState() {}
    virtual void AfterLoadState() {}
    // Frames of delay of the component's own processing, block adapter not included.
    virtual std::uint32_t GetProcessingLatency() const { return 0; }
    // Plays the envelopes into the parameters once per sub-block of `zipper` frames and
    // processes the sub-blocks. formatChanged comes back set when a parameter change
    // reconfigured the block adapter; the rest of the block is then left unprocessed.
    virtual int RenderBlock(std::uint32_t rate, std::int64_t blockTime, int zipper,
                            bool& editorFlag, int frames, float* channel0, float* channel1,
                            bool& formatChanged);

    // Clears the processing history and whatever the block adapter holds.
    void Reset();
    // Block adapter delay plus GetProcessingLatency.
    std::uint32_t GetLatency();
    void SetFormat(std::uint32_t blockSize, std::uint32_t inputChannels,
                   std::uint32_t outputChannels);
    // 0 when the component processes whatever length it is given.
    std::uint32_t GetBlockSize();

    const SharedString& Name() const { return name; }
    Plugin& Owner() const { return owner; }
    NamedLock& Lock() { return lock; }
    EnvelopeHandler& Envelopes() { return *envelopeHandler; }

    // Kept equal to IsActive by the audio engine, between blocks.
    bool ActiveMark() const { return activeMark; }
    void SetActiveMark(bool active) { activeMark = active; }
    // Set by the host adapter from HasEnvelopes after each envelope change.
    bool HasEnvelopesCache() const { return hasEnvelopesCache; }
    void SetHasEnvelopesCache(bool has) { hasEnvelopesCache = has; }
    // Copy of the plug-in-wide meter setting.
    bool MeterFlag() const { return meterFlag; }
    void SetMeterFlag(bool enabled) { meterFlag = enabled; }

    // Makes HasEnvelopes look at this float, bool or unsigned parameter.
    void WatchEnvelope(ParamFamily family, std::uint32_t index);
    // Every float, bool and unsigned parameter that has an envelope takes the colour;
    // the others, and all of them when the colour is "none", lose their highlight.
    void ApplyAutomationHighlight(std::int32_t colour);

protected:
    // The common part of registering the parameters: a fresh envelope store, the
    // owner's component list, the automatable index lists and their render buffers.
    void CompleteRegistration();

    // For components that skip envelope playback: the start time of the block being
    // processed, and the way to have the editor told that a parameter moved.
    std::int64_t AutomationTime() const { return automationTime; }
    void MarkAutomationChanged() { automationChanged = true; }

private:
    void RenderEnvelopes(std::uint32_t rate, std::int64_t blockTime, int frames, int zipper);
    std::size_t SubBlockCount() const;
    // Writes the sub-block's envelope values; true when that changed the block format.
    bool PlayEnvelopes(std::size_t subBlock, bool& editorFlag);
    int ProcessSubBlock(int frames, int position, float* channel0, float* channel1);

    std::unique_ptr<EnvelopeHandler> envelopeHandler;
    std::int64_t automationTime = 0;
    bool automationChanged = false;
    std::vector<std::uint32_t> watchedFloat;
    std::vector<std::uint32_t> watchedBool;
    std::vector<std::uint32_t> watchedUInt;
    NamedLock lock;
    Plugin& owner;
    SharedString name;
    std::uint32_t ownBuffers;
    BlockAdapter blockAdapter;
    std::vector<std::uint32_t> automatableFloat;
    std::vector<std::uint32_t> automatableBool;
    std::vector<std::uint32_t> automatableUInt;
    // One entry per sub-block, one buffer per automatable parameter.
    std::vector<std::vector<float>> floatRenders;
    std::vector<std::vector<bool>> boolRenders;
    std::vector<std::vector<std::uint32_t>> uintRenders;
    std::array<std::vector<float>, 2> workBuffers;
    std::atomic<bool> activeMark{false};
    std::atomic<bool> hasEnvelopesCache{false};
    std::atomic<bool> meterFlag{true};
};

} // namespace DSP
