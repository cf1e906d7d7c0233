#include "core/Component.h"

#include <algorithm>

#include "core/Plugin.h"
#include "primitives/Vec.h"

namespace DSP {

namespace {

// How RenderBlock reaches one family's envelopes and values.
template <class V, class Buffer> struct FamilyAccess {
    bool (EnvelopeHandler::*hasEnvelope)(std::uint32_t, bool);
    bool (EnvelopeHandler::*render)(std::uint32_t, std::int64_t, std::uint32_t, int, Buffer&, int,
                                    V);
    V (Component::*get)(std::uint32_t) const;
    void (Component::*set)(std::uint32_t, V);
    bool (Component::*held)(std::uint32_t) const;
};

const FamilyAccess<float, std::vector<float>> floatAccess{
    &EnvelopeHandler::HasFloatEnvelope, &EnvelopeHandler::RenderFloatEnvelope,
    &Component::GetFloatParam, &Component::SetFloatParam, &Component::GetFloatParamEnvelopeHold};
const FamilyAccess<bool, std::vector<bool>> boolAccess{
    &EnvelopeHandler::HasBoolEnvelope, &EnvelopeHandler::RenderBoolEnvelope,
    &Component::GetBoolParam, &Component::SetBoolParam, &Component::GetBoolParamEnvelopeHold};
const FamilyAccess<std::uint32_t, std::vector<std::uint32_t>> uintAccess{
    &EnvelopeHandler::HasUIntEnvelope, &EnvelopeHandler::RenderUIntEnvelope,
    &Component::GetUIntParam, &Component::SetUIntParam, &Component::GetUIntParamEnvelopeHold};

template <class V, class Buffer>
void RenderFamily(Component& component, const FamilyAccess<V, Buffer>& access,
                  const std::vector<std::uint32_t>& indices, std::vector<Buffer>& renders,
                  std::uint32_t rate, std::int64_t blockTime, int frames, int zipper) {
    EnvelopeHandler& envelopes = component.Envelopes();
    for (std::size_t k = 0; k < indices.size(); ++k) {
        (envelopes.*access.render)(indices[k], blockTime, rate, frames, renders[k], zipper,
                                   (component.*access.get)(indices[k]));
    }
}

template <class V, class Buffer>
void PlayFamily(Component& component, const FamilyAccess<V, Buffer>& access,
                const std::vector<std::uint32_t>& indices, const std::vector<Buffer>& renders,
                std::size_t subBlock, bool& editorFlag) {
    EnvelopeHandler& envelopes = component.Envelopes();
    for (std::size_t k = 0; k < indices.size(); ++k) {
        const std::uint32_t i = indices[k];
        if (!(envelopes.*access.hasEnvelope)(i, true) || (component.*access.held)(i)) continue;
        const V value = renders[k][subBlock];
        if (value == (component.*access.get)(i)) continue;
        (component.*access.set)(i, value);
        editorFlag = true;
    }
}

std::vector<std::uint32_t> AutomatableIndices(const Component& component, std::uint32_t count,
                                              bool (Component::*automatable)(std::uint32_t) const) {
    std::vector<std::uint32_t> indices;
    for (std::uint32_t i = 0; i < count; ++i) {
        if ((component.*automatable)(i)) indices.push_back(i);
    }
    return indices;
}

} // namespace

Component::Component(Plugin& owner, const SharedString& name, std::uint32_t ownBuffers)
    : lock(SharedString("DSP::Component %1").Arg(name)), owner(owner), name(name),
      ownBuffers(ownBuffers) {
    blockAdapter.Configure({0, 2, 2});
}

Component::~Component() = default;

bool Component::HasEnvelopes() {
    EnvelopeHandler& envelopes = *envelopeHandler;
    auto any = [](const std::vector<std::uint32_t>& watched, auto has) {
        return std::any_of(watched.begin(), watched.end(), has);
    };
    return any(watchedFloat,
               [&](std::uint32_t i) { return envelopes.HasFloatEnvelope(i, true); }) ||
           any(watchedBool, [&](std::uint32_t i) { return envelopes.HasBoolEnvelope(i, true); }) ||
           any(watchedUInt, [&](std::uint32_t i) { return envelopes.HasUIntEnvelope(i, true); });
}

void Component::WatchEnvelope(ParamFamily family, std::uint32_t index) {
    switch (family) {
    case ParamFamily::Float:
        watchedFloat.push_back(index);
        break;
    case ParamFamily::Bool:
        watchedBool.push_back(index);
        break;
    case ParamFamily::UInt:
        watchedUInt.push_back(index);
        break;
    case ParamFamily::Int:
        break; // the int family has no envelopes
    }
}

void Component::ApplyAutomationHighlight(std::int32_t colour) {
    EnvelopeHandler& envelopes = *envelopeHandler;
    LockHolder hold(envelopes.Lock());
    auto colourFor = [&](bool hasEnvelope) {
        return colour != noHighlight && hasEnvelope ? colour : noHighlight;
    };
    for (std::uint32_t i = 0; i < GetNumFloatParams(); ++i) {
        SetFloatParamHighlight(i, colourFor(envelopes.HasFloatEnvelope(i, false)));
    }
    for (std::uint32_t i = 0; i < GetNumBoolParams(); ++i) {
        SetBoolParamHighlight(i, colourFor(envelopes.HasBoolEnvelope(i, false)));
    }
    for (std::uint32_t i = 0; i < GetNumUIntParams(); ++i) {
        SetUIntParamHighlight(i, colourFor(envelopes.HasUIntEnvelope(i, false)));
    }
}

void Component::CompleteRegistration() {
    envelopeHandler.reset();
    envelopeHandler = std::make_unique<EnvelopeHandler>(*this);
    owner.RegisterComponent(*this);
    automatableFloat =
        AutomatableIndices(*this, GetNumFloatParams(), &Component::IsFloatParamAutomatable);
    automatableBool =
        AutomatableIndices(*this, GetNumBoolParams(), &Component::IsBoolParamAutomatable);
    automatableUInt =
        AutomatableIndices(*this, GetNumUIntParams(), &Component::IsUIntParamAutomatable);
    floatRenders.assign(automatableFloat.size(), {});
    boolRenders.assign(automatableBool.size(), {});
    uintRenders.assign(automatableUInt.size(), {});
}

void Component::Reset() {
    ResetProcessing();
    LockHolder hold(lock);
    blockAdapter.Clear();
}

std::uint32_t Component::GetLatency() {
    std::uint32_t adapterLatency = 0;
    {
        LockHolder hold(lock);
        adapterLatency = blockAdapter.Latency();
    }
    return adapterLatency + GetProcessingLatency();
}

void Component::SetFormat(std::uint32_t blockSize, std::uint32_t inputChannels,
                          std::uint32_t outputChannels) {
    {
        LockHolder hold(lock);
        blockAdapter.Configure({blockSize, inputChannels, outputChannels});
    }
    // Outside the component lock: the owner may recompute the latency at once, and
    // that takes the plug-in's lock before the component locks.
    owner.InvalidateLatency(*this);
}

std::uint32_t Component::GetBlockSize() {
    LockHolder hold(lock);
    return blockAdapter.GetFormat().blockSize;
}

int Component::ProcessStream(std::uint32_t rate, std::int64_t blockTime, int zipper,
                             bool& editorFlag, int frames, float* channel0, float* channel1,
                             bool force) {
    if (!activeMark && !hasEnvelopesCache && !force) return frames;
    LockHolder hold(lock);
    int produced = frames;
    try {
        blockAdapter.Begin(frames, {channel0, channel1});
        BlockAdapter::Block block;
        while (blockAdapter.NextBlock(block)) {
            bool formatChanged = false;
            produced = RenderBlock(rate, blockTime, zipper, editorFlag, block.frames,
                                   block.channels[0], block.channels[1], formatChanged);
            if (formatChanged) return frames;
        }
        blockAdapter.End();
    } catch (...) {
        blockAdapter.Abort();
        throw;
    }
    return blockAdapter.GetFormat().blockSize == 0 ? produced : frames;
}

int Component::RenderBlock(std::uint32_t rate, std::int64_t blockTime, int zipper, bool& editorFlag,
                           int frames, float* channel0, float* channel1, bool& formatChanged) {
    formatChanged = false;
    const bool skipsEnvelopes = SkipsEnvelopes();
    if (!envelopeHandler->AnyEnvelope()) return Process(frames, channel0, channel1);
    // A fixed-size block takes its automation once, as does a component that plays it itself.
    if (blockAdapter.GetFormat().blockSize != 0 || skipsEnvelopes) zipper = std::max(frames, 1);
    if (!skipsEnvelopes) RenderEnvelopes(rate, blockTime, frames, zipper);
    if (ownBuffers != 0) {
        for (auto& buffer : workBuffers)
            buffer.assign(2 * std::size_t(frames), 0.0f);
    }
    const std::size_t subBlocks = skipsEnvelopes ? 1 : SubBlockCount();
    if (subBlocks == 0) return frames;

    float* const first0 = channel0;
    float* const first1 = channel1;
    int produced = 0;
    for (std::size_t s = 0; s < subBlocks; ++s) {
        const int length = std::min(zipper, frames - int(s) * zipper);
        if (skipsEnvelopes) {
            automationTime = blockTime;
            automationChanged = false;
        } else if (PlayEnvelopes(s, editorFlag)) {
            blockAdapter.Abort();
            formatChanged = true;
            return frames;
        }
        produced += ProcessSubBlock(length, produced, channel0, channel1);
        if (skipsEnvelopes && automationChanged) editorFlag = true;
        channel0 += length;
        if (channel1 != nullptr) channel1 += length;
    }
    if (ownBuffers != 0) {
        VecCopy(produced, workBuffers[0].data(), first0);
        VecCopy(produced, first1 != nullptr ? workBuffers[1].data() : nullptr, first1);
    }
    if (hasEnvelopesCache) activeMark = IsActive();
    return produced;
}

void Component::RenderEnvelopes(std::uint32_t rate, std::int64_t blockTime, int frames,
                                int zipper) {
    RenderFamily(*this, floatAccess, automatableFloat, floatRenders, rate, blockTime, frames,
                 zipper);
    RenderFamily(*this, boolAccess, automatableBool, boolRenders, rate, blockTime, frames, zipper);
    RenderFamily(*this, uintAccess, automatableUInt, uintRenders, rate, blockTime, frames, zipper);
}

std::size_t Component::SubBlockCount() const {
    if (!floatRenders.empty()) return floatRenders[0].size();
    if (!boolRenders.empty()) return boolRenders[0].size();
    if (!uintRenders.empty()) return uintRenders[0].size();
    return 0;
}

bool Component::PlayEnvelopes(std::size_t subBlock, bool& editorFlag) {
    const BlockAdapter::Format before = blockAdapter.GetFormat();
    PlayFamily(*this, floatAccess, automatableFloat, floatRenders, subBlock, editorFlag);
    PlayFamily(*this, boolAccess, automatableBool, boolRenders, subBlock, editorFlag);
    PlayFamily(*this, uintAccess, automatableUInt, uintRenders, subBlock, editorFlag);
    return !(blockAdapter.GetFormat() == before);
}

// Sub-blocks of an inactive component produce nothing while it has envelopes to play.
int Component::ProcessSubBlock(int frames, int position, float* channel0, float* channel1) {
    if (hasEnvelopesCache && !IsActive()) return 0;
    if (ownBuffers == 0) return Process(frames, channel0, channel1);
    float* work0 = workBuffers[0].data() + position;
    float* work1 = channel1 != nullptr ? workBuffers[1].data() + position : nullptr;
    VecCopy(frames, channel0, work0);
    VecCopy(frames, channel1, work1);
    return Process(frames, work0, work1);
}

} // namespace DSP
