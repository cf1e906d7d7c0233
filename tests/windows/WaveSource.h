#pragma once
// A push source of the test's own for formats that Wine's WAVE parser offers only as
// WAVE_FORMAT_EXTENSIBLE, which the filter does not take: it plays a wave format and its
// sample bytes in buffers of a tenth of a second, stamped with their times, then ends
// the stream.

#include "platform/dshow/BaseClasses.h"

#include <atomic>
#include <thread>
#include <vector>

class WaveSource;

class WaveSourcePin : public CBaseOutputPin {
public:
    WaveSourcePin(WaveSource* source, CCritSec* lock, HRESULT* result);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT Inactive() override;

private:
    void Push();

    WaveSource* source;
    std::thread pusher;
    std::atomic<bool> stopping{false};
};

class WaveSource : public CBaseFilter {
public:
    WaveSource(const WAVEFORMATEX& format, std::vector<BYTE> data);
    ~WaveSource() override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin : nullptr; }

    const WAVEFORMATEX format;
    const std::vector<BYTE> data;

private:
    CCritSec filterLock;
    WaveSourcePin pin;
};
