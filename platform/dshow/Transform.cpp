#include "platform/dshow/Transform.h"
#include "platform/dshow/Text.h"

#include <new>

// ---- CTransformInputPin

CTransformInputPin::CTransformInputPin(const char* objectName, CTransformFilter* filter,
                                       HRESULT* phr, LPCWSTR pinName)
    : CBaseInputPin(objectName, filter, &filter->m_csFilter, phr, pinName),
      m_pTransformFilter(filter) {}

HRESULT CTransformInputPin::QueryId(LPWSTR* Id) {
    return AMGetWideString(L"In", Id);
}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
    HRESULT hr = m_pTransformFilter->CheckInputType(type);
    if (hr != S_OK) return hr;
    CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
    if (output == nullptr || !output->IsConnected()) return hr;
    return m_pTransformFilter->CheckTransform(type, &output->CurrentMediaType());
}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_INPUT, pin);
    return FAILED(hr) ? hr : CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_INPUT, receivePin);
    return FAILED(hr) ? hr : CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
    HRESULT hr = CBaseInputPin::SetMediaType(type);
    return FAILED(hr) ? hr : m_pTransformFilter->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::CheckStreaming() {
    CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
    if (output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    return CBaseInputPin::CheckStreaming();
}

HRESULT CTransformInputPin::Receive(IMediaSample* pSample) {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CBaseInputPin::Receive(pSample);
    return hr == S_OK ? m_pTransformFilter->Receive(pSample) : hr;
}

HRESULT CTransformInputPin::EndOfStream() {
    CAutoLock lock(&m_pTransformFilter->m_csReceive);
    HRESULT hr = CheckStreaming();
    return hr == S_OK ? m_pTransformFilter->EndOfStream() : hr;
}

HRESULT CTransformInputPin::BeginFlush() {
    CAutoLock lock(m_pLock);
    CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = CBaseInputPin::BeginFlush();
    return FAILED(hr) ? hr : m_pTransformFilter->BeginFlush();
}

HRESULT CTransformInputPin::EndFlush() {
    CAutoLock lock(m_pLock);
    CTransformOutputPin* output = m_pTransformFilter->m_pOutput;
    if (!IsConnected() || output == nullptr || !output->IsConnected()) return VFW_E_NOT_CONNECTED;
    HRESULT hr = m_pTransformFilter->EndFlush();
    return FAILED(hr) ? hr : CBaseInputPin::EndFlush();
}

HRESULT CTransformInputPin::NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) {
    CBaseInputPin::NewSegment(tStart, tStop, dRate);
    return m_pTransformFilter->NewSegment(tStart, tStop, dRate);
}

// ---- CTransformOutputPin

CTransformOutputPin::CTransformOutputPin(const char* objectName, CTransformFilter* filter,
                                         HRESULT* phr, LPCWSTR pinName)
    : CBaseOutputPin(objectName, filter, &filter->m_csFilter, phr, pinName),
      m_pTransformFilter(filter) {}

HRESULT CTransformOutputPin::QueryId(LPWSTR* Id) {
    return AMGetWideString(L"Out", Id);
}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return E_INVALIDARG;
    return m_pTransformFilter->CheckTransform(&input->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return E_UNEXPECTED;
    HRESULT hr = m_pTransformFilter->CheckConnect(PINDIR_OUTPUT, pin);
    return FAILED(hr) ? hr : CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_pTransformFilter->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
    HRESULT hr = m_pTransformFilter->CompleteConnect(PINDIR_OUTPUT, receivePin);
    return FAILED(hr) ? hr : CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
    HRESULT hr = CBaseOutputPin::SetMediaType(type);
    return FAILED(hr) ? hr : m_pTransformFilter->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    if (input == nullptr || !input->IsConnected()) return VFW_S_NO_MORE_ITEMS;
    return m_pTransformFilter->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                              ALLOCATOR_PROPERTIES* request) {
    return m_pTransformFilter->DecideBufferSize(allocator, request);
}

HRESULT CTransformOutputPin::Notify(IBaseFilter*, Quality q) {
    HRESULT hr = m_pTransformFilter->AlterQuality(q);
    if (hr != S_FALSE) return hr;
    CTransformInputPin* input = m_pTransformFilter->m_pInput;
    return input != nullptr ? input->PassNotify(q) : VFW_E_NOT_FOUND;
}

// ---- CTransformFilter

CTransformFilter::CTransformFilter(const char* name, LPUNKNOWN outer, REFCLSID clsid)
    : CBaseFilter(name, outer, &m_csFilter, clsid) {}

CTransformFilter::~CTransformFilter() {
    delete m_pInput;
    delete m_pOutput;
}

int CTransformFilter::GetPinCount() {
    return 2;
}

bool CTransformFilter::CreatePins() {
    HRESULT hr = S_OK;
    m_pInput = new (std::nothrow) CTransformInputPin("Transform input pin", this, &hr, L"XForm In");
    if (m_pInput != nullptr && SUCCEEDED(hr))
        m_pOutput =
            new (std::nothrow) CTransformOutputPin("Transform output pin", this, &hr, L"XForm Out");
    if (m_pOutput != nullptr && SUCCEEDED(hr)) return true;
    delete m_pInput;
    delete m_pOutput;
    m_pInput = nullptr;
    m_pOutput = nullptr;
    return false;
}

CBasePin* CTransformFilter::GetPin(int n) {
    if (m_pInput == nullptr && !CreatePins()) return nullptr;
    if (n == 0) return m_pInput;
    return n == 1 ? m_pOutput : nullptr;
}

HRESULT CTransformFilter::Pause() {
    CAutoLock lock(&m_csFilter);
    if (m_State == State_Paused) return S_OK;
    m_bSampleSkipped = FALSE;
    if (m_pInput == nullptr || !m_pInput->IsConnected()) {
        if (m_pOutput != nullptr && !m_bEOSDelivered) {
            m_pOutput->DeliverEndOfStream();
            m_bEOSDelivered = TRUE;
        }
        m_State = State_Paused;
        return S_OK;
    }
    if (!m_pOutput->IsConnected()) {
        m_State = State_Paused;
        return S_OK;
    }
    bool starting = m_State == State_Stopped;
    HRESULT hr = starting ? StartStreaming() : S_OK;
    if (FAILED(hr)) return hr;
    hr = CBaseFilter::Pause();
    // Pins that cannot start (no buffers) leave the filter stopped, as it was.
    if (FAILED(hr) && starting) StopStreaming();
    return hr;
}

HRESULT CTransformFilter::Stop() {
    CAutoLock lock(&m_csFilter);
    if (m_State == State_Stopped) return S_OK;
    m_bEOSDelivered = FALSE;
    if (m_pInput == nullptr || !m_pInput->IsConnected() || !m_pOutput->IsConnected()) {
        m_State = State_Stopped;
        return S_OK;
    }
    m_pInput->Inactive();
    CAutoLock receiving(&m_csReceive);
    m_pOutput->Inactive();
    HRESULT hr = StopStreaming();
    if (SUCCEEDED(hr)) m_State = State_Stopped;
    return hr;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION, const CMediaType*) {
    return S_OK;
}

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION) {
    return S_OK;
}

HRESULT CTransformFilter::StartStreaming() {
    return S_OK;
}

HRESULT CTransformFilter::StopStreaming() {
    return S_OK;
}

HRESULT CTransformFilter::AlterQuality(Quality) {
    return S_FALSE;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
    IMediaSample* out = nullptr;
    HRESULT hr = InitializeOutputSample(sample, &out);
    if (FAILED(hr)) return hr;
    hr = Transform(sample, out);
    m_bSampleSkipped = hr == S_FALSE;
    if (hr == S_OK) hr = m_pOutput->Deliver(out);
    out->Release();
    return hr == S_FALSE ? S_OK : hr;
}

HRESULT CTransformFilter::Transform(IMediaSample*, IMediaSample*) {
    return E_UNEXPECTED;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* in, IMediaSample** out) {
    bool syncPoint = in->IsSyncPoint() == S_OK;
    DWORD flags =
        (m_bSampleSkipped ? AM_GBF_PREVFRAMESKIPPED : 0) | (syncPoint ? 0 : AM_GBF_NOTASYNCPOINT);
    REFERENCE_TIME start = 0, end = 0;
    HRESULT timed = in->GetTime(&start, &end);
    bool hasTime = timed == S_OK || timed == VFW_S_NO_STOP_TIME;
    HRESULT hr = m_pOutput->GetDeliveryBuffer(out, hasTime ? &start : nullptr,
                                              hasTime ? &end : nullptr, flags);
    if (FAILED(hr)) return hr;
    IMediaSample* sample = *out;
    sample->SetTime(hasTime ? &start : nullptr, timed == S_OK ? &end : nullptr);
    sample->SetSyncPoint(syncPoint);
    sample->SetPreroll(in->IsPreroll() == S_OK);
    sample->SetDiscontinuity(m_bSampleSkipped || in->IsDiscontinuity() == S_OK);
    LONGLONG mediaStart = 0, mediaEnd = 0;
    bool hasMediaTime = in->GetMediaTime(&mediaStart, &mediaEnd) == S_OK;
    sample->SetMediaTime(hasMediaTime ? &mediaStart : nullptr, hasMediaTime ? &mediaEnd : nullptr);
    return S_OK;
}

HRESULT CTransformFilter::EndOfStream() {
    return m_pOutput != nullptr ? m_pOutput->DeliverEndOfStream() : S_OK;
}

HRESULT CTransformFilter::BeginFlush() {
    return m_pOutput != nullptr ? m_pOutput->DeliverBeginFlush() : S_OK;
}

HRESULT CTransformFilter::EndFlush() {
    return m_pOutput != nullptr ? m_pOutput->DeliverEndFlush() : S_OK;
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    return m_pOutput != nullptr ? m_pOutput->DeliverNewSegment(start, stop, rate) : S_OK;
}
