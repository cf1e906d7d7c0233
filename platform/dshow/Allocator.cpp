#include "platform/dshow/Allocator.h"
#include "platform/dshow/MediaType.h"

#include <climits>
#include <cstdint>
#include <new>

// ---- CMediaSample

CMediaSample::CMediaSample(CMemAllocator& allocator, BYTE* buffer, LONG size)
    : allocator(allocator), buffer(buffer), size(size), actualLength(size) {}

CMediaSample::~CMediaSample() {
    DeleteMediaType(mediaType);
}

HRESULT CMediaSample::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IMediaSample) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    return GetInterface(this, ppv);
}

ULONG CMediaSample::AddRef() {
    return ++references;
}

ULONG CMediaSample::Release() {
    ULONG left = --references;
    // The allocator may free this sample before the call returns.
    if (left == 0) allocator.ReleaseBuffer(this);
    return left;
}

void CMediaSample::HandOut() {
    references = 1;
    actualLength = size;
    timeValid = stopValid = mediaTimeValid = false;
    syncPoint = preroll = discontinuity = false;
    DeleteMediaType(mediaType);
    mediaType = nullptr;
}

HRESULT CMediaSample::GetPointer(BYTE** ppBuffer) {
    if (ppBuffer == nullptr) return E_POINTER;
    *ppBuffer = buffer;
    return S_OK;
}

LONG CMediaSample::GetSize() {
    return size;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    if (pTimeStart == nullptr || pTimeEnd == nullptr) return E_POINTER;
    if (!timeValid) return VFW_E_SAMPLE_TIME_NOT_SET;
    *pTimeStart = start;
    *pTimeEnd = stopValid ? end : start + 1;
    return stopValid ? S_OK : VFW_S_NO_STOP_TIME;
}

HRESULT CMediaSample::SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) {
    timeValid = pTimeStart != nullptr;
    stopValid = timeValid && pTimeEnd != nullptr;
    if (timeValid) start = *pTimeStart;
    if (stopValid) end = *pTimeEnd;
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() {
    return syncPoint ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetSyncPoint(WINBOOL bIsSyncPoint) {
    syncPoint = bIsSyncPoint != FALSE;
    return S_OK;
}

HRESULT CMediaSample::IsPreroll() {
    return preroll ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetPreroll(WINBOOL bIsPreroll) {
    preroll = bIsPreroll != FALSE;
    return S_OK;
}

LONG CMediaSample::GetActualDataLength() {
    return actualLength;
}

HRESULT CMediaSample::SetActualDataLength(LONG length) {
    if (length < 0 || length > size) return VFW_E_BUFFER_OVERFLOW;
    actualLength = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** ppMediaType) {
    if (ppMediaType == nullptr) return E_POINTER;
    *ppMediaType = nullptr;
    if (mediaType == nullptr) return S_FALSE;
    *ppMediaType = CreateMediaType(mediaType);
    return *ppMediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(AM_MEDIA_TYPE* pMediaType) {
    DeleteMediaType(mediaType);
    mediaType = nullptr;
    if (pMediaType == nullptr) return S_OK;
    mediaType = CreateMediaType(pMediaType);
    return mediaType != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT CMediaSample::IsDiscontinuity() {
    return discontinuity ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetDiscontinuity(WINBOOL bDiscontinuity) {
    discontinuity = bDiscontinuity != FALSE;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (pTimeStart == nullptr || pTimeEnd == nullptr) return E_POINTER;
    if (!mediaTimeValid) return VFW_E_MEDIA_TIME_NOT_SET;
    *pTimeStart = mediaStart;
    *pTimeEnd = mediaEnd;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) {
    if (pTimeStart == nullptr) {
        mediaTimeValid = false;
        return S_OK;
    }
    if (pTimeEnd == nullptr) return E_POINTER;
    mediaStart = *pTimeStart;
    mediaEnd = *pTimeEnd;
    mediaTimeValid = true;
    return S_OK;
}

// ---- CMemAllocator

CMemAllocator::CMemAllocator(const char* name, LPUNKNOWN outer) : CUnknown(name, outer) {}

HRESULT CMemAllocator::Create(IMemAllocator** allocator) {
    if (allocator == nullptr) return E_POINTER;
    *allocator = nullptr;
    auto* created = new (std::nothrow) CMemAllocator("Memory allocator", nullptr);
    if (created == nullptr) return E_OUTOFMEMORY;
    return GetInterface(static_cast<IMemAllocator*>(created), reinterpret_cast<void**>(allocator));
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == IID_IMemAllocator) return GetInterface(static_cast<IMemAllocator*>(this), ppv);
    return CUnknown::NonDelegatingQueryInterface(riid, ppv);
}

HRESULT CMemAllocator::SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                                     ALLOCATOR_PROPERTIES* pActual) {
    if (pRequest == nullptr || pActual == nullptr) return E_POINTER;
    const ALLOCATOR_PROPERTIES& request = *pRequest;
    std::lock_guard lock(mutex);
    if (committed) return VFW_E_ALREADY_COMMITTED;
    if (!samples.empty()) return VFW_E_BUFFERS_OUTSTANDING;
    if (request.cbAlign <= 0 || (request.cbAlign & (request.cbAlign - 1)) != 0)
        return VFW_E_BADALIGN;
    if (request.cBuffers < 0 || request.cbBuffer < 0 || request.cbPrefix < 0) return E_INVALIDARG;
    std::int64_t stride = std::int64_t(request.cbBuffer) + request.cbPrefix;
    stride = (stride + request.cbAlign - 1) / request.cbAlign * request.cbAlign;
    if (stride > LONG_MAX) return E_INVALIDARG;
    properties = request;
    properties.cbBuffer = LONG(stride) - request.cbPrefix;
    *pActual = properties;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* pProps) {
    if (pProps == nullptr) return E_POINTER;
    std::lock_guard lock(mutex);
    *pProps = properties;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(mutex);
    if (committed) return S_OK;
    if (properties.cBuffers <= 0 || properties.cbBuffer <= 0) return VFW_E_SIZENOTSET;
    // Samples still out from before a decommit are taken up again as they are.
    if (samples.empty()) {
        HRESULT hr = AllocateBuffers();
        if (FAILED(hr)) return hr;
    }
    committed = true;
    return S_OK;
}

HRESULT CMemAllocator::AllocateBuffers() {
    std::size_t stride = std::size_t(properties.cbPrefix) + std::size_t(properties.cbBuffer);
    std::size_t count = std::size_t(properties.cBuffers);
    std::size_t alignment = std::size_t(properties.cbAlign);
    if (stride > (SIZE_MAX - alignment) / count) return E_OUTOFMEMORY;
    memory.reset(new (std::nothrow) BYTE[stride * count + alignment]);
    if (memory == nullptr) return E_OUTOFMEMORY;
    auto address = reinterpret_cast<std::uintptr_t>(memory.get());
    BYTE* first = memory.get() + (alignment - address % alignment) % alignment;
    try {
        for (std::size_t i = 0; i < count; ++i) {
            BYTE* data = first + i * stride + std::size_t(properties.cbPrefix);
            samples.push_back(std::make_unique<CMediaSample>(*this, data, properties.cbBuffer));
            freeSamples.push_back(samples.back().get());
        }
    } catch (const std::bad_alloc&) {
        freeSamples.clear();
        samples.clear();
        memory.reset();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

void CMemAllocator::FreeBuffersWhenAllBack() {
    if (committed || freeSamples.size() != samples.size()) return;
    freeSamples.clear();
    samples.clear();
    memory.reset();
}

HRESULT CMemAllocator::Decommit() {
    {
        std::lock_guard lock(mutex);
        committed = false;
        FreeBuffersWhenAllBack();
    }
    bufferReturned.notify_all();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME*, REFERENCE_TIME*,
                                 DWORD dwFlags) {
    if (ppBuffer == nullptr) return E_POINTER;
    *ppBuffer = nullptr;
    CMediaSample* sample = nullptr;
    {
        std::unique_lock lock(mutex);
        bool wait = (dwFlags & AM_GBF_NOWAIT) == 0;
        bufferReturned.wait(lock, [&] { return !committed || !freeSamples.empty() || !wait; });
        if (!committed) return VFW_E_NOT_COMMITTED;
        if (freeSamples.empty()) return VFW_E_TIMEOUT;
        sample = freeSamples.back();
        freeSamples.pop_back();
        sample->HandOut();
    }
    // The sample keeps its allocator alive until it comes back.
    AddRef();
    *ppBuffer = sample;
    return S_OK;
}

CMediaSample* CMemAllocator::SampleOf(IMediaSample* buffer) {
    for (const auto& sample : samples)
        if (sample.get() == buffer) return sample.get();
    return nullptr;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* pBuffer) {
    if (pBuffer == nullptr) return E_POINTER;
    {
        std::lock_guard lock(mutex);
        CMediaSample* sample = SampleOf(pBuffer);
        if (sample == nullptr) return E_INVALIDARG;
        freeSamples.push_back(sample);
        FreeBuffersWhenAllBack();
    }
    bufferReturned.notify_one();
    Release();
    return S_OK;
}
