#include "tests/windows/WaveSource.h"

#include <cstring>

namespace {
// {6B1E2D4C-3A5F-4E7D-9C8B-1F2E3D4C5B6A}: only for this test's graph.
const CLSID waveSourceClass = {
    0x6b1e2d4c, 0x3a5f, 0x4e7d, {0x9c, 0x8b, 0x1f, 0x2e, 0x3d, 0x4c, 0x5b, 0x6a}};
HRESULT pinResult = S_OK;
constexpr REFERENCE_TIME unitsPerSecond = 10000000;
} // namespace

WaveSourcePin::WaveSourcePin(WaveSource* source, CCritSec* lock, HRESULT* result)
    : CBaseOutputPin("Wave source pin", source, lock, result, L"Out"), source(source) {}

HRESULT WaveSourcePin::GetMediaType(int position, CMediaType* type) {
    if (position != 0) return VFW_S_NO_MORE_ITEMS;
    type->InitMediaType();
    type->SetType(&MEDIATYPE_Audio);
    bool isFloat = source->format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    type->SetSubtype(isFloat ? &MEDIASUBTYPE_IEEE_FLOAT : &MEDIASUBTYPE_PCM);
    type->SetFormatType(&FORMAT_WaveFormatEx);
    WAVEFORMATEX format = source->format;
    format.cbSize = 0;
    type->bFixedSizeSamples = TRUE;
    type->lSampleSize = format.nBlockAlign;
    return type->SetFormat(reinterpret_cast<const BYTE*>(&format), sizeof(format)) ? S_OK
                                                                                   : E_OUTOFMEMORY;
}

HRESULT WaveSourcePin::CheckMediaType(const CMediaType* type) {
    CMediaType offered;
    GetMediaType(0, &offered);
    return *type == offered ? S_OK : S_FALSE;
}

HRESULT WaveSourcePin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    request->cBuffers = 4;
    request->cbBuffer = LONG(source->format.nAvgBytesPerSec / 10);
    request->cbAlign = 1;
    ALLOCATOR_PROPERTIES granted{};
    HRESULT result = allocator->SetProperties(request, &granted);
    return FAILED(result) ? result : (granted.cbBuffer >= request->cbBuffer ? S_OK : E_FAIL);
}

HRESULT WaveSourcePin::Run(REFERENCE_TIME start) {
    HRESULT result = CBaseOutputPin::Run(start);
    if (SUCCEEDED(result) && !pusher.joinable()) {
        stopping = false;
        pusher = std::thread([this] { Push(); });
    }
    return result;
}

HRESULT WaveSourcePin::Inactive() {
    stopping = true;
    HRESULT result = CBaseOutputPin::Inactive(); // decommitting wakes a waiting pusher
    if (pusher.joinable()) pusher.join();
    return result;
}

void WaveSourcePin::Push() {
    const std::vector<BYTE>& data = source->data;
    const WAVEFORMATEX& format = source->format;
    size_t chunk = format.nAvgBytesPerSec / 10;
    for (size_t offset = 0; offset < data.size() && !stopping; offset += chunk) {
        IMediaSample* sample = nullptr;
        if (FAILED(GetDeliveryBuffer(&sample, nullptr, nullptr, 0))) return;
        size_t length = std::min(chunk, data.size() - offset);
        BYTE* target = nullptr;
        sample->GetPointer(&target);
        std::memcpy(target, &data[offset], length);
        sample->SetActualDataLength(LONG(length));
        REFERENCE_TIME begin = REFERENCE_TIME(offset) * unitsPerSecond / format.nAvgBytesPerSec;
        REFERENCE_TIME end =
            REFERENCE_TIME(offset + length) * unitsPerSecond / format.nAvgBytesPerSec;
        sample->SetTime(&begin, &end);
        HRESULT delivered = Deliver(sample);
        sample->Release();
        if (delivered != S_OK) return;
    }
    if (!stopping) DeliverEndOfStream();
}

WaveSource::WaveSource(const WAVEFORMATEX& format, std::vector<BYTE> data)
    : CBaseFilter("Wave source", nullptr, &filterLock, waveSourceClass), format(format),
      data(std::move(data)), pin(this, &filterLock, &pinResult) {}

WaveSource::~WaveSource() = default;
