#include "core/TransformBase.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/Global.h"
#include "core/Plugin.h"
#include "platform/Win32.h"
#include "primitives/Vec.h"

namespace DSP {

namespace {

// "Global: Preset Change Mode"; any other value processes as usual.
constexpr std::uint32_t presetChangeBypass = 1;
constexpr std::uint32_t presetChangeMute = 2;

// Bypass changes from automation reach the editor at most this often (milliseconds).
constexpr DWORD bypassAnnounceInterval = 67;
constexpr std::int64_t timeUnitsPerSecond = 10'000'000;

// The anti-denormal offset is positive for 128 samples, then negative for 128. The
// pattern holds two periods so that one period can be read from any phase.
constexpr int offsetPeriod = 256;
using OffsetPattern = std::array<float, 2 * offsetPeriod>;

OffsetPattern MakeOffsetPattern(float size) {
    OffsetPattern pattern{};
    for (int i = 0; i < int(pattern.size()); ++i) {
        pattern[std::size_t(i)] = i % offsetPeriod >= offsetPeriod / 2 ? -size : size;
    }
    return pattern;
}

const OffsetPattern leftOffsets = MakeOffsetPattern(1e-10f);
const OffsetPattern rightOffsets = MakeOffsetPattern(2e-10f);

void CopyChannel(int frames, const float* in, float* out) {
    if (in != out) VecCopy(frames, in, out);
}

// Moves a pair of channel pointers on; an absent right channel stays absent.
template <class T> void Advance(int frames, T*& left, T*& right) {
    left += frames;
    if (right != nullptr) right += frames;
}

void Grow(std::vector<float>& buffer, std::size_t size) {
    if (buffer.size() < size) buffer.resize(size);
}

} // namespace

TransformBase::TransformBase(Plugin& plugin)
    : plugin(plugin), global(std::make_unique<Global>(plugin)),
      globalDerived(std::make_unique<GlobalDerived>(plugin)) {}

TransformBase::~TransformBase() = default;

int TransformBase::Process(int frames, float* inL, float* inR, float* outL, float* outR) {
    if (frames <= 0) return 0;
    LockHolder hold(plugin.TransformLock());
    if (ShortCircuited(frames, inL, inR, outL, outR)) return frames;
    FollowMonoSetting(inR);
    const bool mixToMono = monoActive && inR != nullptr;
    if (mixToMono) {
        VecAdd(frames, inR, inL);
        VecMulC(frames, inL, 0.5f);
    }
    const int produced = mixToMono ? ProcessBlock(frames, inL, nullptr, outL, nullptr)
                                   : ProcessBlock(frames, inL, inR, outL, outR);
    if (mixToMono && outR != nullptr) VecCopy(produced, outL, outR);
    return produced;
}

bool TransformBase::ShortCircuited(int frames, const float* inL, const float* inR, float* outL,
                                   float* outR) {
    if (plugin.PresetChanging()) {
        const std::uint32_t mode = global->GetPresetChangeMode();
        if (mode == presetChangeBypass) {
            Bypass(frames, inL, inR, outL, outR);
            return true;
        }
        if (mode == presetChangeMute) {
            VecZero(frames, outL);
            VecZero(frames, outR);
            return true;
        }
        // Realtime: the block is processed even when the plug-in-wide bypass is on, so
        // that a preset change is heard as it happens.
        return false;
    }
    // An automated bypass is followed sub-block by sub-block further on.
    if (global->GetBypass() && !global->Envelopes().HasBoolEnvelope(Global::bypassParam, true)) {
        Bypass(frames, inL, inR, outL, outR);
        return true;
    }
    return false;
}

// Switching between one and two channels re-prepares every component for the new count.
void TransformBase::FollowMonoSetting(const float* inR) {
    const bool mono = global->GetProcessAsMono();
    if (mono == monoActive || inR == nullptr) return;
    monoActive = mono;
    Stop();
    Start(sampleRate);
}

int TransformBase::ProcessBlock(int frames, float* inL, float* inR, float* outL, float* outR) {
    ApplyDirtyChanges();
    SetProcessing(true);
    delayCompensation = global->GetDelayCompensation();
    int produced = 0;
    try {
        produced = CompensatedProcess(frames, inL, inR, outL, outR);
    } catch (...) {
        SetProcessing(false);
        throw;
    }
    SetProcessing(false);
    return produced;
}

// The first `latency` frames of a stream are dropped; the rest move to the buffer start.
int TransformBase::CompensatedProcess(int frames, float* inL, float* inR, float* outL,
                                      float* outR) {
    const int made = AutomatedProcess(frames, inL, inR, outL, outR);
    const std::uint32_t held = latency;
    const std::uint32_t done = discarded;
    if (!delayCompensation || done >= held) return made;
    const std::uint32_t remaining = held - done;
    if (remaining >= std::uint32_t(made)) {
        discarded = done + std::uint32_t(made);
        return 0;
    }
    const int kept = made - int(remaining);
    VecMove(kept, outL + remaining, outL);
    if (outR != nullptr) VecMove(kept, outR + remaining, outR);
    discarded = held;
    return kept;
}

int TransformBase::AutomatedProcess(int frames, float* inL, float* inR, float* outL, float* outR) {
    const int zipper = Zipper();
    const int produced = global->Envelopes().HasBoolEnvelope(Global::bypassParam, true)
                             ? SwitchedProcess(frames, inL, inR, outL, outR, zipper)
                             : RunSegment(frames, inL, inR, outL, outR, zipper);
    AnnounceBypassChange();
    return produced;
}

// Plays the bypass envelope once per sub-block of `zipper` frames and bypasses or
// processes each sub-block accordingly.
int TransformBase::SwitchedProcess(int frames, float* inL, float* inR, float* outL, float* outR,
                                   int zipper) {
    global->Envelopes().RenderBoolEnvelope(Global::bypassParam, blockTime, sampleRate, frames,
                                           bypassBits, zipper, global->GetBypass());
    const bool held = global->GetBoolParamEnvelopeHold(Global::bypassParam);
    int produced = 0;
    for (std::size_t s = 0; s < bypassBits.size(); ++s) {
        const int length = std::min(zipper, frames - int(s) * zipper);
        if (!held && bypassBits[s] != global->GetBypass()) {
            global->SetBoolParam(Global::bypassParam, bypassBits[s]);
            notifyEditor = true;
        }
        int made = length;
        if (global->GetBypass()) {
            Bypass(length, inL, inR, outL, outR);
        } else {
            made = RunSegment(length, inL, inR, outL, outR, zipper);
        }
        Advance(length, inL, inR);
        Advance(made, outL, outR);
        produced += made;
    }
    return produced;
}

int TransformBase::RunSegment(int frames, float* inL, float* inR, float* outL, float* outR,
                              int zipper) {
    AddAntiDenormalOffset(frames, inL, inR);
    return Run(frames, inL, inR, outL, outR, zipper);
}

// Keeps recursive filters in the stages out of denormal arithmetic on silent input.
void TransformBase::AddAntiDenormalOffset(int frames, float* inL, float* inR) {
    int phase = denormalPhase;
    for (int done = 0; done < frames;) {
        const int chunk = std::min(frames - done, offsetPeriod);
        VecAdd(chunk, leftOffsets.data() + phase, inL + done);
        if (inR != nullptr) VecAdd(chunk, rightOffsets.data() + phase, inR + done);
        phase = (phase + chunk) % offsetPeriod;
        done += chunk;
    }
    denormalPhase = std::uint8_t(phase);
}

void TransformBase::AnnounceBypassChange() {
    if (!notifyEditor || !plugin.HasEditor()) return;
    const DWORD now = GetTickCount();
    if (now - lastNotifyTick < bypassAnnounceInterval) return;
    notifyEditor = false;
    lastNotifyTick = now;
    plugin.NotifyEditor(EditorNotification::StateChanged);
}

int TransformBase::Zipper() const {
    return int(std::lround(global->GetAutomationZipperSamples()));
}

void TransformBase::Bypass(int frames, const float* inL, const float* inR, float* outL,
                           float* outR) {
    CopyChannel(frames, inL, outL);
    if (inR != nullptr) CopyChannel(frames, inR, outR);
}

void TransformBase::Start(std::uint32_t rate) {
    discarded = 0;
    delayCompensation = global->GetDelayCompensation();
    const bool rateChanged = sampleRate.exchange(rate) != rate;
    Reset();
    for (Component* component : plugin.Components())
        component->SetSampleRate(rate);
    ApplyDirtyChanges();
    if (rateChanged) plugin.NotifyEditor(EditorNotification::SampleRateChanged);
}

void TransformBase::Stop() {
    for (Component* component : plugin.Components())
        component->OnStop();
}

void TransformBase::Reset() {
    {
        LockHolder hold(plugin.StateLock());
        enablesDirty = true;
        latencyDirty = true;
    }
    discarded = 0;
    denormalPhase = 0;
    for (Component* component : plugin.Components())
        component->Reset();
}

// Runs under the state lock, so that a control thread and the streaming thread never
// apply changes at the same time. The lock order is state lock, then component locks;
// the reverse happens only on the streaming thread while a block is in flight, when
// control threads defer their changes instead of applying them.
void TransformBase::ApplyPendingChanges(bool activity, bool delay) {
    LockHolder hold(plugin.StateLock());
    if (activity) enablesDirty = false;
    if (delay) latencyDirty = false;
    if (activity) {
        for (Component* component : plugin.Components()) {
            const bool active = component->IsActive();
            if (active == component->ActiveMark()) continue;
            component->SetActiveMark(active);
            if (!active) component->Reset();
        }
    }
    if (delay) RecomputeLatency();
}

void TransformBase::ApplyDirtyChanges() {
    LockHolder hold(plugin.StateLock());
    ApplyPendingChanges(enablesDirty, latencyDirty);
}

void TransformBase::RecomputeLatency() {
    {
        LockHolder hold(plugin.StateLock());
        std::uint32_t total = 0;
        for (Component* component : plugin.Components()) {
            if (component->ActiveMark()) total += component->GetLatency();
        }
        if (plugin.LatencyFrozen()) total = plugin.FrozenLatency();
        if (plugin.LatencyMode() == 2) total += plugin.GetExtraLatency();
        latency = total;
    }
    plugin.OnLatencyChanged();
}

void TransformBase::InvalidateAll(Component& /*component*/) {
    Invalidate(true);
}

void TransformBase::InvalidateLatency(Component& /*component*/) {
    Invalidate(false);
}

// While a block is in flight the change waits for the start of the next one.
void TransformBase::Invalidate(bool enables) {
    bool applied = false;
    {
        LockHolder hold(plugin.StateLock());
        enablesDirty = enablesDirty || enables;
        latencyDirty = true;
        if (!processing) {
            ApplyPendingChanges(enablesDirty, latencyDirty);
            applied = true;
        }
    }
    if (applied) plugin.NotifyEditor(EditorNotification::StateChanged);
}

void TransformBase::SetProcessing(bool on) {
    LockHolder hold(plugin.StateLock());
    processing = on;
}

// The tail is what the components still hold of the stream: it comes out when they are
// fed `latency` frames of silence. Processed as mono, the left channel serves both.
int TransformBase::FlushTail(std::vector<float>& outL, std::vector<float>* outR) {
    const std::uint32_t frames = latency;
    if (!delayCompensation || frames == 0) return 0;
    const std::size_t room = std::size_t(frames) * (plugin.OutputFactor() == 1 ? 1 : 2);
    Grow(outL, room);
    if (outR != nullptr) Grow(*outR, room);
    const bool stereo = outR != nullptr && !monoActive;
    tailLeft.assign(frames, 0.0f);
    if (stereo) tailRight.assign(frames, 0.0f);
    RunSegment(int(frames), tailLeft.data(), stereo ? tailRight.data() : nullptr, outL.data(),
               stereo ? outR->data() : nullptr, Zipper());
    if (outR != nullptr && !stereo) VecCopy(int(frames), outL.data(), outR->data());
    return int(frames);
}

std::int64_t TransformBase::CompensateTime(std::int64_t time) const {
    return time - std::int64_t(discarded) * timeUnitsPerSecond / std::int64_t(sampleRate);
}

std::uint32_t TransformBase::ProcessingChannels() const {
    return inputChannels < 2 || global->GetProcessAsMono() ? 1 : 2;
}

bool TransformBase::SetChannels(std::uint32_t inputs, std::uint32_t outputs) {
    if (inputs == inputChannels && outputs == outputChannels) return false;
    inputChannels = inputs;
    outputChannels = outputs;
    return true;
}

} // namespace DSP
