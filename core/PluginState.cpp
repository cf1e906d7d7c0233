// The saved state of the plug-in: written from and applied to the component model.

#include <algorithm>

#include "core/Component.h"
#include "dsp/LittleEndian.h"
#include "core/Plugin.h"
#include "core/PrePatch.h"

namespace {

constexpr std::uint32_t stateMagic = 0x05AEAD4C;
constexpr std::uint32_t stateVersion = 23;
constexpr std::size_t headerSize = 12;
constexpr std::size_t numberSize = 4;
// A parameter with this storage code is saved.
constexpr std::uint32_t savedInState = 0;

// Whether a written state holds the parameters' values or their defaults.
enum class Values { Current, Defaults };

bool IsSaved(std::uint32_t storage) {
    return storage == savedInState;
}

bool SavesCustomState(const DSP::Component& component) {
    return component.GetCustomStateSize() != 0 &&
           component.GetCustomStateStorage() != DSP::customStateNotSaved;
}

bool HeaderMatches(const std::uint8_t* header, std::uint32_t size) {
    return LittleEndian::GetU32(header) == stateMagic &&
           LittleEndian::GetU32(header + 4) == stateVersion &&
           LittleEndian::GetU32(header + 8) == size;
}

bool IsOwnState(const std::vector<std::uint8_t>& state, std::uint32_t size) {
    return state.size() == size && HeaderMatches(state.data(), size);
}

// Appends one component's section at the write position.
class SectionWriter {
public:
    SectionWriter(std::vector<std::uint8_t>& state, std::size_t& at) : state(state), at(at) {}

    void Write(const DSP::Component& c, Values values) {
        const bool defaults = values == Values::Defaults;
        for (std::uint32_t i = 0; i < c.GetNumFloatParams(); ++i) {
            if (!IsSaved(c.GetFloatParamStorage(i))) continue;
            LittleEndian::PutFloat(Next(numberSize),
                                   defaults ? c.GetFloatParamDefault(i) : c.GetFloatParam(i));
        }
        for (std::uint32_t i = 0; i < c.GetNumBoolParams(); ++i) {
            if (!IsSaved(c.GetBoolParamStorage(i))) continue;
            *Next(1) = (defaults ? c.GetBoolParamDefault(i) : c.GetBoolParam(i)) ? 1 : 0;
        }
        for (std::uint32_t i = 0; i < c.GetNumUIntParams(); ++i) {
            if (!IsSaved(c.GetUIntParamStorage(i))) continue;
            LittleEndian::PutU32(Next(numberSize),
                                 defaults ? c.GetUIntParamDefault(i) : c.GetUIntParam(i));
        }
        for (std::uint32_t i = 0; i < c.GetNumIntParams(); ++i) {
            if (!IsSaved(c.GetIntParamStorage(i))) continue;
            LittleEndian::PutU32(Next(numberSize), std::uint32_t(defaults ? c.GetIntParamDefault(i)
                                                                          : c.GetIntParam(i)));
        }
        WriteCustomState(c);
    }

private:
    std::uint8_t* Next(std::size_t size) {
        std::uint8_t* position = state.data() + at;
        at += size;
        return position;
    }

    // The component writes into a block of exactly its own size.
    void WriteCustomState(const DSP::Component& c) {
        const std::uint32_t length = c.GetCustomStateSize();
        LittleEndian::PutU32(Next(numberSize), length);
        if (!SavesCustomState(c)) return;
        std::vector<std::uint8_t> custom(length);
        c.SaveCustomState(custom, 0);
        std::copy(custom.begin(), custom.end(), Next(length));
    }

    std::vector<std::uint8_t>& state;
    std::size_t& at;
};

// Sets one component's parameters from its section at the read position.
class SectionReader {
public:
    SectionReader(Plugin& plugin, const std::vector<std::uint8_t>& state, std::size_t& at,
                  bool silent)
        : plugin(plugin), state(state), at(at), silent(silent) {}

    void Read(DSP::Component& c) {
        for (std::uint32_t i = 0; i < c.GetNumFloatParams(); ++i) {
            if (!IsSaved(c.GetFloatParamStorage(i))) continue;
            const float value = LittleEndian::GetFloat(Next(numberSize));
            const bool changed = !silent && value != c.GetFloatParam(i);
            c.SetFloatParam(i, value);
            if (changed) Report(c, i, value);
        }
        for (std::uint32_t i = 0; i < c.GetNumBoolParams(); ++i) {
            if (!IsSaved(c.GetBoolParamStorage(i))) continue;
            const bool value = *Next(1) != 0;
            const bool changed = !silent && value != c.GetBoolParam(i);
            c.SetBoolParam(i, value);
            if (changed) Report(c, i, value);
        }
        for (std::uint32_t i = 0; i < c.GetNumUIntParams(); ++i) {
            if (!IsSaved(c.GetUIntParamStorage(i))) continue;
            const std::uint32_t value = LittleEndian::GetU32(Next(numberSize));
            const bool changed = !silent && value != c.GetUIntParam(i);
            c.SetUIntParam(i, value);
            if (changed) Report(c, i, value);
        }
        // Int parameters are never reported.
        for (std::uint32_t i = 0; i < c.GetNumIntParams(); ++i) {
            if (!IsSaved(c.GetIntParamStorage(i))) continue;
            c.SetIntParam(i, std::int32_t(LittleEndian::GetU32(Next(numberSize))));
        }
        ReadCustomState(c);
    }

private:
    const std::uint8_t* Next(std::size_t size) {
        const std::uint8_t* position = state.data() + at;
        at += size;
        return position;
    }

    void Report(DSP::Component& c, std::uint32_t index, const ParamValue& value) {
        plugin.OnParameterChanged(ChangePhase::Change, c, index, value);
    }

    // The stored length is skipped: the component's own size decides what it reads.
    void ReadCustomState(DSP::Component& c) {
        Next(numberSize);
        if (!SavesCustomState(c)) return;
        const std::uint8_t* first = Next(c.GetCustomStateSize());
        c.LoadCustomState(std::vector<std::uint8_t>(first, first + c.GetCustomStateSize()), 0);
    }

    Plugin& plugin;
    const std::vector<std::uint8_t>& state;
    std::size_t& at;
    bool silent;
};

std::vector<std::uint8_t> WriteState(const std::vector<DSP::Component*>& components,
                                     std::uint32_t size, Values values) {
    std::vector<std::uint8_t> state(size, 0);
    LittleEndian::PutU32(state.data(), stateMagic);
    LittleEndian::PutU32(state.data() + 4, stateVersion);
    LittleEndian::PutU32(state.data() + 8, size);
    std::size_t at = headerSize;
    SectionWriter writer(state, at);
    for (const DSP::Component* component : components)
        writer.Write(*component, values);
    return state;
}

} // namespace

std::vector<std::uint8_t> Plugin::SaveState() {
    LockHolder hold(stateLock);
    return WriteState(components, stateSize, Values::Current);
}

std::vector<std::uint8_t> Plugin::MakeDefaultState() {
    LockHolder hold(stateLock);
    return WriteState(components, stateSize, Values::Defaults);
}

std::uint32_t Plugin::StateSizeFromHeader(const std::uint8_t* header) const {
    if (HeaderMatches(header, stateSize)) return stateSize;
    std::uint32_t size = 0;
    return Preset::PrePatch().Convert(header, stateMagic, stateVersion, size) ? size : 0;
}

void Plugin::ApplyState(const std::vector<std::uint8_t>& state, bool silent) {
    if (!IsOwnState(state, stateSize)) return;
    LockHolder hold(stateLock);
    for (DSP::Component* component : components)
        component->BeforeLoadState();
    std::size_t at = headerSize;
    SectionReader reader(*this, state, at, silent);
    for (DSP::Component* component : components)
        reader.Read(*component);
    for (DSP::Component* component : components)
        component->AfterLoadState();
}

// Only a block too short for a header or with a foreign header is refused. One whose
// header matches but whose length does not is handed on and changes nothing, yet the
// editor hears of a load, as it does for any block of this plug-in.
bool Plugin::LoadState(const std::vector<std::uint8_t>& state, bool silent) {
    if (state.size() < headerSize || !HeaderMatches(state.data(), stateSize)) return false;
    ApplyState(state, silent);
    NotifyEditor(EditorNotification::StateLoaded);
    NotifyEditor(EditorNotification::StateChanged);
    return true;
}
