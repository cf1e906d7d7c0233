#include "PluginBase/DirectX/PluginInputPin.h"

#include "PluginBase/DirectX/DXPlugin.h"

CPluginInputPin::CPluginInputPin(DXPlugin* filter, HRESULT* phr)
    : CTransformInputPin("Plugin input pin", filter, phr, L"Input"), plugin(filter) {}

HRESULT CPluginInputPin::CheckMediaType(const CMediaType* type) {
    HRESULT hr = plugin->CheckInputType(type);
    if (hr != S_OK) return hr;
    CTransformOutputPin* output = plugin->m_pOutput;
    if (output == nullptr || !output->IsConnected()) return hr;
    if (plugin->CheckTransform(type, &output->CurrentMediaType()) == S_OK) return S_OK;
    return output->GetConnected()->QueryAccept(type);
}
