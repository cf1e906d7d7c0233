#pragma once
// COM identity for the filter classes: reference counting with aggregation, and a
// count of live objects that tells the server when its module may unload.

#include "platform/DirectShow.h"

#include <atomic>

// Every live object of the server is counted, so DllCanUnloadNow knows when none is.
class CBaseObject {
public:
    // `name` tells objects apart when debugging; it must outlive the object.
    explicit CBaseObject(const char* name);
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;
    virtual ~CBaseObject();

    const char* ObjectName() const { return name; }
    static LONG ObjectsActive();

private:
    const char* name;
};

// An object's non-delegating IUnknown. The interfaces an object implements forward
// their IUnknown calls to the owner (DECLARE_IUNKNOWN): the outer object when this one
// is aggregated, else this object's own non-delegating unknown. A new object has no
// references; the object deletes itself when the last one goes.
class CUnknown : public CBaseObject {
public:
    CUnknown(const char* name, LPUNKNOWN outer);

    // Answers IID_IUnknown with the non-delegating unknown; derived classes add their
    // interfaces and defer to this for the rest.
    virtual HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv);
    virtual ULONG NonDelegatingAddRef();
    virtual ULONG NonDelegatingRelease();

    LPUNKNOWN GetOwner() const { return owner; }
    // The identity an aggregating object holds and IID_IUnknown returns.
    LPUNKNOWN NonDelegatingUnknown() { return &inner; }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(CUnknown& object) : object(object) {}
        STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
            return object.NonDelegatingQueryInterface(riid, ppv);
        }
        STDMETHODIMP_(ULONG) AddRef() override { return object.NonDelegatingAddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return object.NonDelegatingRelease(); }

    private:
        CUnknown& object;
    };

    std::atomic<LONG> references{0};
    Inner inner{*this};
    LPUNKNOWN owner;
};

// Hands out an interface pointer with a reference added.
HRESULT GetInterface(LPUNKNOWN unknown, void** ppv);

// The IUnknown methods of a class deriving from CUnknown and from interfaces.
#define DECLARE_IUNKNOWN                                                                           \
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {                                \
        return GetOwner()->QueryInterface(riid, ppv);                                              \
    }                                                                                              \
    STDMETHODIMP_(ULONG) AddRef() override {                                                       \
        return GetOwner()->AddRef();                                                               \
    }                                                                                              \
    STDMETHODIMP_(ULONG) Release() override {                                                      \
        return GetOwner()->Release();                                                              \
    }
