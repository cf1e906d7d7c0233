#pragma once
// Enumerators of a filter's pins and of a pin's proposed media types. Both read their
// source live, so pins created on first use and types that depend on the connection
// state are listed as they are at each call. Each holds a reference to its source.

#include "platform/DirectShow.h"
#include "platform/dshow/Unknown.h"

class CBaseFilter;
class CBasePin;

class CEnumPins final : public CUnknown, public IEnumPins {
public:
    explicit CEnumPins(CBaseFilter* filter, int position = 0);
    ~CEnumPins() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    STDMETHODIMP Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cPins) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumPins** ppEnum) override;

private:
    CBaseFilter* filter;
    int position;
};

class CEnumMediaTypes final : public CUnknown, public IEnumMediaTypes {
public:
    explicit CEnumMediaTypes(CBasePin* pin, int position = 0);
    ~CEnumMediaTypes() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Each type comes in task memory; the caller deletes it (DeleteMediaType).
    STDMETHODIMP Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) override;
    STDMETHODIMP Skip(ULONG cMediaTypes) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumMediaTypes** ppEnum) override;

private:
    bool HasType(int at);

    CBasePin* pin;
    int position;
};
