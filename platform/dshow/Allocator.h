#pragma once
// A memory allocator: a fixed set of equal buffers, handed out as media samples. A
// sample goes back to its allocator when its last reference is released; each
// outstanding sample holds a reference to the allocator. Memory exists from Commit
// until Decommit has been called and every sample is back.

#include "platform/DirectShow.h"
#include "platform/dshow/Unknown.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class CMemAllocator;

class CMediaSample final : public IMediaSample {
public:
    CMediaSample(CMemAllocator& allocator, BYTE* buffer, LONG size);
    CMediaSample(const CMediaSample&) = delete;
    CMediaSample& operator=(const CMediaSample&) = delete;
    ~CMediaSample();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    // The last release returns the sample to its allocator.
    STDMETHODIMP_(ULONG) Release() override;

    STDMETHODIMP GetPointer(BYTE** ppBuffer) override;
    STDMETHODIMP_(LONG) GetSize() override;
    // VFW_S_NO_STOP_TIME with an end of start + 1 when only the start is set.
    STDMETHODIMP GetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    // No start clears both times; no end keeps only the start.
    STDMETHODIMP SetTime(REFERENCE_TIME* pTimeStart, REFERENCE_TIME* pTimeEnd) override;
    STDMETHODIMP IsSyncPoint() override;
    STDMETHODIMP SetSyncPoint(WINBOOL bIsSyncPoint) override;
    STDMETHODIMP IsPreroll() override;
    STDMETHODIMP SetPreroll(WINBOOL bIsPreroll) override;
    STDMETHODIMP_(LONG) GetActualDataLength() override;
    STDMETHODIMP SetActualDataLength(LONG length) override;
    // S_FALSE and null when the sample carries no type; else a task-memory copy.
    STDMETHODIMP GetMediaType(AM_MEDIA_TYPE** ppMediaType) override;
    STDMETHODIMP SetMediaType(AM_MEDIA_TYPE* pMediaType) override;
    STDMETHODIMP IsDiscontinuity() override;
    STDMETHODIMP SetDiscontinuity(WINBOOL bDiscontinuity) override;
    STDMETHODIMP GetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;
    STDMETHODIMP SetMediaTime(LONGLONG* pTimeStart, LONGLONG* pTimeEnd) override;

    // Hands the sample out afresh: one reference, the whole buffer as data, no times,
    // no flags and no media type.
    void HandOut();

private:
    CMemAllocator& allocator;
    BYTE* buffer;
    LONG size;
    LONG actualLength;
    std::atomic<ULONG> references{0};
    REFERENCE_TIME start = 0;
    REFERENCE_TIME end = 0;
    LONGLONG mediaStart = 0;
    LONGLONG mediaEnd = 0;
    bool timeValid = false;
    bool stopValid = false;
    bool mediaTimeValid = false;
    bool syncPoint = false;
    bool preroll = false;
    bool discontinuity = false;
    AM_MEDIA_TYPE* mediaType = nullptr;
};

class CMemAllocator final : public CUnknown, public IMemAllocator {
public:
    CMemAllocator(const char* name, LPUNKNOWN outer);
    // A new allocator, with one reference for the caller.
    static HRESULT Create(IMemAllocator** allocator);

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Buffers are enlarged so that prefix plus buffer is a multiple of the alignment,
    // which must be a power of two. Refused while committed or with samples out.
    STDMETHODIMP SetProperties(ALLOCATOR_PROPERTIES* pRequest,
                               ALLOCATOR_PROPERTIES* pActual) override;
    STDMETHODIMP GetProperties(ALLOCATOR_PROPERTIES* pProps) override;
    // VFW_E_SIZENOTSET until at least one buffer of at least one byte is asked for.
    STDMETHODIMP Commit() override;
    // Wakes every waiting GetBuffer, which then fails with VFW_E_NOT_COMMITTED.
    STDMETHODIMP Decommit() override;
    // Waits for a free buffer unless AM_GBF_NOWAIT is given (then VFW_E_TIMEOUT).
    STDMETHODIMP GetBuffer(IMediaSample** ppBuffer, REFERENCE_TIME* pStartTime,
                           REFERENCE_TIME* pEndTime, DWORD dwFlags) override;
    STDMETHODIMP ReleaseBuffer(IMediaSample* pBuffer) override;

private:
    HRESULT AllocateBuffers();
    void FreeBuffersWhenAllBack();
    CMediaSample* SampleOf(IMediaSample* buffer);

    std::mutex mutex;
    std::condition_variable bufferReturned;
    ALLOCATOR_PROPERTIES properties{};
    bool committed = false;
    std::unique_ptr<BYTE[]> memory;
    std::vector<std::unique_ptr<CMediaSample>> samples;
    std::vector<CMediaSample*> freeSamples;
};
