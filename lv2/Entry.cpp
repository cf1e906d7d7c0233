// The LV2 entry points: the two descriptors (stereo, mono) and the state interface,
// which keeps the effect's settings and noise profile as one atom:Chunk property.

#include <cstring>
#include <exception>
#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <new>
#include <vector>

#include "lv2/Lv2Effect.h"
#include "lv2/Uris.h"

namespace {

// Without the host's URID map (lv2apply has none) the effect runs but keeps no state.
struct Instance {
    Lv2::Effect effect;
    LV2_URID profileKey;
    LV2_URID chunkType;
};

LV2_URID Map(const LV2_URID_Map* map, const char* uri) {
    return map != nullptr ? map->map(map->handle, uri) : 0;
}

const LV2_URID_Map* FindMap(const LV2_Feature* const* features) {
    for (; features != nullptr && *features != nullptr; ++features) {
        if (std::strcmp((*features)->URI, LV2_URID__map) == 0)
            return static_cast<const LV2_URID_Map*>((*features)->data);
    }
    return nullptr;
}

LV2_Handle Instantiate(std::uint32_t channels, double rate, const LV2_Feature* const* features) {
    const LV2_URID_Map* map = FindMap(features);
    if (rate < 1000.0) return nullptr;
    try {
        return new Instance{Lv2::Effect(channels, rate), Map(map, SONAVEL_LV2_PROFILE_URI),
                            Map(map, LV2_ATOM__Chunk)};
    } catch (const std::exception&) {
        return nullptr;
    }
}

LV2_Handle InstantiateStereo(const LV2_Descriptor*, double rate, const char*,
                             const LV2_Feature* const* features) {
    return Instantiate(2, rate, features);
}

LV2_Handle InstantiateMono(const LV2_Descriptor*, double rate, const char*,
                           const LV2_Feature* const* features) {
    return Instantiate(1, rate, features);
}

Lv2::Effect& EffectOf(LV2_Handle handle) {
    return static_cast<Instance*>(handle)->effect;
}

void ConnectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    EffectOf(handle).ConnectPort(port, data);
}

void Activate(LV2_Handle handle) {
    EffectOf(handle).Activate();
}

void Run(LV2_Handle handle, std::uint32_t frames) {
    EffectOf(handle).Run(frames);
}

void Deactivate(LV2_Handle handle) {
    EffectOf(handle).Deactivate();
}

void Cleanup(LV2_Handle handle) {
    delete static_cast<Instance*>(handle);
}

LV2_State_Status Save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      std::uint32_t, const LV2_Feature* const*) {
    Instance& instance = *static_cast<Instance*>(handle);
    if (instance.profileKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    try {
        const std::vector<std::uint8_t> block = instance.effect.SaveProfile();
        return store(state, instance.profileKey, block.data(), block.size(), instance.chunkType,
                     LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
    } catch (const std::bad_alloc&) {
        return LV2_STATE_ERR_UNKNOWN;
    }
}

// A missing, foreign or damaged block leaves the profile and settings as they are.
LV2_State_Status Restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve,
                         LV2_State_Handle state, std::uint32_t, const LV2_Feature* const*) {
    Instance& instance = *static_cast<Instance*>(handle);
    if (instance.profileKey == 0) return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    const void* data = retrieve(state, instance.profileKey, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != instance.chunkType) return LV2_STATE_ERR_BAD_TYPE;
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    try {
        if (!instance.effect.LoadProfile(std::vector<std::uint8_t>(bytes, bytes + size)))
            return LV2_STATE_ERR_UNKNOWN;
    } catch (const std::bad_alloc&) {
        return LV2_STATE_ERR_UNKNOWN;
    }
    return LV2_STATE_SUCCESS;
}

const LV2_State_Interface stateInterface{Save, Restore};

const void* ExtensionData(const char* uri) {
    return std::strcmp(uri, LV2_STATE__interface) == 0 ? &stateInterface : nullptr;
}

const LV2_Descriptor descriptors[] = {
    {SONAVEL_LV2_STEREO_URI, InstantiateStereo, ConnectPort, Activate, Run, Deactivate, Cleanup,
     ExtensionData},
    {SONAVEL_LV2_MONO_URI, InstantiateMono, ConnectPort, Activate, Run, Deactivate, Cleanup,
     ExtensionData},
};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index < std::size(descriptors) ? &descriptors[index] : nullptr;
}
