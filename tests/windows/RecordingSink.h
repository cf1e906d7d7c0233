#pragma once
// A renderer of the test's own: it accepts any uncompressed audio, keeps every byte
// that reaches it, and tells the graph when the stream has ended, so that the graph's
// run completes the way it does with a real renderer.

#include "platform/dshow/BaseClasses.h"

#include <mutex>
#include <vector>

class RecordingSink;

class RecordingPin : public CBaseInputPin {
public:
    RecordingPin(RecordingSink* sink, CCritSec* lock, HRESULT* result);

    HRESULT CheckMediaType(const CMediaType* type) override;
    STDMETHODIMP Receive(IMediaSample* sample) override;
    STDMETHODIMP EndOfStream() override;

private:
    RecordingSink* sink;
};

class RecordingSink : public CBaseFilter, public IAMFilterMiscFlags {
public:
    RecordingSink();
    ~RecordingSink() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    // Marks the filter as a renderer: the graph waits for its end of stream.
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override;

    void Append(const BYTE* data, long length);
    void SignalComplete();
    std::vector<BYTE> Bytes();
    // The wave format the pin was connected with.
    WAVEFORMATEX Format();

private:
    CCritSec filterLock;
    RecordingPin pin;
    std::mutex bytesLock;
    std::vector<BYTE> bytes;
};
