#include "PluginBase/DirectX/StringMap.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

void CopyCut(const std::string& text, LPSTR buffer, LONG size) {
    std::strncpy(buffer, text.c_str(), std::size_t(size));
    buffer[size - 1] = 0;
}

// A position is the index of the name it designates, plus one, so that null stays free.
void* PositionOf(LONG index) {
    return reinterpret_cast<void*>(std::uintptr_t(index) + 1);
}

LONG IndexAt(void* position) {
    return LONG(reinterpret_cast<std::uintptr_t>(position) - 1);
}

} // namespace

StringMap::StringMap(std::string title, LONG maxIndex)
    : CBaseObject("Name list"), title(std::move(title)), maxIndex(maxIndex) {}

void StringMap::Add(LONG index, std::string name) {
    names[index] = std::move(name);
}

HRESULT StringMap::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IMfxNameList && riid != IID_IMfxNameList2)
        return E_NOINTERFACE;
    *ppv = static_cast<IMfxNameList2*>(this);
    AddRef();
    return S_OK;
}

ULONG StringMap::AddRef() {
    return ++references;
}

ULONG StringMap::Release() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT StringMap::GetTitle(LPSTR buffer, LONG size) {
    if (buffer == nullptr) return E_POINTER;
    if (size >= 1) CopyCut(title, buffer, size);
    return S_OK;
}

HRESULT StringMap::GetMaxIndex(LONG* result) {
    if (result == nullptr) return E_POINTER;
    *result = maxIndex;
    return S_OK;
}

HRESULT StringMap::GetName(LONG index, LPSTR buffer, LONG size) {
    if (size <= 0) return S_OK;
    if (buffer == nullptr) return E_POINTER;
    if (index < 0 || index >= maxIndex) return E_INVALIDARG;
    auto found = names.find(index);
    CopyCut(found != names.end() ? found->second : std::string(), buffer, size);
    return S_OK;
}

HRESULT StringMap::GetCount(LONG* count) {
    if (count == nullptr) return E_POINTER;
    *count = LONG(names.size());
    return S_OK;
}

HRESULT StringMap::GetFirstPosition(void** position) {
    if (position == nullptr) return E_POINTER;
    *position = names.empty() ? nullptr : PositionOf(names.begin()->first);
    return S_OK;
}

HRESULT StringMap::GetNext(void** position, LONG* index, LPSTR buffer, LONG size) {
    if ((buffer == nullptr && size > 0) || position == nullptr) return E_POINTER;
    if (*position == nullptr) return S_FALSE;
    auto entry = names.lower_bound(IndexAt(*position));
    if (entry == names.end()) return S_FALSE;
    if (index != nullptr) *index = entry->first;
    if (buffer != nullptr && size > 0) CopyCut(entry->second, buffer, size);
    auto next = std::next(entry);
    *position = next != names.end() ? PositionOf(next->first) : nullptr;
    return S_OK;
}

HRESULT StringMap::FindName(LONG index, LPSTR buffer, LONG size) {
    if (buffer == nullptr) return S_OK;
    auto found = names.find(index);
    if (found == names.end()) return S_FALSE;
    if (size >= 1) CopyCut(found->second, buffer, size);
    return S_OK;
}
