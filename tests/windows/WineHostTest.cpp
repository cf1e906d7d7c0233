// Runs the filter in a real DirectShow host: Wine's filter graph manager, its file
// source and WAVE parser, and a recording renderer of our own. Called by
// run-wine-test.sh after regsvr32 has registered the DLL:
//   wine_host_test registered MODULE
//   wine_host_test unregistered
//   wine_host_test persist PROFILE
//   wine_host_test graph PROFILE INPUT.wav EXPECTED.wav
// Prints one line per check and exits non-zero when any check fails.

#include "tests/platform/GraphTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <evcode.h>
#include <fstream>
#include <initguid.h>
#include <iterator>
#include <string>
#include <vector>

namespace {

// {A0C640F5-2C3B-4606-9899-CA1E7503729E}
const CLSID filterClass = {
    0xa0c640f5, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};
// {D51BD5A1-7548-11CF-A520-0080C77EF58A}
const CLSID waveParserClass = {
    0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};
const std::string classKey = "CLSID\\{A0C640F5-2C3B-4606-9899-CA1E7503729E}";
const wchar_t* filterName = L"Quillon Sonavel";

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "pass" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

using GraphTest::Com;

template <class I> Com<I> Create(REFCLSID clsid, REFIID iid) {
    I* object = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&object));
    return Com<I>(object);
}

template <class I> Com<I> Query(IUnknown* object, REFIID iid) {
    I* result = nullptr;
    object->QueryInterface(iid, reinterpret_cast<void**>(&result));
    return Com<I>(result);
}

std::vector<BYTE> ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Whether the filter mapper offers our filter for audio in and audio out with two pins,
// and its merit.
bool MapperListsFilter(DWORD& merit) {
    auto mapper = Create<IFilterMapper2>(CLSID_FilterMapper2, IID_IFilterMapper2);
    GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
    IEnumMoniker* found = nullptr;
    if (!mapper ||
        FAILED(mapper->EnumMatchingFilters(&found, 0, TRUE, 0, TRUE, 1, audio, nullptr, nullptr,
                                           FALSE, TRUE, 1, audio, nullptr, nullptr)))
        return false;
    Com<IEnumMoniker> monikers(found);
    for (IMoniker* next = nullptr; monikers->Next(1, &next, nullptr) == S_OK;) {
        Com<IMoniker> moniker(next);
        IPropertyBag* bag = nullptr;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                          reinterpret_cast<void**>(&bag))))
            continue;
        Com<IPropertyBag> properties(bag);
        VARIANT name, data;
        VariantInit(&name);
        VariantInit(&data);
        bool ours = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) &&
                    std::wstring(name.bstrVal) == filterName &&
                    SUCCEEDED(bag->Read(L"FilterData", &data, nullptr));
        // A registered filter's data starts with version, merit and pin count.
        const DWORD* header = ours ? static_cast<const DWORD*>(data.parray->pvData) : nullptr;
        if (ours) merit = header[1];
        bool twoPins = ours && header[2] == 2;
        VariantClear(&name);
        VariantClear(&data);
        if (ours) return twoPins;
    }
    return false;
}

void CheckRegistered(const char* module) {
    using GraphTest::RegistryValue;
    Check(RegistryValue(classKey, nullptr) == "Quillon Sonavel", "class key names the filter");
    const std::string server = classKey + "\\InprocServer32", path = RegistryValue(server, nullptr);
    std::string file = module;
    file = file.substr(file.find_last_of("\\/") + 1);
    Check(path.size() >= file.size() &&
              _stricmp(path.c_str() + path.size() - file.size(), file.c_str()) == 0,
          "InprocServer32 holds the module path");
    Check(RegistryValue(server, "ThreadingModel") == "Both", "ThreadingModel is Both");
    DWORD merit = 0;
    Check(MapperListsFilter(merit), "filter mapper lists \"Quillon Sonavel\" with two audio pins");
    Check(merit == 0x00200000, "merit is 0x00200000");
}

void CheckUnregistered() {
    Check(GraphTest::RegistryValue(classKey, nullptr) == "<none>", "class key removed");
    DWORD merit = 0;
    Check(!MapperListsFilter(merit), "filter mapper no longer lists the filter");
}

// A stream in memory that holds `bytes` and reads from their start.
Com<IStream> StreamOf(const std::vector<BYTE>& bytes) {
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    stream->Write(bytes.data(), ULONG(bytes.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return Com<IStream>(stream);
}

bool LoadState(IBaseFilter* filter, const std::vector<BYTE>& state) {
    auto persist = Query<IPersistStream>(filter, IID_IPersistStream);
    return persist && persist->Load(StreamOf(state).get()) == S_OK;
}

std::vector<BYTE> SaveState(IBaseFilter* filter) {
    auto persist = Query<IPersistStream>(filter, IID_IPersistStream);
    Com<IStream> stream = StreamOf({});
    if (!persist || persist->Save(stream.get(), TRUE) != S_OK) return {};
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::vector<BYTE> bytes(size_t(stat.cbSize.QuadPart));
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), ULONG(bytes.size()), &read);
    return bytes;
}

void CheckPersistence(const char* profilePath) {
    std::vector<BYTE> profile = ReadFile(profilePath);
    auto filter = Create<IBaseFilter>(filterClass, IID_IBaseFilter);
    Check(filter != nullptr, "CoCreateInstance creates the filter");
    if (!filter) return;
    auto params = Query<IMediaParams>(filter.get(), IID_IMediaParams);
    auto info = Query<IMediaParamInfo>(filter.get(), IID_IMediaParamInfo);
    DWORD count = 0;
    Check(info && info->GetParamCount(&count) == S_OK && count == 7,
          "IMediaParamInfo reports seven parameters");
    bool roundTrips = params != nullptr;
    for (DWORD i = 0; roundTrips && i < 7; ++i) {
        MP_DATA value = i < 3 ? 0.25f : 1.0f;
        MP_DATA back = -1;
        roundTrips = params->SetParam(i, value) == S_OK && params->GetParam(i, &back) == S_OK &&
                     back == value;
    }
    Check(roundTrips, "IMediaParams sets and reads the seven parameters");
    MP_DATA before = -1, after = -1;
    if (params) params->GetParam(0, &before);
    Check(LoadState(filter.get(), profile),
          "IPersistStream loads a profile saved by sonavel train");
    if (params) params->GetParam(0, &after);
    Check(before == 0.25f && after != before, "loading the profile changes the parameters");
    Check(SaveState(filter.get()) == profile,
          "state saved through IPersistStream equals the profile");
}

// Keeps every sample that reaches it, as the platform tests' sink does, and tells the
// graph when the stream has ended, as a real renderer does.
class RecordingPin : public GraphTest::SinkPin {
public:
    using SinkPin::SinkPin;
    STDMETHODIMP EndOfStream() override {
        IMediaEventSink* events = nullptr;
        IFilterGraph* graph = m_pFilter->GetFilterGraph();
        if (graph != nullptr && SUCCEEDED(graph->QueryInterface(
                                    IID_IMediaEventSink, reinterpret_cast<void**>(&events)))) {
            events->Notify(EC_COMPLETE, S_OK,
                           reinterpret_cast<LONG_PTR>(static_cast<IBaseFilter*>(m_pFilter)));
            events->Release();
        }
        return S_OK;
    }
};

// Wine's Null Renderer keeps nothing, so the graph ends in a renderer of the test's own.
class RecordingSink : public CBaseFilter, public IAMFilterMiscFlags {
public:
    RecordingSink() : CBaseFilter("Recording sink", nullptr, &lock, GUID_NULL) {}

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IAMFilterMiscFlags)
            return GetInterface(static_cast<IAMFilterMiscFlags*>(this), ppv);
        return CBaseFilter::NonDelegatingQueryInterface(riid, ppv);
    }
    // Marks the filter as a renderer: the graph waits for its end of stream.
    STDMETHODIMP_(ULONG) GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int n) override { return n == 0 ? &pin : nullptr; }

    CCritSec lock;
    RecordingPin pin{this, &lock};
};

// Released in reverse order: the graph first, then the filters it held.
struct Graph {
    Com<RecordingSink> sink;
    Com<IBaseFilter> filter, parser, source;
    Com<IGraphBuilder> builder;
    // The test's own source, which the test plays itself, and what it plays.
    GraphTest::TestSource* played = nullptr;
    WAVEFORMATEX format{};
    std::vector<BYTE> data;
};

Com<IPin> FindPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* found = nullptr;
    if (FAILED(filter->EnumPins(&found))) return nullptr;
    Com<IEnumPins> pins(found);
    for (IPin* next = nullptr; pins->Next(1, &next, nullptr) == S_OK;) {
        Com<IPin> pin(next);
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
    return nullptr;
}

// The sample frames of a WAV file written by the command line: its format and data.
bool ReadWave(const std::vector<BYTE>& file, WAVEFORMATEX& format, std::vector<BYTE>& data) {
    bool haveFormat = false;
    for (size_t position = 12; position + 8 <= file.size();) {
        DWORD size;
        std::memcpy(&size, &file[position + 4], 4);
        const BYTE* body = &file[position + 8];
        if (std::memcmp(&file[position], "fmt ", 4) == 0) {
            std::memcpy(&format, body, sizeof(WAVEFORMATEX) - sizeof(WORD));
            haveFormat = true;
        } else if (std::memcmp(&file[position], "data", 4) == 0) {
            data.assign(body, body + std::min<size_t>(size, file.size() - position - 8));
            return haveFormat;
        }
        position += 8 + size + (size & 1);
    }
    return false;
}

HRESULT ConnectFilters(IGraphBuilder* builder, IBaseFilter* from, IBaseFilter* to) {
    Com<IPin> out = FindPin(from, PINDIR_OUTPUT), in = FindPin(to, PINDIR_INPUT);
    return out && in ? builder->ConnectDirect(out.get(), in.get(), nullptr) : E_POINTER;
}

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// The upstream part of the graph: Wine's file source and WAVE parser, or, for float,
// which the parser offers only as WAVE_FORMAT_EXTENSIBLE, a source of the test's own.
bool AddUpstream(Graph& graph, const char* input, std::vector<IBaseFilter*>& chain) {
    if (!ReadWave(ReadFile(input), graph.format, graph.data)) return false;
    const WAVEFORMATEX& format = graph.format;
    if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        auto source = GraphTest::Make<GraphTest::TestSource>();
        source->pin.offered = {GraphTest::AudioType(format.wFormatTag, format.nChannels,
                                                    format.nSamplesPerSec, format.wBitsPerSample)};
        graph.played = source.get();
        graph.source.reset(source.release());
        chain.push_back(graph.source.get());
        return true;
    }
    graph.source = Create<IBaseFilter>(CLSID_AsyncReader, IID_IBaseFilter);
    graph.parser = Create<IBaseFilter>(waveParserClass, IID_IBaseFilter);
    auto file = graph.source ? Query<IFileSourceFilter>(graph.source.get(), IID_IFileSourceFilter)
                             : nullptr;
    chain.push_back(graph.source.get());
    chain.push_back(graph.parser.get());
    return file &&
           file->Load(std::wstring(input, input + std::strlen(input)).c_str(), nullptr) == S_OK &&
           graph.parser;
}

// Each step is checked on its own, so a failure names the step and its result code.
bool BuildGraph(Graph& graph, const char* input, const std::string& name) {
    graph.builder = Create<IGraphBuilder>(CLSID_FilterGraph, IID_IGraphBuilder);
    std::vector<IBaseFilter*> chain;
    bool created = graph.builder && AddUpstream(graph, input, chain);
    graph.filter = Create<IBaseFilter>(filterClass, IID_IBaseFilter);
    graph.sink = GraphTest::Make<RecordingSink>();
    chain.push_back(graph.filter.get());
    chain.push_back(graph.sink.get());
    Check(created && graph.filter, name + "source, filter and sink created");
    if (!created || !graph.filter) return false;
    HRESULT result = S_OK;
    for (size_t i = 0; i < chain.size() && SUCCEEDED(result); ++i)
        result = graph.builder->AddFilter(chain[i], i + 2 == chain.size() ? filterName : nullptr);
    Check(SUCCEEDED(result), name + "filters added: " + Hex(result));
    for (size_t i = 0; i + 1 < chain.size() && SUCCEEDED(result); ++i) {
        result = ConnectFilters(graph.builder.get(), chain[i], chain[i + 1]);
        Check(SUCCEEDED(result),
              name + "connect step " + std::to_string(i + 1) + ": " + Hex(result));
    }
    return SUCCEEDED(result);
}

// Plays the test's own source as its streaming thread would: buffers stamped with their
// times, then the end of the stream.
void Play(GraphTest::SourcePin& pin, const std::vector<BYTE>& data, const WAVEFORMATEX& format) {
    const size_t chunk = size_t(pin.bufferSize) / format.nBlockAlign * format.nBlockAlign;
    auto time = [&](size_t byte) {
        return REFERENCE_TIME(byte) * 10000000 / format.nAvgBytesPerSec;
    };
    for (size_t at = 0; at < data.size(); at += chunk) {
        size_t end = std::min(at + chunk, data.size());
        if (pin.Push({data.begin() + at, data.begin() + end}, {time(at), time(end)}) != S_OK)
            return;
    }
    pin.DeliverEndOfStream();
}

bool RunToCompletion(Graph& graph, const std::string& name) {
    auto control = Query<IMediaControl>(graph.builder.get(), IID_IMediaControl);
    auto events = Query<IMediaEvent>(graph.builder.get(), IID_IMediaEvent);
    HRESULT result = control && events ? control->Run() : E_NOINTERFACE;
    Check(SUCCEEDED(result), name + "IMediaControl::Run: " + Hex(result));
    if (SUCCEEDED(result) && graph.played != nullptr)
        Play(graph.played->pin, graph.data, graph.format);
    long code = 0;
    if (SUCCEEDED(result)) result = events->WaitForCompletion(60000, &code);
    Check(result == S_OK, name + "IMediaEvent::WaitForCompletion: " + Hex(result));
    if (control) control->Stop();
    return code == EC_COMPLETE;
}

// One sample of a stream: integer steps, or for float full-scale units.
double SampleAt(const BYTE* at, int bits, bool isFloat) {
    float real = 0;
    std::int64_t whole = 0; // sign-extended from its top bit
    std::memcpy(isFloat ? static_cast<void*>(&real) : &whole, at, size_t(bits / 8));
    return isFloat ? real : double((whole << (64 - bits)) >> (64 - bits));
}

void CheckGraph(const char* profilePath, const char* input, const char* expectedPath) {
    Graph graph;
    std::string name = std::string("[") + input + "] ";
    if (!BuildGraph(graph, input, name)) return;
    Check(LoadState(graph.filter.get(), ReadFile(profilePath)), name + "profile loaded");
    Check(RunToCompletion(graph, name), name + "graph runs to EC_COMPLETE");
    WAVEFORMATEX format{};
    std::vector<BYTE> expected;
    Check(ReadWave(ReadFile(expectedPath), format, expected), name + "expected output read");
    std::vector<BYTE> produced;
    for (const GraphTest::Received& sample : graph.sink->pin.samples)
        produced.insert(produced.end(), sample.bytes.begin(), sample.bytes.end());
    Check(produced.size() == expected.size(),
          name + "same length: " + std::to_string(produced.size()) + " bytes, expected " +
              std::to_string(expected.size()));
    bool isFloat = format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    // sonavel restore follows a file's last frame with the continuation of its signal,
    // where the filter's stream goes on with silence; only the final frames within the
    // effect's latency (307 ms at 44.1 kHz) can differ, so the last third of a second is
    // left out.
    size_t compared = std::min(produced.size(), expected.size());
    compared -= std::min(compared, size_t(format.nSamplesPerSec / 3) * format.nBlockAlign);
    size_t width = format.wBitsPerSample / 8;
    double difference = 0;
    for (size_t i = 0; i + width <= compared; i += width)
        difference =
            std::max(difference, std::fabs(SampleAt(&produced[i], format.wBitsPerSample, isFloat) -
                                           SampleAt(&expected[i], format.wBitsPerSample, isFloat)));
    bool close = isFloat ? difference <= 1e-5 : difference <= 1;
    Check(!expected.empty() && produced.size() == expected.size() && close,
          name + "matches sonavel restore, largest difference " + std::to_string(difference));
}

} // namespace

int main(int argc, char** argv) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "registered" && argc == 3)
        CheckRegistered(argv[2]);
    else if (mode == "unregistered")
        CheckUnregistered();
    else if (mode == "persist" && argc == 3)
        CheckPersistence(argv[2]);
    else if (mode == "graph" && argc == 5)
        CheckGraph(argv[2], argv[3], argv[4]);
    else {
        std::fprintf(stderr, "usage: wine_host_test registered MODULE | unregistered | persist "
                             "PROFILE | graph PROFILE INPUT EXPECTED\n");
        return 2;
    }
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
