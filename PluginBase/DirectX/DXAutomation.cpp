// Host automation: parameter descriptions and values, envelopes, and the host's
// callback for moves made in the plug-in's own editor.

#include "PluginBase/DirectX/ComGuard.h"
#include "PluginBase/DirectX/DXPlugin.h"
#include "core/Global.h"
#include "core/TransformBase.h"

namespace {

constexpr DWORD everyParam = 0xFFFFFFFF;

} // namespace

template <class Step> HRESULT DXPlugin::ForParams(DWORD index, Step step) {
    if (index != everyParam) return step(index);
    for (DWORD i = 0; i < hostParams.Count(); ++i) {
        HRESULT hr = step(i);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

std::int32_t DXPlugin::AutomationHighlight() {
    return std::int32_t(Engine().GetGlobal().GetAutomationHighlight());
}

HRESULT DXPlugin::GetParamCount(DWORD* count) {
    if (count == nullptr) return E_POINTER;
    *count = hostParams.Count();
    return S_OK;
}

HRESULT DXPlugin::GetParamInfo(DWORD index, MP_PARAMINFO* info) {
    if (info == nullptr) return E_POINTER;
    return hostParams.Describe(index, *info);
}

HRESULT DXPlugin::GetParamText(DWORD index, WCHAR** text) {
    return DX::Guarded([&] { return hostParams.Text(index, text); });
}

HRESULT DXPlugin::GetNumTimeFormats(DWORD* count) {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT DXPlugin::GetSupportedTimeFormat(DWORD index, GUID* format) {
    if (format == nullptr) return E_POINTER;
    if (index != 0) return E_INVALIDARG;
    *format = GUID_TIME_REFERENCE;
    return S_OK;
}

HRESULT DXPlugin::GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) {
    if (format == nullptr || data == nullptr) return E_POINTER;
    *format = GUID_TIME_REFERENCE;
    *data = 0;
    return S_OK;
}

HRESULT DXPlugin::AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments) {
    if (count == 0) return S_OK;
    if (segments == nullptr) return E_POINTER;
    return DX::Guarded([&] {
        return ForParams(index, [&](DWORD i) {
            bool recoloured = false;
            HRESULT hr =
                hostParams.AddEnvelope(i, count, segments, AutomationHighlight(), recoloured);
            if (recoloured) NotifyEditor(EditorNotification::StateChanged);
            return hr;
        });
    });
}

HRESULT DXPlugin::FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) {
    if (hostParams.Count() == 0) return E_INVALIDARG;
    return DX::Guarded([&] {
        return ForParams(index, [&](DWORD i) {
            bool recoloured = false;
            HRESULT hr = hostParams.FlushEnvelope(i, start, end, AutomationHighlight(), recoloured);
            if (recoloured) NotifyEditor(EditorNotification::StateChanged);
            return hr;
        });
    });
}

HRESULT DXPlugin::GetParam(DWORD index, MP_DATA* value) {
    if (value == nullptr) return E_POINTER;
    return hostParams.Get(index, *value);
}

HRESULT DXPlugin::SetParam(DWORD index, MP_DATA value) {
    return DX::Guarded([&] {
        return ForParams(index, [&](DWORD i) {
            HRESULT hr = hostParams.Set(i, value);
            if (SUCCEEDED(hr)) NotifyEditor(EditorNotification::StateChanged);
            return hr;
        });
    });
}

HRESULT DXPlugin::SetTimeFormat(GUID, MP_TIMEDATA) {
    return S_OK;
}

HRESULT DXPlugin::SetUICallback(IMediaParamsUICallback* callback) {
    LockHolder hold(autoBroadcastLock);
    if (callback != nullptr) callback->AddRef();
    if (uiCallback != nullptr) uiCallback->Release();
    uiCallback = callback;
    return S_OK;
}

// Only moves made in the editor go back to the host: changes that came from the host,
// or from playing its envelopes, would echo.
void DXPlugin::OnParameterChanged(ChangePhase phase, DSP::Component& component, std::uint32_t index,
                                  const ParamValue& value) {
    LockHolder hold(autoBroadcastLock);
    if (uiCallback == nullptr || editorThread.load() != std::this_thread::get_id()) return;
    auto family = DSP::ParamFamily(value.index());
    std::optional<DWORD> bound = DX::BoundHostIndex(component, family, index);
    if (!bound) return;
    DWORD hostIndex = *bound;
    bool capturing = DX::IsCaptureHeld(component, family, index);
    switch (phase) {
    case ChangePhase::BeginCapture:
        uiCallback->ParamsBeginCapture(1, &hostIndex);
        break;
    case ChangePhase::EndCapture:
        uiCallback->ParamsEndCapture(1, &hostIndex);
        break;
    case ChangePhase::Change:
        if (!capturing) uiCallback->ParamsBeginCapture(1, &hostIndex);
        uiCallback->ParamsChanged(1, &hostIndex, DX::ToHostValue(value));
        if (!capturing) uiCallback->ParamsEndCapture(1, &hostIndex);
        break;
    }
}
