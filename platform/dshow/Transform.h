#pragma once
// A filter with one input and one output pin that turns each input sample into output.
// A derived filter says which types it takes (CheckInputType), which output types go
// with an input type (CheckTransform), which output types it proposes (GetMediaType)
// and how big the output buffers are (DecideBufferSize); it processes samples in
// Transform, or takes over Receive to deliver as it likes.
//
// Locks: m_csFilter guards state changes and connections; m_csReceive is held for each
// sample and each end of stream on the streaming thread, so Stop waits for the sample in
// progress once the input allocator is decommitted.

#include "platform/DirectShow.h"
#include "platform/dshow/Filter.h"
#include "platform/dshow/Pins.h"

#include <atomic>

class CTransformFilter;

class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(const char* objectName, CTransformFilter* filter, HRESULT* phr,
                       LPCWSTR pinName);

    // "In".
    STDMETHODIMP QueryId(LPWSTR* Id) override;

    // The filter's CheckInputType, and CheckTransform against a connected output.
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    // Also fails with VFW_E_NOT_CONNECTED while the output is not connected.
    HRESULT CheckStreaming() override;

    // Under the receive lock: the base checks, then the filter's Receive.
    STDMETHODIMP Receive(IMediaSample* pSample) override;
    // Under the receive lock, when streaming: the filter's EndOfStream.
    STDMETHODIMP EndOfStream() override;
    // Flushes and new segments go through the filter, which passes them downstream.
    STDMETHODIMP BeginFlush() override;
    STDMETHODIMP EndFlush() override;
    STDMETHODIMP NewSegment(REFERENCE_TIME tStart, REFERENCE_TIME tStop, double dRate) override;

protected:
    CTransformFilter* m_pTransformFilter;
};

class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(const char* objectName, CTransformFilter* filter, HRESULT* phr,
                        LPCWSTR pinName);

    // "Out".
    STDMETHODIMP QueryId(LPWSTR* Id) override;

    // The filter's CheckTransform from the input type; refused while the input is not
    // connected.
    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    // The filter's types once the input is connected; none before.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;

    // A quality message from downstream: the filter's AlterQuality, and upstream when
    // that returns S_FALSE.
    STDMETHODIMP Notify(IBaseFilter* pSender, Quality q) override;

protected:
    CTransformFilter* m_pTransformFilter;
};

class CTransformFilter : public CBaseFilter {
public:
    CTransformFilter(const char* name, LPUNKNOWN outer, REFCLSID clsid);
    ~CTransformFilter() override;

    // Two pins: 0 input, 1 output, created together on first use.
    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    // With both pins connected: StartStreaming on leaving the stopped state, then the
    // pins are activated. With the input unconnected the filter only sends end of
    // stream downstream (once).
    STDMETHODIMP Pause() override;
    // With both pins connected: the input is deactivated first (which frees an upstream
    // thread waiting for a buffer), the sample in progress is waited for, then the
    // output is deactivated and StopStreaming called.
    STDMETHODIMP Stop() override;

    // The work, in the order a connection and a stream reach them.
    virtual HRESULT CheckInputType(const CMediaType* type) = 0;
    virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
    virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
    virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
    virtual HRESULT BreakConnect(PIN_DIRECTION direction);
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();
    // S_FALSE passes the quality message upstream.
    virtual HRESULT AlterQuality(Quality q);

    // One input sample: an output buffer with the input's times and flags
    // (InitializeOutputSample), Transform into it, and delivery unless Transform
    // returned S_FALSE.
    virtual HRESULT Receive(IMediaSample* sample);
    // E_UNEXPECTED: a filter that keeps the default Receive must provide it.
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out);
    // These pass the call downstream.
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

protected:
    HRESULT InitializeOutputSample(IMediaSample* in, IMediaSample** out);

    CCritSec m_csFilter;
    CCritSec m_csReceive;
    CTransformInputPin* m_pInput = nullptr;
    CTransformOutputPin* m_pOutput = nullptr;
    // End of stream went downstream while the input was unconnected.
    BOOL m_bEOSDelivered = FALSE;
    // The last Transform skipped its sample; the next output is a discontinuity.
    std::atomic<BOOL> m_bSampleSkipped{FALSE};

    friend class CTransformInputPin;
    friend class CTransformOutputPin;

private:
    bool CreatePins();
};
