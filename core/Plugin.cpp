#include "core/Plugin.h"

#include "Util/Dir.h"
#include "Util/FileIOException.h"
#include "core/Component.h"
#include "core/RestorationEngine.h"

namespace {

// Bytes a saved parameter of each family takes in the state.
constexpr std::uint32_t savedNumberSize = 4;
constexpr std::uint32_t savedBoolSize = 1;
constexpr std::uint32_t customLengthSize = 4;

std::uint32_t SavedCount(std::uint32_t count, const DSP::Component& component,
                         std::uint32_t (DSP::Component::*storage)(std::uint32_t) const) {
    std::uint32_t saved = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if ((component.*storage)(i) == 0) ++saved;
    }
    return saved;
}

std::uint32_t SavedStateShare(const DSP::Component& c) {
    using C = DSP::Component;
    const std::uint32_t numbers = SavedCount(c.GetNumFloatParams(), c, &C::GetFloatParamStorage) +
                                  SavedCount(c.GetNumUIntParams(), c, &C::GetUIntParamStorage) +
                                  SavedCount(c.GetNumIntParams(), c, &C::GetIntParamStorage);
    const std::uint32_t bools = SavedCount(c.GetNumBoolParams(), c, &C::GetBoolParamStorage);
    const bool savesCustom = c.GetCustomStateStorage() != DSP::customStateNotSaved;
    return numbers * savedNumberSize + bools * savedBoolSize + customLengthSize +
           (savesCustom ? c.GetCustomStateSize() : 0);
}

// Blocks recorded after the history is enabled.
constexpr std::size_t historyLength = 100;

SharedString SettingsKeyPath() {
    return SharedString("SOFTWARE\\%1\\%2\\DirectX")
        .Arg("Quillon")
        .Arg("QuillonSonavelEnhancement");
}

// The data directory is a convenience: a plug-in that cannot create it still works.
void EnsureDataDirectory(const Util::RegistryKey& settingsKey) {
    const SharedString path = settingsKey.ReadString("InstallPath", Util::Dir::ModuleDirectory());
    try {
        Util::Dir::CreateDirectory(Util::Dir(path).Path(), true);
    } catch (const Util::Exception::FileIO&) {
    }
}

UINT EditorMessage() {
    static const UINT message = RegisterWindowMessageA("QxAudio_WM_QX_AUDIO_CUSTOM");
    return message;
}

} // namespace

std::unique_ptr<DSP::TransformBase> MakeRestorationEngine(Plugin& plugin) {
    return std::make_unique<DSP::RestorationEngine>(plugin);
}

Plugin::Plugin(std::int32_t latencyMode, std::int32_t outputFactor,
               const EngineFactory& buildEngine)
    : settingsKey(SettingsKeyPath()), stateLock("Plugin"), transformLock("Plugin::Transforming"),
      latencyMode(latencyMode), outputFactor(outputFactor) {
    EnsureDataDirectory(settingsKey);
    history.framesIn.reserve(historyLength);
    history.framesOut.reserve(historyLength);
    transform = buildEngine(*this);
    transform->ApplyPendingChanges(true, true);
}

Plugin::~Plugin() = default;

void Plugin::RegisterComponent(DSP::Component& component) {
    components.push_back(&component);
    stateSize += SavedStateShare(component);
}

void Plugin::InvalidateAll(DSP::Component& component) {
    if (transform != nullptr) transform->InvalidateAll(component);
}

void Plugin::InvalidateLatency(DSP::Component& component) {
    if (transform != nullptr) transform->InvalidateLatency(component);
}

void Plugin::ResetState() {
    if (transform != nullptr) transform->Reset();
}

void Plugin::SetChannels(std::uint32_t inputChannels, std::uint32_t outputChannels) {
    if (transform->SetChannels(inputChannels, outputChannels))
        NotifyEditor(EditorNotification::StateChanged);
}

void Plugin::StartStreaming(std::uint32_t sampleRate) {
    streaming = true;
    NotifyEditor(EditorNotification::StreamingStarted);
    transform->Start(sampleRate);
}

void Plugin::StopStreaming() {
    streaming = false;
    NotifyEditor(EditorNotification::StreamingStopped);
    transform->Stop();
}

int Plugin::Process(int frames, float* inL, float* inR, float* outL, float* outR) {
    transform->SetBlockTime(streamStart);
    const int produced = transform->Process(frames, inL, inR, outL, outR);
    if (historyEnabled) RecordBlock(frames, produced);
    return produced;
}

void Plugin::RecordBlock(int framesIn, int framesOut) {
    LockHolder hold(stateLock);
    if (history.framesIn.size() >= historyLength) return;
    history.framesIn.push_back(framesIn);
    history.framesOut.push_back(framesOut);
    if (history.framesIn.size() == historyLength) historyEnabled = false;
}

BlockHistory Plugin::GetBlockHistory() {
    LockHolder hold(stateLock);
    return history;
}

std::int64_t Plugin::CompensateTime(std::int64_t time) const {
    return transform->CompensateTime(time);
}

int Plugin::FlushTail(std::vector<float>& outL, std::vector<float>* outR) {
    return transform->FlushTail(outL, outR);
}

// Under the state lock, so that a recomputation sees the flag and the frames together.
void Plugin::FreezeLatency(bool frozen, std::uint32_t frames) {
    LockHolder hold(stateLock);
    frozenLatency = frames;
    latencyFrozen = frozen;
}

void Plugin::NotifyEditor(EditorNotification code) {
    const HWND window = editorWindow;
    if (window == nullptr) return;
    if (code == EditorNotification::StateChanged && notifyPending.exchange(true)) return;
    PostMessageA(window, EditorMessage(), WPARAM(code), 0);
}
