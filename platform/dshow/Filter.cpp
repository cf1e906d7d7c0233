#include "platform/dshow/Filter.h"
#include "platform/dshow/Enumerators.h"
#include "platform/dshow/Pins.h"

#include <algorithm>
#include <cwchar>
#include <new>

CBaseFilter::CBaseFilter(const char* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid)
    : CUnknown(name, outer), m_pLock(lock), clsid(clsid) {}

CBaseFilter::~CBaseFilter() {
    if (m_pClock != nullptr) m_pClock->Release();
}

HRESULT CBaseFilter::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IBaseFilter || riid == IID_IMediaFilter || riid == IID_IPersist)
        return GetInterface(static_cast<IBaseFilter*>(this), ppv);
    if (riid == IID_IAMovieSetup) return GetInterface(static_cast<IAMovieSetup*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseFilter::GetClassID(CLSID* pClassID) {
    if (pClassID == nullptr) return E_POINTER;
    *pClassID = clsid;
    return S_OK;
}

template <class Action> HRESULT CBaseFilter::ForConnectedPins(Action action, bool stopAtFailure) {
    HRESULT result = S_OK;
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        if (pin == nullptr || !pin->IsConnected()) continue;
        HRESULT hr = action(*pin);
        if (FAILED(hr) && stopAtFailure) return hr;
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
    }
    return result;
}

HRESULT CBaseFilter::Stop() {
    CAutoLock lock(m_pLock);
    HRESULT hr = S_OK;
    if (m_State != State_Stopped)
        hr = ForConnectedPins([](CBasePin& pin) { return pin.Inactive(); }, false);
    m_State = State_Stopped;
    return hr;
}

HRESULT CBaseFilter::Pause() {
    CAutoLock lock(m_pLock);
    if (m_State == State_Stopped) {
        HRESULT hr = ForConnectedPins([](CBasePin& pin) { return pin.Active(); }, true);
        if (FAILED(hr)) return hr;
    }
    m_State = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME tStart) {
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    if (m_State == State_Stopped) {
        HRESULT hr = Pause();
        if (FAILED(hr)) return hr;
    }
    if (m_State != State_Running) {
        HRESULT hr = ForConnectedPins([tStart](CBasePin& pin) { return pin.Run(tStart); }, true);
        if (FAILED(hr)) return hr;
    }
    m_State = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(DWORD, FILTER_STATE* State) {
    if (State == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    *State = m_State;
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* pClock) {
    CAutoLock lock(m_pLock);
    if (pClock != nullptr) pClock->AddRef();
    if (m_pClock != nullptr) m_pClock->Release();
    m_pClock = pClock;
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** pClock) {
    if (pClock == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pClock = m_pClock;
    if (m_pClock != nullptr) m_pClock->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::EnumPins(IEnumPins** ppEnum) {
    if (ppEnum == nullptr) return E_POINTER;
    auto* pins = new (std::nothrow) CEnumPins(this);
    if (pins == nullptr) {
        *ppEnum = nullptr;
        return E_OUTOFMEMORY;
    }
    return GetInterface(static_cast<IEnumPins*>(pins), reinterpret_cast<void**>(ppEnum));
}

HRESULT CBaseFilter::FindPin(LPCWSTR Id, IPin** ppPin) {
    if (Id == nullptr || ppPin == nullptr) return E_POINTER;
    *ppPin = nullptr;
    CAutoLock lock(m_pLock);
    for (int i = 0; i < GetPinCount(); ++i) {
        CBasePin* pin = GetPin(i);
        LPWSTR pinId = nullptr;
        if (pin == nullptr || FAILED(pin->QueryId(&pinId))) continue;
        bool found = std::wcscmp(pinId, Id) == 0;
        CoTaskMemFree(pinId);
        if (found) return GetInterface(static_cast<IPin*>(pin), reinterpret_cast<void**>(ppPin));
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* pInfo) {
    if (pInfo == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    size_t length = std::min(graphName.size(), size_t(MAX_FILTER_NAME - 1));
    graphName.copy(pInfo->achName, length);
    pInfo->achName[length] = 0;
    pInfo->pGraph = m_pGraph;
    if (m_pGraph != nullptr) m_pGraph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) {
    CAutoLock lock(m_pLock);
    m_pGraph = pGraph;
    graphName = pGraph != nullptr && pName != nullptr ? pName : L"";
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(LPWSTR*) {
    return E_NOTIMPL;
}

HRESULT CBaseFilter::MapperCall(bool registering) {
    const AMOVIESETUP_FILTER* setup = GetSetupData();
    if (setup == nullptr) return S_FALSE;
    IFilterMapper2* mapper = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterMapper2, reinterpret_cast<void**>(&mapper));
    if (FAILED(hr)) return hr;
    if (registering) {
        REGFILTER2 record{};
        record.dwVersion = 1;
        record.dwMerit = setup->dwMerit;
        record.cPins = setup->nPins;
        record.rgPins = setup->lpPin;
        hr = mapper->RegisterFilter(*setup->clsID, setup->strName, nullptr,
                                    &CLSID_LegacyAmFilterCategory, nullptr, &record);
    } else {
        hr = mapper->UnregisterFilter(&CLSID_LegacyAmFilterCategory, nullptr, *setup->clsID);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) hr = S_OK;
    }
    mapper->Release();
    return hr;
}

HRESULT CBaseFilter::Register() {
    return MapperCall(true);
}

HRESULT CBaseFilter::Unregister() {
    return MapperCall(false);
}

HRESULT CBaseFilter::ReconnectPin(IPin* pin) {
    CAutoLock lock(m_pLock);
    return m_pGraph != nullptr ? m_pGraph->Reconnect(pin) : VFW_E_NOT_IN_GRAPH;
}

BOOL CBaseFilter::IsStopped() const {
    return m_State == State_Stopped;
}

BOOL CBaseFilter::IsActive() const {
    return m_State != State_Stopped;
}
