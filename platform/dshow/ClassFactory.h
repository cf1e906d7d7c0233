#pragma once
// The class factory of an in-process server: a list of templates, one per class, and
// the logic of the DLL entry points DllGetClassObject and DllCanUnloadNow over it.

#include "platform/DirectShow.h"
#include "platform/dshow/Filter.h"
#include "platform/dshow/Unknown.h"

#include <span>

// Creates an object aggregated by `outer` (or not, when null). A failure is reported
// through `phr`; an object created despite one is deleted by the caller.
using LPFNNewCOMObject = CUnknown* (*)(LPUNKNOWN outer, HRESULT* phr);
// Told when the module loads (TRUE) and unloads (FALSE).
using LPFNInitRoutine = void (*)(BOOL loading, const CLSID* clsid);

struct CFactoryTemplate {
    const WCHAR* m_Name;
    const CLSID* m_ClsID;
    LPFNNewCOMObject m_lpfnNew;
    LPFNInitRoutine m_lpfnInit;
    const AMOVIESETUP_FILTER* m_pAMovieSetup_Filter;

    BOOL IsClassID(REFCLSID clsid) const { return IsEqualCLSID(*m_ClsID, clsid); }
    // A new object answering `riid`; an aggregated one must be asked for IID_IUnknown.
    HRESULT CreateInstance(LPUNKNOWN outer, REFIID riid, void** object) const;
};

class CClassFactory final : public CBaseObject, public IClassFactory {
public:
    explicit CClassFactory(const CFactoryTemplate* factoryTemplate);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) override;
    // Server locks keep the module loaded without any object alive.
    STDMETHODIMP LockServer(WINBOOL fLock) override;
    static bool IsLocked();

private:
    const CFactoryTemplate* factoryTemplate;
    std::atomic<ULONG> references{0};
};

// DllGetClassObject over the templates: a factory for the class, or
// CLASS_E_CLASSNOTAVAILABLE for a class no template makes.
HRESULT FactoryGetClassObject(std::span<const CFactoryTemplate> templates, REFCLSID clsid,
                              REFIID riid, void** ppv);
// DllCanUnloadNow: S_OK when no object of the module and no server lock is alive.
HRESULT FactoryCanUnloadNow();
// Calls each template's init routine, for DllMain's attach (TRUE) and detach (FALSE).
void FactoryInitRoutines(std::span<const CFactoryTemplate> templates, BOOL loading);
