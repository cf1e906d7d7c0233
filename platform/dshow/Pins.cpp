#include "platform/dshow/Pins.h"
#include "platform/dshow/Allocator.h"
#include "platform/dshow/Enumerators.h"
#include "platform/dshow/Filter.h"
#include "platform/dshow/Text.h"

#include <algorithm>
#include <new>

namespace {

// Failures that only say a type was not taken; a more telling one is worth reporting.
bool IsTypeRefusal(HRESULT hr) {
    return hr == E_FAIL || hr == E_INVALIDARG || hr == VFW_E_TYPE_NOT_ACCEPTED ||
           hr == VFW_E_NO_ACCEPTABLE_TYPES || hr == VFW_E_INVALIDMEDIATYPE;
}

// S_OK accepts; any other success is a refusal without a reason.
HRESULT Acceptance(HRESULT hr) {
    return hr == S_OK || FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

} // namespace

// ---- CBasePin

CBasePin::CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT*,
                   LPCWSTR pinName, PIN_DIRECTION direction)
    : CUnknown(objectName, nullptr), m_pFilter(filter), m_pLock(lock), m_dir(direction),
      pinName(pinName != nullptr ? pinName : L"") {}

CBasePin::~CBasePin() {
    if (m_Connected != nullptr) m_Connected->Release();
}

HRESULT CBasePin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IPin) return GetInterface(static_cast<IPin*>(this), ppv);
    if (riid == IID_IQualityControl) return GetInterface(static_cast<IQualityControl*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

ULONG CBasePin::NonDelegatingAddRef() {
    return m_pFilter->AddRef();
}

ULONG CBasePin::NonDelegatingRelease() {
    return m_pFilter->Release();
}

HRESULT CBasePin::Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) {
    if (pReceivePin == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    CMediaType wanted;
    if (pmt != nullptr && FAILED(wanted.Set(*pmt))) return E_OUTOFMEMORY;
    return AgreeMediaType(pReceivePin, &wanted);
}

HRESULT CBasePin::AgreeMediaType(IPin* receivePin, const CMediaType* type) {
    if (!type->IsPartiallySpecified()) return AttemptConnection(receivePin, type);
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    for (bool mine : {m_bTryMyTypesFirst != FALSE, m_bTryMyTypesFirst == FALSE}) {
        IEnumMediaTypes* types = nullptr;
        HRESULT hr = mine ? EnumMediaTypes(&types) : receivePin->EnumMediaTypes(&types);
        if (FAILED(hr)) continue;
        hr = TryMediaTypes(receivePin, type, types);
        types->Release();
        if (SUCCEEDED(hr)) return hr;
        if (!IsTypeRefusal(hr)) failure = hr;
    }
    return failure;
}

HRESULT CBasePin::TryMediaTypes(IPin* receivePin, const CMediaType* partial,
                                IEnumMediaTypes* types) {
    HRESULT failure = VFW_E_NO_ACCEPTABLE_TYPES;
    AM_MEDIA_TYPE* proposed = nullptr;
    ULONG fetched = 0;
    types->Reset();
    while (types->Next(1, &proposed, &fetched) == S_OK && fetched == 1) {
        CMediaType candidate(*proposed);
        DeleteMediaType(proposed);
        if (!candidate.MatchesPartial(partial)) continue;
        HRESULT hr = AttemptConnection(receivePin, &candidate);
        if (SUCCEEDED(hr)) return hr;
        if (!IsTypeRefusal(hr)) failure = hr;
    }
    return failure;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType* type) {
    HRESULT hr = CheckConnect(receivePin);
    if (SUCCEEDED(hr)) hr = Acceptance(CheckMediaType(type));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    m_Connected = receivePin;
    m_Connected->AddRef();
    hr = SetMediaType(type);
    if (SUCCEEDED(hr)) {
        hr = receivePin->ReceiveConnection(this, type);
        if (SUCCEEDED(hr)) {
            hr = CompleteConnect(receivePin);
            if (SUCCEEDED(hr)) return S_OK;
            receivePin->Disconnect();
        }
    }
    DisconnectInternal();
    return hr;
}

HRESULT CBasePin::ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) {
    if (pConnector == nullptr || pmt == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected != nullptr) return VFW_E_ALREADY_CONNECTED;
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    CMediaType type;
    HRESULT hr = CheckConnect(pConnector);
    if (SUCCEEDED(hr)) hr = type.Set(*pmt);
    if (SUCCEEDED(hr)) hr = Acceptance(CheckMediaType(&type));
    if (FAILED(hr)) {
        BreakConnect();
        return hr;
    }
    m_Connected = pConnector;
    m_Connected->AddRef();
    hr = SetMediaType(&type);
    if (SUCCEEDED(hr)) hr = CompleteConnect(pConnector);
    if (FAILED(hr)) DisconnectInternal();
    return hr;
}

HRESULT CBasePin::Disconnect() {
    CAutoLock lock(m_pLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    return DisconnectInternal();
}

HRESULT CBasePin::DisconnectInternal() {
    if (m_Connected == nullptr) return S_FALSE;
    HRESULT hr = BreakConnect();
    if (FAILED(hr)) return hr;
    m_Connected->Release();
    m_Connected = nullptr;
    m_mt.InitMediaType();
    return S_OK;
}

HRESULT CBasePin::ConnectedTo(IPin** pPin) {
    if (pPin == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    *pPin = m_Connected;
    if (m_Connected == nullptr) return VFW_E_NOT_CONNECTED;
    m_Connected->AddRef();
    return S_OK;
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    if (m_Connected == nullptr) {
        *pmt = CMediaType();
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(pmt, &m_mt);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* pInfo) {
    if (pInfo == nullptr) return E_POINTER;
    pInfo->pFilter = m_pFilter;
    m_pFilter->AddRef();
    size_t length = std::min(pinName.size(), size_t(MAX_PIN_NAME - 1));
    pinName.copy(pInfo->achName, length);
    pInfo->achName[length] = 0;
    pInfo->dir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* pPinDir) {
    if (pPinDir == nullptr) return E_POINTER;
    *pPinDir = m_dir;
    return S_OK;
}

HRESULT CBasePin::QueryId(LPWSTR* Id) {
    return AMGetWideString(Name(), Id);
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* pmt) {
    if (pmt == nullptr) return E_POINTER;
    CMediaType type(*pmt);
    return CheckMediaType(&type) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** ppEnum) {
    if (ppEnum == nullptr) return E_POINTER;
    auto* types = new (std::nothrow) CEnumMediaTypes(this);
    if (types == nullptr) {
        *ppEnum = nullptr;
        return E_OUTOFMEMORY;
    }
    return GetInterface(static_cast<IEnumMediaTypes*>(types), reinterpret_cast<void**>(ppEnum));
}

HRESULT CBasePin::QueryInternalConnections(IPin**, ULONG*) {
    return E_NOTIMPL;
}

HRESULT CBasePin::EndOfStream() {
    return S_OK;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    CAutoLock lock(m_pLock);
    m_tStart = tStart;
    m_tStop = tStop;
    m_dRate = dRate;
    return S_OK;
}

HRESULT CBasePin::Notify(IBaseFilter*, Quality) {
    return E_NOTIMPL;
}

HRESULT CBasePin::SetSink(IQualityControl* piqc) {
    CAutoLock lock(m_pLock);
    m_pQSink = piqc;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION direction;
    HRESULT hr = pin->QueryDirection(&direction);
    if (FAILED(hr)) return hr;
    return direction == m_dir ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
    return m_mt.Set(*type);
}

HRESULT CBasePin::CompleteConnect(IPin*) {
    return S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) {
    return E_UNEXPECTED;
}

HRESULT CBasePin::Active() {
    return S_OK;
}

HRESULT CBasePin::Inactive() {
    m_bRunTimeError = FALSE;
    return S_OK;
}

HRESULT CBasePin::Run(REFERENCE_TIME) {
    return S_OK;
}

BOOL CBasePin::IsStopped() const {
    return m_pFilter->IsStopped();
}

// ---- CBaseInputPin

CBaseInputPin::CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                             HRESULT* phr, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() {
    if (m_pAllocator != nullptr) m_pAllocator->Release();
}

HRESULT CBaseInputPin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemInputPin) return GetInterface(static_cast<IMemInputPin*>(this), ppv);
    return CBasePin::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** ppAllocator) {
    if (ppAllocator == nullptr) return E_POINTER;
    *ppAllocator = nullptr;
    CAutoLock lock(m_pLock);
    if (m_pAllocator == nullptr) {
        HRESULT hr = CMemAllocator::Create(&m_pAllocator);
        if (FAILED(hr)) return hr;
    }
    return GetInterface(m_pAllocator, reinterpret_cast<void**>(ppAllocator));
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* pAllocator, WINBOOL bReadOnly) {
    if (pAllocator == nullptr) return E_POINTER;
    CAutoLock lock(m_pLock);
    pAllocator->AddRef();
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    m_pAllocator = pAllocator;
    m_bReadOnly = bReadOnly;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return E_NOTIMPL;
}

HRESULT CBaseInputPin::Receive(IMediaSample* pSample) {
    if (pSample == nullptr) return E_POINTER;
    HRESULT hr = CheckStreaming();
    if (hr != S_OK) return hr;
    AM_MEDIA_TYPE* carried = nullptr;
    if (pSample->GetMediaType(&carried) != S_OK || carried == nullptr) return S_OK;
    bool same = CMediaType(*carried) == m_mt;
    DeleteMediaType(carried);
    if (same) return S_OK;
    m_bRunTimeError = TRUE;
    return VFW_E_INVALIDMEDIATYPE;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                       LONG* nSamplesProcessed) {
    if (pSamples == nullptr || nSamplesProcessed == nullptr) return E_POINTER;
    HRESULT hr = S_OK;
    for (*nSamplesProcessed = 0; *nSamplesProcessed < nSamples; ++*nSamplesProcessed) {
        hr = Receive(pSamples[*nSamplesProcessed]);
        if (hr != S_OK) break;
    }
    return hr;
}

HRESULT CBaseInputPin::ReceiveCanBlock() {
    int outputs = 0;
    for (int i = 0; i < m_pFilter->GetPinCount(); ++i) {
        CBasePin* pin = m_pFilter->GetPin(i);
        PIN_DIRECTION direction;
        if (pin == nullptr || pin->QueryDirection(&direction) != S_OK ||
            direction != PINDIR_OUTPUT || !pin->IsConnected())
            continue;
        ++outputs;
        IMemInputPin* downstream = nullptr;
        if (FAILED(pin->GetConnected()->QueryInterface(IID_IMemInputPin,
                                                       reinterpret_cast<void**>(&downstream))))
            return S_OK;
        HRESULT blocks = downstream->ReceiveCanBlock();
        downstream->Release();
        if (blocks != S_FALSE) return S_OK;
    }
    return outputs == 0 ? S_OK : S_FALSE;
}

HRESULT CBaseInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = TRUE;
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    m_bFlushing = FALSE;
    m_bRunTimeError = FALSE;
    return S_OK;
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_pAllocator != nullptr) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    m_bRunTimeError = FALSE;
    m_bFlushing = FALSE;
    return m_pAllocator != nullptr ? m_pAllocator->Decommit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (IsStopped()) return VFW_E_WRONG_STATE;
    if (m_bFlushing) return S_FALSE;
    return m_bRunTimeError ? VFW_E_RUNTIME_ERROR : S_OK;
}

HRESULT CBaseInputPin::PassNotify(Quality& q) {
    if (m_pQSink != nullptr) return m_pQSink->Notify(m_pFilter, q);
    if (m_Connected == nullptr) return VFW_E_NOT_FOUND;
    IQualityControl* upstream = nullptr;
    if (FAILED(
            m_Connected->QueryInterface(IID_IQualityControl, reinterpret_cast<void**>(&upstream))))
        return VFW_E_NOT_FOUND;
    HRESULT hr = upstream->Notify(m_pFilter, q);
    upstream->Release();
    return hr;
}

// ---- CBaseOutputPin

CBaseOutputPin::CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock,
                               HRESULT* phr, LPCWSTR pinName)
    : CBasePin(objectName, filter, lock, phr, pinName, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() {
    if (m_pAllocator != nullptr) m_pAllocator->Release();
    if (m_pInputPin != nullptr) m_pInputPin->Release();
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
    HRESULT hr = CBasePin::CheckConnect(pin);
    if (FAILED(hr)) return hr;
    if (m_pInputPin != nullptr) m_pInputPin->Release();
    m_pInputPin = nullptr;
    hr = pin->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&m_pInputPin));
    return FAILED(hr) ? VFW_E_NO_TRANSPORT : S_OK;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    return DecideAllocator(m_pInputPin, &m_pAllocator);
}

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_pAllocator != nullptr) {
        m_pAllocator->Decommit();
        m_pAllocator->Release();
        m_pAllocator = nullptr;
    }
    if (m_pInputPin != nullptr) m_pInputPin->Release();
    m_pInputPin = nullptr;
    return S_OK;
}

HRESULT CBaseOutputPin::Active() {
    return m_pAllocator != nullptr ? m_pAllocator->Commit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::Inactive() {
    m_bRunTimeError = FALSE;
    return m_pAllocator != nullptr ? m_pAllocator->Decommit() : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::EndOfStream() {
    return E_UNEXPECTED;
}

HRESULT CBaseOutputPin::BeginFlush() {
    return E_UNEXPECTED;
}

HRESULT CBaseOutputPin::EndFlush() {
    return E_UNEXPECTED;
}

HRESULT CBaseOutputPin::SizeAndNotify(IMemInputPin* pin, IMemAllocator* allocator,
                                      ALLOCATOR_PROPERTIES requirements) {
    HRESULT hr = DecideBufferSize(allocator, &requirements);
    return SUCCEEDED(hr) ? pin->NotifyAllocator(allocator, FALSE) : hr;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator) {
    if (pin == nullptr || allocator == nullptr) return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES requirements{};
    if (FAILED(pin->GetAllocatorRequirements(&requirements))) requirements = {};
    if (requirements.cbAlign == 0) requirements.cbAlign = 1;

    HRESULT hr = pin->GetAllocator(allocator);
    if (SUCCEEDED(hr)) {
        hr = SizeAndNotify(pin, *allocator, requirements);
        if (SUCCEEDED(hr)) return hr;
        (*allocator)->Release();
        *allocator = nullptr;
    }
    hr = CMemAllocator::Create(allocator);
    if (SUCCEEDED(hr)) {
        hr = SizeAndNotify(pin, *allocator, requirements);
        if (SUCCEEDED(hr)) return hr;
        (*allocator)->Release();
        *allocator = nullptr;
    }
    return hr;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                          REFERENCE_TIME* end, DWORD flags) {
    if (m_pAllocator == nullptr) return VFW_E_NO_ALLOCATOR;
    return m_pAllocator->GetBuffer(sample, start, end, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    return m_pInputPin != nullptr ? m_pInputPin->Receive(sample) : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    return m_Connected != nullptr ? m_Connected->EndOfStream() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    return m_Connected != nullptr ? m_Connected->BeginFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    return m_Connected != nullptr ? m_Connected->EndFlush() : VFW_E_NOT_CONNECTED;
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_Connected != nullptr ? m_Connected->NewSegment(start, stop, rate)
                                  : VFW_E_NOT_CONNECTED;
}
