#pragma once
// The base of every filter: identity, state (stopped, paused, running), the reference
// clock, graph membership, pin lookup and self-registration with the filter mapper.
// A filter derives from it, owns its pins and lists them through GetPinCount/GetPin.

#include "platform/DirectShow.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/Unknown.h"

#include <atomic>
#include <string>

// Registration records: a filter's setup data names its pins and their media types.
using AMOVIESETUP_MEDIATYPE = REGPINTYPES;
using AMOVIESETUP_PIN = REGFILTERPINS;
struct AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
};

class CBasePin;

class CBaseFilter : public CUnknown, public IBaseFilter, public IAMovieSetup {
public:
    // `lock` is the filter's state lock; pins and state changes take it.
    CBaseFilter(const char* name, LPUNKNOWN outer, CCritSec* lock, REFCLSID clsid);
    ~CBaseFilter() override;

    DECLARE_IUNKNOWN
    // IBaseFilter, IMediaFilter, IPersist and IAMovieSetup.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP GetClassID(CLSID* pClassID) override;

    // Stop deactivates, Pause activates the connected pins; Run pauses first when
    // stopped, then runs the connected pins.
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME tStart) override;
    STDMETHODIMP GetState(DWORD dwMilliSecsTimeout, FILTER_STATE* State) override;
    STDMETHODIMP SetSyncSource(IReferenceClock* pClock) override;
    STDMETHODIMP GetSyncSource(IReferenceClock** pClock) override;

    STDMETHODIMP EnumPins(IEnumPins** ppEnum) override;
    // Finds the pin whose QueryId is `Id`.
    STDMETHODIMP FindPin(LPCWSTR Id, IPin** ppPin) override;
    STDMETHODIMP QueryFilterInfo(FILTER_INFO* pInfo) override;
    // The graph is not referenced: it owns the filter, not the other way round.
    STDMETHODIMP JoinFilterGraph(IFilterGraph* pGraph, LPCWSTR pName) override;
    STDMETHODIMP QueryVendorInfo(LPWSTR* pVendorInfo) override;

    // Registers the setup data with the system's filter mapper in the DirectShow filter
    // category; S_FALSE when the filter has none. Unregister tolerates a filter that
    // is not registered.
    STDMETHODIMP Register() override;
    STDMETHODIMP Unregister() override;

    // The pins, numbered from 0; a filter may create them on first use.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int n) = 0;
    // The registration record, or null for a filter that is not registered.
    virtual const AMOVIESETUP_FILTER* GetSetupData() { return nullptr; }

    // Asks the graph to reconnect a pin; VFW_E_NOT_IN_GRAPH outside a graph.
    HRESULT ReconnectPin(IPin* pin);
    BOOL IsStopped() const;
    BOOL IsActive() const;
    IFilterGraph* GetFilterGraph() const { return m_pGraph; }
    CCritSec* pStateLock() const { return m_pLock; }

protected:
    // Read without the lock by the streaming thread, which must never wait for it.
    std::atomic<FILTER_STATE> m_State{State_Stopped};
    IReferenceClock* m_pClock = nullptr;
    REFERENCE_TIME m_tStart = 0;
    CCritSec* m_pLock;
    IFilterGraph* m_pGraph = nullptr;

private:
    // The connected pins, in order.
    template <class Action> HRESULT ForConnectedPins(Action action, bool stopAtFailure);
    HRESULT MapperCall(bool registering);

    CLSID clsid;
    std::wstring graphName;
};
