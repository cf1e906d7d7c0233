#include "platform/dshow/ClassFactory.h"

#include <new>

namespace {
std::atomic<LONG> serverLocks{0};
}

HRESULT CFactoryTemplate::CreateInstance(LPUNKNOWN outer, REFIID riid, void** object) const {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    HRESULT hr = S_OK;
    CUnknown* created = nullptr;
    try {
        created = m_lpfnNew(outer, &hr);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
    } catch (...) {
        // Nothing thrown may cross the COM boundary.
        hr = E_FAIL;
    }
    if (created == nullptr) return FAILED(hr) ? hr : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        delete created;
        return hr;
    }
    // The object lives from its first reference; the query adds the caller's.
    created->NonDelegatingAddRef();
    hr = created->NonDelegatingQueryInterface(riid, object);
    created->NonDelegatingRelease();
    return hr;
}

CClassFactory::CClassFactory(const CFactoryTemplate* factoryTemplate)
    : CBaseObject("Class factory"), factoryTemplate(factoryTemplate) {}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

ULONG CClassFactory::AddRef() {
    return ++references;
}

ULONG CClassFactory::Release() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT CClassFactory::CreateInstance(LPUNKNOWN pUnkOuter, REFIID riid, void** pv) {
    return factoryTemplate->CreateInstance(pUnkOuter, riid, pv);
}

HRESULT CClassFactory::LockServer(WINBOOL fLock) {
    fLock ? ++serverLocks : --serverLocks;
    return S_OK;
}

bool CClassFactory::IsLocked() {
    return serverLocks > 0;
}

HRESULT FactoryGetClassObject(std::span<const CFactoryTemplate> templates, REFCLSID clsid,
                              REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
    for (const CFactoryTemplate& candidate : templates) {
        if (!candidate.IsClassID(clsid)) continue;
        auto* factory = new (std::nothrow) CClassFactory(&candidate);
        if (factory == nullptr) return E_OUTOFMEMORY;
        return factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT FactoryCanUnloadNow() {
    return CClassFactory::IsLocked() || CBaseObject::ObjectsActive() != 0 ? S_FALSE : S_OK;
}

void FactoryInitRoutines(std::span<const CFactoryTemplate> templates, BOOL loading) {
    for (const CFactoryTemplate& entry : templates)
        if (entry.m_lpfnInit != nullptr) entry.m_lpfnInit(loading, entry.m_ClsID);
}
