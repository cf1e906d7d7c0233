#pragma once
// Pins: connection and media-type negotiation (CBasePin), sample input with its
// allocator (CBaseInputPin) and sample output through an allocator the two pins agree
// on (CBaseOutputPin). A pin belongs to its filter: its references are the filter's,
// and it shares the filter's state lock.

#include "platform/DirectShow.h"
#include "platform/dshow/CritSec.h"
#include "platform/dshow/MediaType.h"
#include "platform/dshow/Unknown.h"

#include <atomic>
#include <string>

class CBaseFilter;

class CBasePin : public CUnknown, public IPin, public IQualityControl {
public:
    CBasePin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
             LPCWSTR pinName, PIN_DIRECTION direction);
    ~CBasePin() override;

    DECLARE_IUNKNOWN
    // IPin and IQualityControl.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // References go to the filter, which owns the pin.
    ULONG NonDelegatingAddRef() override;
    ULONG NonDelegatingRelease() override;

    // Connects to `pReceivePin` with `pmt`, or, when the type is missing or leaves its
    // major type or format type open, with the first type of the receiving pin, then of
    // this pin, that matches it and both pins accept. Only while the filter is stopped.
    STDMETHODIMP Connect(IPin* pReceivePin, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP ReceiveConnection(IPin* pConnector, const AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP ConnectedTo(IPin** pPin) override;
    STDMETHODIMP ConnectionMediaType(AM_MEDIA_TYPE* pmt) override;
    STDMETHODIMP QueryPinInfo(PIN_INFO* pInfo) override;
    STDMETHODIMP QueryDirection(PIN_DIRECTION* pPinDir) override;
    // The pin's name.
    STDMETHODIMP QueryId(LPWSTR* Id) override;
    // S_OK when CheckMediaType accepts the type, else S_FALSE.
    STDMETHODIMP QueryAccept(const AM_MEDIA_TYPE* pmt) override;
    // The types GetMediaType proposes.
    STDMETHODIMP EnumMediaTypes(IEnumMediaTypes** ppEnum) override;
    STDMETHODIMP QueryInternalConnections(IPin** apPin, ULONG* nPin) override;
    STDMETHODIMP EndOfStream() override;
    // Records the segment.
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

    // Quality messages are not taken here (E_NOTIMPL); SetSink records an unreferenced sink.
    STDMETHODIMP Notify(IBaseFilter* pSelf, Quality q) override;
    STDMETHODIMP SetSink(IQualityControl* piqc) override;

    // Hooks of the connection: CheckConnect (the other pin is usable), CheckMediaType
    // (S_OK accepts the type), SetMediaType (the agreed type; stored here),
    // CompleteConnect (both sides agreed), BreakConnect (undo after a failure or at
    // disconnection).
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();
    // The types this pin proposes, from position 0: S_OK for each, anything else at the end.
    virtual HRESULT GetMediaType(int position, CMediaType* type);

    // State hooks the filter calls on connected pins: leaving the stopped state,
    // entering it, and running from stream time `start`.
    virtual HRESULT Active();
    virtual HRESULT Inactive();
    virtual HRESULT Run(REFERENCE_TIME start);

    BOOL IsConnected() const { return m_Connected != nullptr; }
    // The connected pin, without a reference added.
    IPin* GetConnected() const { return m_Connected; }
    BOOL IsStopped() const;
    LPCWSTR Name() const { return pinName.c_str(); }
    const CMediaType& CurrentMediaType() const { return m_mt; }
    REFERENCE_TIME CurrentStartTime() const { return m_tStart; }
    REFERENCE_TIME CurrentStopTime() const { return m_tStop; }
    double CurrentRate() const { return m_dRate; }

protected:
    HRESULT AgreeMediaType(IPin* receivePin, const CMediaType* type);
    HRESULT TryMediaTypes(IPin* receivePin, const CMediaType* partial, IEnumMediaTypes* types);
    HRESULT AttemptConnection(IPin* receivePin, const CMediaType* type);
    HRESULT DisconnectInternal();

    CBaseFilter* m_pFilter;
    CCritSec* m_pLock;
    IPin* m_Connected = nullptr;
    PIN_DIRECTION m_dir;
    CMediaType m_mt;
    IQualityControl* m_pQSink = nullptr;
    REFERENCE_TIME m_tStart = 0;
    REFERENCE_TIME m_tStop = 0;
    double m_dRate = 1.0;
    // Set when streaming failed; cleared when the pin stops or a flush ends.
    std::atomic<BOOL> m_bRunTimeError{FALSE};
    // Try this pin's types before the receiving pin's.
    BOOL m_bTryMyTypesFirst = FALSE;

private:
    std::wstring pinName;
};

class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                  LPCWSTR pinName);
    ~CBaseInputPin() override;

    DECLARE_IUNKNOWN
    // Adds IMemInputPin.
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // The allocator the upstream pin was told of, else a new memory allocator.
    STDMETHODIMP GetAllocator(IMemAllocator** ppAllocator) override;
    STDMETHODIMP NotifyAllocator(IMemAllocator* pAllocator, WINBOOL bReadOnly) override;
    // No requirements of its own (E_NOTIMPL).
    STDMETHODIMP GetAllocatorRequirements(ALLOCATOR_PROPERTIES* pProps) override;
    // Checks that the pin may stream (CheckStreaming). A sample that carries a media
    // type other than the connection's is refused: filters on this base cannot switch
    // formats in mid-stream. Derived pins process the sample after this succeeds.
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    STDMETHODIMP ReceiveMultiple(IMediaSample** pSamples, LONG nSamples,
                                 LONG* nSamplesProcessed) override;
    // S_OK when a connected output pin of the filter delivers to a pin that can block.
    STDMETHODIMP ReceiveCanBlock() override;
    // Samples received while flushing are dropped.
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // Releases the allocator.
    HRESULT BreakConnect() override;
    // Decommits the allocator.
    HRESULT Inactive() override;
    // S_OK when samples may be processed; S_FALSE while flushing; an error when the
    // filter is stopped or streaming failed before.
    virtual HRESULT CheckStreaming();
    // Passes a quality message upstream, to the sink when one was set.
    HRESULT PassNotify(Quality& q);

    // The allocator in use, without a reference added; null before one is agreed.
    IMemAllocator* PeekAllocator() const { return m_pAllocator; }
    BOOL IsReadOnly() const { return m_bReadOnly; }
    BOOL IsFlushing() const { return m_bFlushing; }

protected:
    IMemAllocator* m_pAllocator = nullptr;
    BOOL m_bReadOnly = FALSE;
    // Set from a control thread while the streaming thread reads it.
    std::atomic<BOOL> m_bFlushing{FALSE};
};

class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(const char* objectName, CBaseFilter* filter, CCritSec* lock, HRESULT* phr,
                   LPCWSTR pinName);
    ~CBaseOutputPin() override;

    // Requires a receiving pin with IMemInputPin.
    HRESULT CheckConnect(IPin* pin) override;
    // Agrees on the allocator (DecideAllocator).
    HRESULT CompleteConnect(IPin* receivePin) override;
    // Releases the allocator and the receiving pin.
    HRESULT BreakConnect() override;
    // Commit and decommit the allocator.
    HRESULT Active() override;
    HRESULT Inactive() override;

    // Output pins take no data, flushes or end of stream from downstream (E_UNEXPECTED).
    STDMETHODIMP EndOfStream() override;
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;

    // Takes the receiving pin's allocator, or a new memory allocator when it offers
    // none or the buffer sizes cannot be agreed on it, sizes it with DecideBufferSize
    // (after the receiving pin's requirements) and tells the receiving pin.
    virtual HRESULT DecideAllocator(IMemInputPin* pin, IMemAllocator** allocator);
    // Sets the allocator's properties; the request holds the receiving pin's wishes.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;

    // A buffer from the agreed allocator; VFW_E_NOT_COMMITTED once it is decommitted.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* end,
                              DWORD flags);
    // Downstream calls; VFW_E_NOT_CONNECTED without a connection.
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    IMemAllocator* m_pAllocator = nullptr;
    IMemInputPin* m_pInputPin = nullptr;

private:
    HRESULT SizeAndNotify(IMemInputPin* pin, IMemAllocator* allocator,
                          ALLOCATOR_PROPERTIES requirements);
};
