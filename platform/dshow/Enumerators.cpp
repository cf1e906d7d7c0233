#include "platform/dshow/Enumerators.h"
#include "platform/dshow/Filter.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Pins.h"

#include <new>

namespace {

template <class Enumerator, class Interface, class Source>
HRESULT CloneOf(Source* source, int position, Interface** copy) {
    if (copy == nullptr) return E_POINTER;
    auto* clone = new (std::nothrow) Enumerator(source, position);
    if (clone == nullptr) {
        *copy = nullptr;
        return E_OUTOFMEMORY;
    }
    return GetInterface(static_cast<Interface*>(clone), reinterpret_cast<void**>(copy));
}

// COM allows a missing count only when a single item is asked for.
bool ValidNextArguments(const void* items, ULONG count, const ULONG* fetched) {
    return items != nullptr && (fetched != nullptr || count == 1);
}

} // namespace

// ---- CEnumPins

CEnumPins::CEnumPins(CBaseFilter* filter, int position)
    : CUnknown("Pin enumerator", nullptr), filter(filter), position(position) {
    filter->AddRef();
}

CEnumPins::~CEnumPins() {
    filter->Release();
}

HRESULT CEnumPins::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IEnumPins) return GetInterface(static_cast<IEnumPins*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CEnumPins::Next(ULONG cPins, IPin** ppPins, ULONG* pcFetched) {
    if (!ValidNextArguments(ppPins, cPins, pcFetched)) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < cPins && position < filter->GetPinCount()) {
        CBasePin* pin = filter->GetPin(position++);
        if (pin == nullptr) continue;
        ppPins[fetched++] = pin;
        pin->AddRef();
    }
    if (pcFetched != nullptr) *pcFetched = fetched;
    return fetched == cPins ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Skip(ULONG cPins) {
    int count = filter->GetPinCount();
    bool fits = ULONG(count - position) >= cPins;
    position = fits ? position + int(cPins) : count;
    return fits ? S_OK : S_FALSE;
}

HRESULT CEnumPins::Reset() {
    position = 0;
    return S_OK;
}

HRESULT CEnumPins::Clone(IEnumPins** ppEnum) {
    return CloneOf<CEnumPins>(filter, position, ppEnum);
}

// ---- CEnumMediaTypes

CEnumMediaTypes::CEnumMediaTypes(CBasePin* pin, int position)
    : CUnknown("Media type enumerator", nullptr), pin(pin), position(position) {
    pin->AddRef();
}

CEnumMediaTypes::~CEnumMediaTypes() {
    pin->Release();
}

HRESULT CEnumMediaTypes::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IEnumMediaTypes) return GetInterface(static_cast<IEnumMediaTypes*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CEnumMediaTypes::Next(ULONG cMediaTypes, AM_MEDIA_TYPE** ppMediaTypes, ULONG* pcFetched) {
    if (!ValidNextArguments(ppMediaTypes, cMediaTypes, pcFetched)) return E_POINTER;
    ULONG fetched = 0;
    HRESULT result = S_OK;
    CMediaType type;
    while (fetched < cMediaTypes && pin->GetMediaType(position, &type) == S_OK) {
        AM_MEDIA_TYPE* copy = CreateMediaType(&type);
        if (copy == nullptr) {
            result = E_OUTOFMEMORY;
            break;
        }
        ppMediaTypes[fetched++] = copy;
        ++position;
        type.InitMediaType();
    }
    if (pcFetched != nullptr) *pcFetched = fetched;
    if (FAILED(result)) return result;
    return fetched == cMediaTypes ? S_OK : S_FALSE;
}

bool CEnumMediaTypes::HasType(int at) {
    CMediaType type;
    return pin->GetMediaType(at, &type) == S_OK;
}

HRESULT CEnumMediaTypes::Skip(ULONG cMediaTypes) {
    for (; cMediaTypes > 0; --cMediaTypes, ++position)
        if (!HasType(position)) return S_FALSE;
    return S_OK;
}

HRESULT CEnumMediaTypes::Reset() {
    position = 0;
    return S_OK;
}

HRESULT CEnumMediaTypes::Clone(IEnumMediaTypes** ppEnum) {
    return CloneOf<CEnumMediaTypes>(pin, position, ppEnum);
}
