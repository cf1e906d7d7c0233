#pragma once
// The filter between the platform tests' source and sink, as a host connects it, and an
// in-memory stream for persistence.

#include "PluginBase/DirectX/DXPlugin.h"
#include "tests/platform/GraphTestSupport.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace FilterTest {

using GraphTest::AudioType;
using GraphTest::Com;
using GraphTest::Make;

// What the source stamps on a sample; no time when none is given.
struct Stamp {
    std::optional<REFERENCE_TIME> start = std::nullopt;
    bool syncPoint = true;
    bool discontinuity = false;
};

template <class T> std::vector<BYTE> BytesOf(const std::vector<T>& values) {
    std::vector<BYTE> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

// Source → filter → sink; stopped and disconnected at the end.
class FilterGraph {
public:
    ~FilterGraph() {
        Stop();
        for (CBaseFilter* each : Filters())
            for (int i = 0; i < each->GetPinCount(); ++i)
                each->GetPin(i)->Disconnect();
    }
    std::vector<CBaseFilter*> Filters() { return {sink.get(), filter.get(), source.get()}; }

    HRESULT Connect(const CMediaType& type) {
        source->pin.offered = {type};
        HRESULT hr = source->pin.Connect(filter->GetPin(0), &type);
        return FAILED(hr) ? hr : filter->GetPin(1)->Connect(&sink->pin, nullptr);
    }
    HRESULT Run() {
        for (CBaseFilter* each : Filters())
            if (HRESULT hr = each->Run(0); FAILED(hr)) return hr;
        return S_OK;
    }
    void Stop() {
        for (CBaseFilter* each : Filters())
            each->Stop();
    }
    HRESULT Push(const std::vector<BYTE>& bytes, Stamp stamp = {}) {
        IMediaSample* sample = nullptr;
        HRESULT hr = source->pin.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        sample->SetActualDataLength(LONG(bytes.size()));
        if (stamp.start) sample->SetTime(&*stamp.start, nullptr);
        sample->SetSyncPoint(stamp.syncPoint);
        sample->SetDiscontinuity(stamp.discontinuity);
        hr = source->pin.Deliver(sample);
        sample->Release();
        return hr;
    }
    const std::vector<GraphTest::Received>& Received() const { return sink->pin.samples; }
    template <class T> std::vector<T> ReceivedValues() const {
        std::vector<BYTE> bytes;
        for (const GraphTest::Received& each : Received())
            bytes.insert(bytes.end(), each.bytes.begin(), each.bytes.end());
        std::vector<T> values(bytes.size() / sizeof(T));
        std::memcpy(values.data(), bytes.data(), values.size() * sizeof(T));
        return values;
    }

    Com<GraphTest::TestSource> source = Make<GraphTest::TestSource>();
    Com<DXPlugin> filter = Make<DXPlugin>(nullptr);
    Com<GraphTest::TestSink> sink = Make<GraphTest::TestSink>();
};

// A stream in memory that counts its reads; writes stop at `limit` bytes.
class MemoryStream final : public IStream {
public:
    explicit MemoryStream(std::vector<BYTE> bytes = {}) : bytes(std::move(bytes)) {}

    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(void* into, ULONG size, ULONG* read) override {
        ++reads;
        *read = ULONG(std::min<std::size_t>(size, bytes.size() - position));
        if (*read != 0) std::memcpy(into, bytes.data() + position, *read);
        position += *read;
        return *read == size ? S_OK : S_FALSE;
    }
    STDMETHODIMP Write(const void* from, ULONG size, ULONG* written) override {
        *written = ULONG(std::min<std::size_t>(size, limit - position));
        bytes.resize(std::max(bytes.size(), position + *written));
        std::memcpy(bytes.data() + position, from, *written);
        position += *written;
        return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    std::vector<BYTE> bytes;
    std::size_t position = 0;
    std::size_t limit = SIZE_MAX;
    int reads = 0;
};

} // namespace FilterTest
