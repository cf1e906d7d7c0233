#pragma once
// A small graph as a host would build it: a source filter of the test's own, the filter
// under test and a sink that records what reaches it.

#include "platform/dshow/BaseClasses.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace GraphTest {

struct Releaser {
    template <class T> void operator()(T* object) const { object->Release(); }
};
template <class T> using Com = std::unique_ptr<T, Releaser>;

template <class T, class... Args> Com<T> Make(Args&&... args) {
    T* object = new T(std::forward<Args>(args)...);
    object->AddRef();
    return Com<T>(object);
}

inline CMediaType AudioType(WORD tag, WORD channels, DWORD rate, WORD bits) {
    CMediaType type;
    type.SetType(&MEDIATYPE_Audio);
    type.SetSubtype(tag == WAVE_FORMAT_PCM ? &MEDIASUBTYPE_PCM : &MEDIASUBTYPE_IEEE_FLOAT);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    WORD align = WORD(channels * bits / 8);
    WAVEFORMATEX format{tag, channels, rate, rate * align, align, bits, 0};
    type.SetFormat(reinterpret_cast<const BYTE*>(&format), sizeof(format));
    type.SetSampleSize(align);
    return type;
}

// What the source stamps on a sample: no time without a start, no end without an end.
struct Stamp {
    std::optional<REFERENCE_TIME> start = std::nullopt;
    std::optional<REFERENCE_TIME> end = std::nullopt;
    bool syncPoint = true;
    bool discontinuity = false;
};

template <class T> std::vector<BYTE> BytesOf(const std::vector<T>& values) {
    std::vector<BYTE> bytes(values.size() * sizeof(T));
    std::memcpy(bytes.data(), values.data(), bytes.size());
    return bytes;
}

class SourcePin : public CBaseOutputPin {
public:
    SourcePin(CBaseFilter* filter, CCritSec* lock)
        : CBaseOutputPin("Source pin", filter, lock, nullptr, L"Out") {}

    HRESULT CheckMediaType(const CMediaType* type) override {
        return std::find(offered.begin(), offered.end(), *type) != offered.end() ? S_OK : S_FALSE;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override {
        if (position >= int(offered.size())) return VFW_S_NO_MORE_ITEMS;
        *type = offered[size_t(position)];
        return S_OK;
    }
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override {
        request->cBuffers = std::max(request->cBuffers, LONG(2));
        request->cbBuffer = std::max(request->cbBuffer, bufferSize);
        ALLOCATOR_PROPERTIES actual;
        return allocator->SetProperties(request, &actual);
    }
    HRESULT Push(const std::vector<BYTE>& bytes, Stamp stamp = {}) {
        IMediaSample* sample = nullptr;
        HRESULT hr = GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr)) return hr;
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        sample->SetActualDataLength(LONG(bytes.size()));
        if (stamp.start) sample->SetTime(&*stamp.start, stamp.end ? &*stamp.end : nullptr);
        sample->SetSyncPoint(stamp.syncPoint);
        sample->SetDiscontinuity(stamp.discontinuity);
        hr = Deliver(sample);
        sample->Release();
        return hr;
    }

    std::vector<CMediaType> offered;
    LONG bufferSize = 4096;
};

class TestSource : public CBaseFilter {
public:
    explicit TestSource(LPUNKNOWN outer = nullptr)
        : CBaseFilter("Test source", outer, &lock, GUID_NULL) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin : nullptr; }

    CCritSec lock;
    SourcePin pin{this, &lock};
};

struct Received {
    std::vector<BYTE> bytes;
    REFERENCE_TIME start, end;
    bool syncPoint;
};

class SinkPin : public CBaseInputPin {
public:
    SinkPin(CBaseFilter* filter, CCritSec* lock)
        : CBaseInputPin("Sink pin", filter, lock, nullptr, L"In") {}

    HRESULT CheckMediaType(const CMediaType* type) override {
        return acceptAudio && *type->Type() == MEDIATYPE_Audio ? S_OK : S_FALSE;
    }
    STDMETHODIMP GetAllocator(IMemAllocator** allocator) override {
        if (offersAllocator) return CBaseInputPin::GetAllocator(allocator);
        *allocator = nullptr;
        return VFW_E_NO_ALLOCATOR;
    }
    STDMETHODIMP Receive(IMediaSample* sample) override {
        HRESULT hr = CBaseInputPin::Receive(sample);
        if (hr != S_OK) return hr;
        Received got{};
        BYTE* data = nullptr;
        sample->GetPointer(&data);
        got.bytes.assign(data, data + sample->GetActualDataLength());
        sample->GetTime(&got.start, &got.end);
        got.syncPoint = sample->IsSyncPoint() == S_OK;
        samples.push_back(got);
        return S_OK;
    }
    STDMETHODIMP EndOfStream() override {
        ++endOfStream;
        return S_OK;
    }
    STDMETHODIMP BeginFlush() override {
        ++flushes;
        return CBaseInputPin::BeginFlush();
    }

    bool acceptAudio = true;
    bool offersAllocator = true;
    // Written by the streaming thread; read after it has ended.
    std::vector<Received> samples;
    int endOfStream = 0;
    int flushes = 0;
};

class TestSink : public CBaseFilter {
public:
    TestSink() : CBaseFilter("Test sink", nullptr, &lock, GUID_NULL) {}
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin : nullptr; }

    CCritSec lock;
    SinkPin pin{this, &lock};
};

// Source → filter → sink. Stops and disconnects everything at the end, as a graph does,
// so that no pin keeps another alive.
template <class Filter> class Graph {
public:
    ~Graph() {
        Stop();
        for (CBaseFilter* each : Filters())
            for (int i = 0; i < each->GetPinCount(); ++i)
                each->GetPin(i)->Disconnect();
    }
    // Downstream first, as a graph changes the state of its filters.
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
        return source->pin.Push(bytes, stamp);
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

    Com<TestSource> source = Make<TestSource>();
    Com<Filter> filter = Make<Filter>(nullptr);
    Com<TestSink> sink = Make<TestSink>();
};

// A graph that a filter joins; it records the reconnection requests.
class FakeGraph : public IFilterGraph {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP AddFilter(IBaseFilter*, LPCWSTR) override { return E_NOTIMPL; }
    STDMETHODIMP RemoveFilter(IBaseFilter*) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFilters(IEnumFilters**) override { return E_NOTIMPL; }
    STDMETHODIMP FindFilterByName(LPCWSTR, IBaseFilter**) override { return E_NOTIMPL; }
    STDMETHODIMP ConnectDirect(IPin*, IPin*, const AM_MEDIA_TYPE*) override { return E_NOTIMPL; }
    STDMETHODIMP Reconnect(IPin* pin) override {
        reconnected = pin;
        return S_OK;
    }
    STDMETHODIMP Disconnect(IPin*) override { return E_NOTIMPL; }
    STDMETHODIMP SetDefaultSyncSource() override { return E_NOTIMPL; }

    ULONG references = 1;
    IPin* reconnected = nullptr;
};

// A value under HKEY_CLASSES_ROOT as text (a number in decimal), "<none>" without the key.
inline std::string RegistryValue(const std::string& key, const char* name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return "<none>";
    BYTE data[512] = {};
    DWORD type = 0, size = sizeof(data);
    RegQueryValueExA(opened, name, nullptr, &type, data, &size);
    RegCloseKey(opened);
    return type == REG_DWORD ? std::to_string(*reinterpret_cast<DWORD*>(data))
                             : reinterpret_cast<char*>(data);
}

} // namespace GraphTest
