#pragma once
// The plug-in object: the host-independent half of the plug-in. A host adapter
// derives from it. It owns the audio engine and the two locks that order processing
// against control, keeps the list of components, which register themselves when they
// are built, and tells an attached editor about changes through posted window messages.
//
// A host adapter calls, in this order: SetChannels whenever a pin's format changes;
// StartStreaming; per host buffer CompensateTime of its times, then Process; FlushTail
// at the end of the stream; StopStreaming.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "Util/NamedLock.h"
#include "Util/RegistryKey.h"
#include "platform/Win32.h"

class Plugin;

namespace DSP {
class Component;
class TransformBase;
} // namespace DSP

// The value of a changed parameter. The alternative's position is the family code:
// 0 float, 1 bool, 2 unsigned, 3 int.
using ParamValue = std::variant<float, bool, std::uint32_t, std::int32_t>;

// A user grabbing a control begins a capture, moves it (changes) and lets go.
enum class ChangePhase : std::uint32_t { BeginCapture = 0, Change = 1, EndCapture = 2 };

// First parameter of the editor's window message.
enum class EditorNotification : WPARAM {
    StateChanged = 0,
    StateLoaded = 1,
    StreamingStarted = 2,
    StreamingStopped = 3,
    SampleRateChanged = 4,
    RedrawTimingChanged = 11,
    BackgroundGridChanged = 12,
};

// Builds the plug-in's audio engine. It runs inside the Plugin constructor, before the
// derived adapter exists, so the engine's components see only Plugin's own hooks.
using EngineFactory = std::function<std::unique_ptr<DSP::TransformBase>(Plugin&)>;

// The effect's own engine, a DSP::RestorationEngine that runs the restoration chain.
std::unique_ptr<DSP::TransformBase> MakeRestorationEngine(Plugin& plugin);

// Sizes of the blocks processed since the history was enabled: frames in and out.
struct BlockHistory {
    std::vector<std::int32_t> framesIn;
    std::vector<std::int32_t> framesOut;
};

class Plugin {
public:
    // latencyMode 2 adds GetExtraLatency to the engine latency; outputFactor 1 sizes
    // scratch sample buffers to one block, any other value to two. Makes sure the data
    // directory named in the per-user settings exists, then builds the engine.
    Plugin(std::int32_t latencyMode, std::int32_t outputFactor,
           const EngineFactory& buildEngine = MakeRestorationEngine);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;
    virtual ~Plugin();

    // After every latency recomputation.
    virtual void OnLatencyChanged() {}
    // "Global: Delay Compensation" changed value.
    virtual void OnGlobalSettingChanged() {}
    // Frames the adapter adds to the engine latency when latencyMode is 2.
    virtual std::uint32_t GetExtraLatency() const { return 0; }
    // One of a component's automatable parameters moved (index within its family).
    virtual void OnParameterChanged(ChangePhase phase, DSP::Component& component,
                                    std::uint32_t index, const ParamValue& value) = 0;

    // Appends the component and adds its share to the saved-state size: 4 bytes per
    // saved float, unsigned and int parameter, 1 per saved bool, 4 for the private-data
    // length, and the private data itself when the component saves it.
    void RegisterComponent(DSP::Component& component);
    const std::vector<DSP::Component*>& Components() const { return components; }
    std::uint32_t StateSize() const { return stateSize; }

    // The saved state: a little-endian block of StateSize() bytes with a 12-byte header
    // (magic, format version, size), then per component its saved parameters and its
    // private data. A save never sees half of a load: both hold the state lock.
    std::vector<std::uint8_t> SaveState();
    // The same block with every parameter at its default and the private data as it is
    // now, so that a learnt noise profile survives a return to the defaults.
    std::vector<std::uint8_t> MakeDefaultState();
    // The size of the state that a 12-byte header announces, after any conversion of
    // another format version; 0 when the state cannot be loaded.
    std::uint32_t StateSizeFromHeader(const std::uint8_t* header) const;
    // Sets the parameters and private data from a block of this build's format and size;
    // any other block is ignored. Unless silent, every parameter whose value changes is
    // reported through OnParameterChanged.
    void ApplyState(const std::vector<std::uint8_t>& state, bool silent);
    // ApplyState, then tells an attached editor that a state was loaded and the state
    // changed. False, with nothing changed, for a block shorter than a header or whose
    // header is not this build's; a right header on a block of the wrong length is
    // accepted and changes nothing.
    bool LoadState(const std::vector<std::uint8_t>& state, bool silent);

    // Forwarded to the engine; a component reports that its activity or its latency
    // changed. While the engine is still being built there is nothing to tell.
    void InvalidateAll(DSP::Component& component);
    void InvalidateLatency(DSP::Component& component);
    // Clears every component's processing history through the engine; delay
    // compensation starts again. The adapter calls it for a buffer stamped with time 0.
    void ResetState();

    // Posts the state-changed notification when the pair differs from the engine's.
    void SetChannels(std::uint32_t inputChannels, std::uint32_t outputChannels);
    void StartStreaming(std::uint32_t sampleRate);
    void StopStreaming();
    bool IsStreaming() const { return streaming; }
    // One host buffer; inR and outR are null for a mono side. The input buffers may be
    // written to. Returns the frames produced, which may be fewer than frames while
    // the start of the stream is discarded for delay compensation.
    int Process(int frames, float* inL, float* inR, float* outL, float* outR);
    // A host time moved back by the duration discarded so far.
    std::int64_t CompensateTime(std::int64_t time) const;
    // End of stream: the frames still held back, written into the grown buffers.
    int FlushTail(std::vector<float>& outL, std::vector<float>* outR);

    // Start time (100-ns units) of the current host buffer after delay compensation;
    // the automation timeline of the next block.
    std::int64_t StreamStart() const { return streamStart; }
    void SetStreamStart(std::int64_t time) { streamStart = time; }

    DSP::TransformBase& Engine() { return *transform; }
    // "Plugin": the engine's pending changes, the block history, a state load.
    NamedLock& StateLock() { return stateLock; }
    // "Plugin::Transforming": held for the whole of every processed block.
    NamedLock& TransformLock() { return transformLock; }

    // While frozen, the engine reports `frames` instead of the components' sum, from
    // its next latency recomputation on.
    void FreezeLatency(bool frozen, std::uint32_t frames);
    bool LatencyFrozen() const { return latencyFrozen; }
    std::uint32_t FrozenLatency() const { return frozenLatency; }

    // Records the sizes of the next 100 blocks, then stops by itself.
    void EnableBlockHistory() { historyEnabled = true; }
    BlockHistory GetBlockHistory();

    // While set, the engine follows "Global: Preset Change Mode" and the global
    // settings leave the engine's pending changes alone.
    bool PresetChanging() const { return presetChanging; }
    void SetPresetChanging(bool changing) { presetChanging = changing; }

    std::int32_t LatencyMode() const { return latencyMode; }
    std::int32_t OutputFactor() const { return outputFactor; }

    // Notifications go to this window; null detaches the editor.
    void AttachEditor(HWND window) { editorWindow = window; }
    bool HasEditor() const { return editorWindow != nullptr; }
    // Posts the notification to an attached editor. A state change is posted only when
    // the previous one has been acknowledged.
    void NotifyEditor(EditorNotification code);
    void AcknowledgeStateChanged() { notifyPending = false; }

private:
    void RecordBlock(int framesIn, int framesOut);

    std::atomic<HWND> editorWindow{nullptr};
    Util::RegistryKey settingsKey;
    std::int64_t streamStart = 0;
    std::atomic<bool> notifyPending{false};
    std::vector<DSP::Component*> components;
    std::uint32_t stateSize = 12;
    NamedLock stateLock;
    NamedLock transformLock;
    std::atomic<bool> streaming{false};
    std::atomic<bool> presetChanging{false};
    std::int32_t latencyMode;
    std::int32_t outputFactor;
    std::atomic<std::uint32_t> frozenLatency{0};
    std::atomic<bool> latencyFrozen{false};
    std::atomic<bool> historyEnabled{false};
    BlockHistory history;
    // Last, so that it goes first: the engine's components use the locks above.
    std::unique_ptr<DSP::TransformBase> transform;
};
