#include "platform/com/Com.h"
#include "platform/com/LinuxFilterMapper.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

void* CoTaskMemAlloc(std::size_t size) {
    return std::malloc(size);
}

void CoTaskMemFree(void* memory) {
    std::free(memory);
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size) {
    constexpr int length = 39; // with the terminating zero
    if (text == nullptr || size < length) return 0;
    std::swprintf(text, size_t(size), L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  unsigned(guid.Data1), unsigned(guid.Data2), unsigned(guid.Data3), guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return length;
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    if (text == nullptr) return E_INVALIDARG;
    constexpr int length = 39;
    *text = static_cast<LPOLESTR>(CoTaskMemAlloc(length * sizeof(OLECHAR)));
    if (*text == nullptr) return E_OUTOFMEMORY;
    StringFromGUID2(clsid, *text, length);
    return S_OK;
}

HRESULT CoInitialize(void*) {
    return S_OK;
}

void CoUninitialize() {}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD, REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_FilterMapper2) return REGDB_E_CLASSNOTREG;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    return Platform::CreateFilterMapper(riid, object);
}

LONG InterlockedIncrement(LONG volatile* value) {
    return ++std::atomic_ref<LONG>(*const_cast<LONG*>(value));
}

LONG InterlockedDecrement(LONG volatile* value) {
    return --std::atomic_ref<LONG>(*const_cast<LONG*>(value));
}
