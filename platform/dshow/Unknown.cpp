#include "platform/dshow/Unknown.h"

namespace {
std::atomic<LONG> activeObjects{0};
}

CBaseObject::CBaseObject(const char* name) : name(name) {
    ++activeObjects;
}

CBaseObject::~CBaseObject() {
    --activeObjects;
}

LONG CBaseObject::ObjectsActive() {
    return activeObjects;
}

CUnknown::CUnknown(const char* name, LPUNKNOWN outer)
    : CBaseObject(name), owner(outer != nullptr ? outer : &inner) {}

HRESULT CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) return GetInterface(&inner, ppv);
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CUnknown::NonDelegatingAddRef() {
    return ULONG(++references);
}

ULONG CUnknown::NonDelegatingRelease() {
    LONG left = --references;
    if (left != 0) return ULONG(left);
    // A release made while the destructor runs must not delete the object again.
    references = 1;
    delete this;
    return 0;
}

HRESULT GetInterface(LPUNKNOWN unknown, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = unknown;
    unknown->AddRef();
    return S_OK;
}
