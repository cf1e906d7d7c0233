#include "PluginBase/DirectX/ComServer.h"

#include "PluginBase/DirectX/DXPlugin.h"
#include "PluginBase/DirectX/Identifiers.h"

namespace DX {

namespace {

constexpr DWORD filterMerit = 0x00200000;

const AMOVIESETUP_MEDIATYPE audioType{&MEDIATYPE_Audio, &GUID_NULL};

// The registration record names its pins through non-const pointers.
WCHAR inputPinName[] = L"Input";
WCHAR outputPinName[] = L"Output";

const AMOVIESETUP_PIN setupPins[] = {
    {inputPinName, FALSE, FALSE, FALSE, FALSE, &GUID_NULL, L"Output", 1, &audioType},
    {outputPinName, FALSE, TRUE, FALSE, FALSE, &GUID_NULL, L"Input", 1, &audioType},
};

const CFactoryTemplate templates[] = {
    {filterWideName, &CLSID_DXPlugin, CreateInstance, nullptr, &filterSetup},
};

} // namespace

const AMOVIESETUP_FILTER filterSetup{&CLSID_DXPlugin, filterWideName, filterMerit, 2, setupPins};

CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr) {
    try {
        return new DXPlugin(outer);
    } catch (...) {
        *phr = E_FAIL;
        return nullptr;
    }
}

std::span<const CFactoryTemplate> FactoryTemplates() {
    return templates;
}

} // namespace DX
