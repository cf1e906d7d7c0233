#include "platform/dshow/Registration.h"
#include "platform/dshow/Text.h"

#include <string>

namespace {

using DShow::GuidText;
using DShow::NarrowText;

// An address inside this module, which finds the module's file.
const char moduleMarker = 0;

HRESULT LastError() {
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT ModulePath(std::string& path) {
    HMODULE module = nullptr;
    DWORD flags =
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, &moduleMarker, &module)) return LastError();
    char buffer[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, buffer, MAX_PATH);
    if (length == 0 || length >= DWORD(MAX_PATH)) return LastError();
    path.assign(buffer, length);
    return S_OK;
}

std::string ClassKey(const CFactoryTemplate& entry) {
    return "CLSID\\" + GuidText(*entry.m_ClsID);
}

LONG SetText(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD(text.size() + 1));
}

// Creates `path` below `parent` and sets its default value.
LONG CreateKey(HKEY parent, const std::string& path, const std::string& value, HKEY* key) {
    LONG error = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_ALL_ACCESS, nullptr, key, nullptr);
    return error != ERROR_SUCCESS ? error : SetText(*key, nullptr, value);
}

HRESULT WriteServerKeys(const CFactoryTemplate& entry, const std::string& modulePath) {
    HKEY classKey = nullptr;
    HKEY serverKey = nullptr;
    LONG error = CreateKey(HKEY_CLASSES_ROOT, ClassKey(entry), NarrowText(entry.m_Name), &classKey);
    if (error == ERROR_SUCCESS)
        error = CreateKey(classKey, "InprocServer32", modulePath, &serverKey);
    if (error == ERROR_SUCCESS) error = SetText(serverKey, "ThreadingModel", "Both");
    if (serverKey != nullptr) RegCloseKey(serverKey);
    if (classKey != nullptr) RegCloseKey(classKey);
    return HRESULT_FROM_WIN32(error);
}

HRESULT DeleteServerKeys(const CFactoryTemplate& entry) {
    LONG error = RegDeleteTreeA(HKEY_CLASSES_ROOT, ClassKey(entry).c_str());
    return error == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(error);
}

// Unregisters, then registers when `registering`, through the object's IAMovieSetup.
HRESULT CallSetup(const CFactoryTemplate& entry, bool registering) {
    IAMovieSetup* setup = nullptr;
    HRESULT hr = entry.CreateInstance(nullptr, IID_IAMovieSetup, reinterpret_cast<void**>(&setup));
    if (hr == E_NOINTERFACE || hr == VFW_E_NEED_OWNER) return S_OK;
    if (FAILED(hr)) return hr;
    hr = setup->Unregister();
    if (registering) hr = setup->Register();
    setup->Release();
    return hr;
}

// COM is initialised for the work when the caller has not done so.
template <class Work> HRESULT WithCom(Work work) {
    HRESULT initialised = CoInitialize(nullptr);
    HRESULT hr = work();
    if (SUCCEEDED(initialised)) CoUninitialize();
    return hr;
}

} // namespace

HRESULT AMovieDllRegisterServer(std::span<const CFactoryTemplate> templates) {
    std::string modulePath;
    HRESULT hr = ModulePath(modulePath);
    if (FAILED(hr)) return hr;
    return WithCom([&] {
        for (const CFactoryTemplate& entry : templates) {
            HRESULT step = WriteServerKeys(entry, modulePath);
            if (SUCCEEDED(step)) step = CallSetup(entry, true);
            if (FAILED(step)) return step;
        }
        return S_OK;
    });
}

HRESULT AMovieDllUnregisterServer(std::span<const CFactoryTemplate> templates) {
    return WithCom([&] {
        for (auto entry = templates.rbegin(); entry != templates.rend(); ++entry) {
            HRESULT step = CallSetup(*entry, false);
            if (SUCCEEDED(step)) step = DeleteServerKeys(*entry);
            if (FAILED(step)) return step;
        }
        return S_OK;
    });
}
