#include "tests/windows/RecordingSink.h"

#include <evcode.h>

namespace {
// {5C0B7F3E-9D2A-4C61-8E0B-6A1D2F3C4B5E}: only for this test's graph.
const CLSID recordingSinkClass = {
    0x5c0b7f3e, 0x9d2a, 0x4c61, {0x8e, 0x0b, 0x6a, 0x1d, 0x2f, 0x3c, 0x4b, 0x5e}};
HRESULT pinResult = S_OK;
} // namespace

RecordingPin::RecordingPin(RecordingSink* sink, CCritSec* lock, HRESULT* result)
    : CBaseInputPin("Recording pin", sink, lock, result, L"In"), sink(sink) {}

HRESULT RecordingPin::CheckMediaType(const CMediaType* type) {
    bool audio = *type->Type() == MEDIATYPE_Audio && *type->FormatType() == FORMAT_WaveFormatEx;
    return audio && type->FormatLength() >= sizeof(WAVEFORMATEX) ? S_OK : S_FALSE;
}

STDMETHODIMP RecordingPin::Receive(IMediaSample* sample) {
    HRESULT result = CBaseInputPin::Receive(sample);
    if (result != S_OK) return result;
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return E_POINTER;
    sink->Append(data, sample->GetActualDataLength());
    return S_OK;
}

STDMETHODIMP RecordingPin::EndOfStream() {
    sink->SignalComplete();
    return S_OK;
}

RecordingSink::RecordingSink()
    : CBaseFilter("Recording sink", nullptr, &filterLock, recordingSinkClass),
      pin(this, &filterLock, &pinResult) {}

RecordingSink::~RecordingSink() = default;

STDMETHODIMP RecordingSink::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IAMFilterMiscFlags)
        return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
    return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
}

CBasePin* RecordingSink::GetPin(int n) {
    return n == 0 ? &pin : nullptr;
}

void RecordingSink::Append(const BYTE* data, long length) {
    std::lock_guard hold(bytesLock);
    bytes.insert(bytes.end(), data, data + length);
}

void RecordingSink::SignalComplete() {
    IMediaEventSink* events = nullptr;
    if (m_pGraph == nullptr ||
        FAILED(m_pGraph->QueryInterface(IID_IMediaEventSink, reinterpret_cast<void**>(&events))))
        return;
    events->Notify(EC_COMPLETE, S_OK, reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(this)));
    events->Release();
}

std::vector<BYTE> RecordingSink::Bytes() {
    std::lock_guard hold(bytesLock);
    return bytes;
}

WAVEFORMATEX RecordingSink::Format() {
    AM_MEDIA_TYPE type{};
    WAVEFORMATEX format{};
    if (SUCCEEDED(pin.ConnectionMediaType(&type))) {
        format = *reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
        FreeMediaType(type);
    }
    return format;
}
