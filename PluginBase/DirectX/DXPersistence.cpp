// Stream persistence and the built-in preset: both carry the core's saved state.

#include "PluginBase/DirectX/ComGuard.h"
#include "PluginBase/DirectX/DXPlugin.h"
#include "core/Presets.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr ULONG stateHeaderSize = 12;
constexpr LONG presetCount = LONG(Preset::builtInCount);

// True when the stream gave exactly `size` bytes.
bool ReadExactly(IStream& stream, std::uint8_t* bytes, ULONG size) {
    ULONG read = 0;
    return SUCCEEDED(stream.Read(bytes, size, &read)) && read == size;
}

} // namespace

HRESULT DXPlugin::GetClassID(CLSID* pClassID) {
    if (pClassID == nullptr) return E_POINTER;
    *pClassID = DX::CLSID_DXPlugin;
    return S_OK;
}

HRESULT DXPlugin::IsDirty() {
    return DX::Guarded([&] {
        std::vector<std::uint8_t> state = SaveState();
        LockHolder hold(snapshotLock);
        return state == savedSnapshot ? S_FALSE : S_OK;
    });
}

HRESULT DXPlugin::Load(IStream* stream) {
    if (stream == nullptr) return E_POINTER;
    return DX::Guarded([&] {
        std::uint8_t header[stateHeaderSize];
        if (!ReadExactly(*stream, header, stateHeaderSize)) return E_FAIL;
        std::uint32_t size = StateSizeFromHeader(header);
        if (size < stateHeaderSize) return E_FAIL;
        std::vector<std::uint8_t> state(size);
        std::copy(header, header + stateHeaderSize, state.begin());
        if (!ReadExactly(*stream, state.data() + stateHeaderSize, size - stateHeaderSize))
            return E_FAIL;
        return LoadState(state, true) ? S_OK : E_FAIL;
    });
}

HRESULT DXPlugin::Save(IStream* stream, WINBOOL clearDirty) {
    if (stream == nullptr) return E_POINTER;
    return DX::Guarded([&] {
        std::vector<std::uint8_t> state = SaveState();
        ULONG written = 0;
        bool saved = SUCCEEDED(stream->Write(state.data(), ULONG(state.size()), &written)) &&
                     written == state.size();
        if (clearDirty && saved) {
            std::vector<std::uint8_t> snapshot = SaveState();
            LockHolder hold(snapshotLock);
            savedSnapshot = std::move(snapshot);
        }
        return saved ? S_OK : E_FAIL;
    });
}

HRESULT DXPlugin::GetSizeMax(ULARGE_INTEGER* size) {
    if (size == nullptr) return E_POINTER;
    size->QuadPart = StateSize();
    return S_OK;
}

HRESULT DXPlugin::GetPresetCount(LONG* count) {
    if (count == nullptr) return E_POINTER;
    *count = presetCount;
    return S_OK;
}

HRESULT DXPlugin::GetPresetName(LONG index, WCHAR* name, LONG sizeInBytes) {
    if (index < 0 || index >= presetCount) return E_INVALIDARG;
    if (name == nullptr) return E_POINTER;
    std::size_t capacity = std::size_t(std::max<LONG>(sizeInBytes, 0)) / sizeof(WCHAR);
    if (capacity == 0) return S_OK;
    SharedString preset = Preset::BuiltInName(std::uint32_t(index));
    std::size_t length = std::min(std::size_t(preset.Length()), capacity);
    std::copy_n(preset.Text(), length, name);
    std::fill(name + length, name + capacity, WCHAR(0));
    name[capacity - 1] = 0;
    return S_OK;
}

HRESULT DXPlugin::SetPreset(LONG index) {
    if (index < 0 || index >= presetCount) return E_INVALIDARG;
    return DX::Guarded([&] {
        Preset::ApplyBuiltIn(*this, std::uint32_t(index));
        return S_OK;
    });
}
