// Runs the filter in a real DirectShow host: Wine's filter graph manager, its file
// source and WAVE parser, and a recording renderer of our own. Called by
// run-wine-test.sh after regsvr32 has registered the DLL:
//   wine_host_test registered MODULE
//   wine_host_test unregistered
//   wine_host_test persist PROFILE
//   wine_host_test graph PROFILE INPUT.wav EXPECTED.wav
// Prints one line per check and exits non-zero when any check fails.

#include "tests/windows/RecordingSink.h"
#include "tests/windows/WaveSource.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <initguid.h>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

// {A0C640F5-2C3B-4606-9899-CA1E7503729E}
const CLSID filterClass = {
    0xa0c640f5, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};
// {D51BD5A1-7548-11CF-A520-0080C77EF58A}
const CLSID waveParserClass = {
    0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};
const wchar_t* classKey = L"CLSID\\{A0C640F5-2C3B-4606-9899-CA1E7503729E}";
const wchar_t* filterName = L"Quillon Sonavel";

int failures = 0;

void Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "pass" : "FAIL", what.c_str());
    if (!ok) ++failures;
}

std::wstring Wide(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(size_t(length - 1));
    return wide;
}

std::vector<BYTE> ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// A value of a key under HKEY_CLASSES_ROOT; empty when missing.
std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    LONG result =
        RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size);
    return result == ERROR_SUCCESS ? data : L"";
}

bool EndsWithNoCase(const std::wstring& text, const std::wstring& end) {
    return text.size() >= end.size() &&
           _wcsicmp(text.c_str() + text.size() - end.size(), end.c_str()) == 0;
}

// Whether the filter mapper offers our filter for audio in and audio out, and its merit.
bool MapperListsFilter(DWORD& merit) {
    IFilterMapper2* mapper = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFilterMapper2, reinterpret_cast<void**>(&mapper))))
        return false;
    GUID audio[2] = {MEDIATYPE_Audio, GUID_NULL};
    IEnumMoniker* monikers = nullptr;
    HRESULT result = mapper->EnumMatchingFilters(&monikers, 0, TRUE, 0, TRUE, 1, audio, nullptr,
                                                 nullptr, FALSE, TRUE, 1, audio, nullptr, nullptr);
    mapper->Release();
    bool found = false;
    IMoniker* moniker = nullptr;
    while (SUCCEEDED(result) && !found && monikers->Next(1, &moniker, nullptr) == S_OK) {
        IPropertyBag* bag = nullptr;
        if (SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag,
                                             reinterpret_cast<void**>(&bag)))) {
            VARIANT name;
            VariantInit(&name);
            found = SUCCEEDED(bag->Read(L"FriendlyName", &name, nullptr)) &&
                    std::wstring(name.bstrVal) == filterName;
            VariantClear(&name);
            VARIANT data;
            VariantInit(&data);
            if (found && SUCCEEDED(bag->Read(L"FilterData", &data, nullptr))) {
                // A registered filter's data starts with version, merit and pin count.
                const DWORD* header = static_cast<const DWORD*>(data.parray->pvData);
                merit = header[1];
                found = header[2] == 2;
            }
            VariantClear(&data);
            bag->Release();
        }
        moniker->Release();
    }
    if (monikers != nullptr) monikers->Release();
    return found;
}

void CheckRegistered(const char* module) {
    Check(ClassesValue(classKey, nullptr) == filterName, "class key names the filter");
    std::wstring server = std::wstring(classKey) + L"\\InprocServer32";
    std::wstring path = ClassesValue(server, nullptr);
    std::wstring file = Wide(module);
    file = file.substr(file.find_last_of(L"\\/") + 1);
    Check(EndsWithNoCase(path, file), "InprocServer32 holds the module path");
    Check(ClassesValue(server, L"ThreadingModel") == L"Both", "ThreadingModel is Both");
    DWORD merit = 0;
    bool listed = MapperListsFilter(merit);
    Check(listed, "filter mapper lists \"Quillon Sonavel\" with two audio pins");
    Check(merit == 0x00200000, "merit is 0x00200000");
}

void CheckUnregistered() {
    HKEY key = nullptr;
    bool gone = RegOpenKeyExW(HKEY_CLASSES_ROOT, classKey, 0, KEY_READ, &key) != ERROR_SUCCESS;
    if (!gone) RegCloseKey(key);
    Check(gone, "class key removed");
    DWORD merit = 0;
    Check(!MapperListsFilter(merit), "filter mapper no longer lists the filter");
}

template <class I> I* Query(IUnknown* object, REFIID iid) {
    I* result = nullptr;
    object->QueryInterface(iid, reinterpret_cast<void**>(&result));
    return result;
}

IBaseFilter* CreateFilter(REFCLSID clsid) {
    IBaseFilter* filter = nullptr;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&filter));
    return filter;
}

bool LoadState(IBaseFilter* filter, const std::vector<BYTE>& state) {
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream))) return false;
    ULONG written = 0;
    stream->Write(state.data(), ULONG(state.size()), &written);
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    IPersistStream* persist = Query<IPersistStream>(filter, IID_IPersistStream);
    HRESULT result = persist != nullptr ? persist->Load(stream) : E_NOINTERFACE;
    if (persist != nullptr) persist->Release();
    stream->Release();
    return result == S_OK;
}

std::vector<BYTE> SaveState(IBaseFilter* filter) {
    std::vector<BYTE> bytes;
    IStream* stream = nullptr;
    IPersistStream* persist = Query<IPersistStream>(filter, IID_IPersistStream);
    if (persist != nullptr && SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
        persist->Save(stream, TRUE) == S_OK) {
        STATSTG stat{};
        stream->Stat(&stat, STATFLAG_NONAME);
        bytes.resize(size_t(stat.cbSize.QuadPart));
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        stream->Read(bytes.data(), ULONG(bytes.size()), &read);
    }
    if (stream != nullptr) stream->Release();
    if (persist != nullptr) persist->Release();
    return bytes;
}

void CheckPersistence(const char* profilePath) {
    std::vector<BYTE> profile = ReadFile(profilePath);
    IBaseFilter* filter = CreateFilter(filterClass);
    Check(filter != nullptr, "CoCreateInstance creates the filter");
    if (filter == nullptr) return;
    IMediaParams* params = Query<IMediaParams>(filter, IID_IMediaParams);
    IMediaParamInfo* info = Query<IMediaParamInfo>(filter, IID_IMediaParamInfo);
    DWORD count = 0;
    Check(info != nullptr && info->GetParamCount(&count) == S_OK && count == 7,
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
    if (params != nullptr) params->GetParam(0, &before);
    Check(LoadState(filter, profile), "IPersistStream loads a profile saved by sonavel train");
    if (params != nullptr) params->GetParam(0, &after);
    Check(before == 0.25f && after != before, "loading the profile changes the parameters");
    Check(SaveState(filter) == profile, "state saved through IPersistStream equals the profile");
    if (params != nullptr) params->Release();
    if (info != nullptr) info->Release();
    filter->Release();
}

struct Graph {
    IGraphBuilder* builder = nullptr;
    IBaseFilter* source = nullptr;
    IBaseFilter* parser = nullptr;
    IBaseFilter* filter = nullptr;
    RecordingSink* sink = nullptr;

    ~Graph() {
        for (IUnknown* object : {static_cast<IUnknown*>(builder), static_cast<IUnknown*>(source),
                                 static_cast<IUnknown*>(parser), static_cast<IUnknown*>(filter)})
            if (object != nullptr) object->Release();
        if (sink != nullptr) sink->Release();
    }
};

IPin* FindPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    IEnumPins* pins = nullptr;
    IPin* pin = nullptr;
    if (FAILED(filter->EnumPins(&pins))) return nullptr;
    while (pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION direction;
        pin->QueryDirection(&direction);
        if (direction == wanted) break;
        pin->Release();
        pin = nullptr;
    }
    pins->Release();
    return pin;
}

// The sample frames of a WAV file written by the command line: its format and data.
bool ReadWave(const std::vector<BYTE>& file, WAVEFORMATEX& format, std::vector<BYTE>& data) {
    size_t position = 12;
    bool haveFormat = false;
    while (position + 8 <= file.size()) {
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
    IPin* out = FindPin(from, PINDIR_OUTPUT);
    IPin* in = FindPin(to, PINDIR_INPUT);
    HRESULT result =
        out != nullptr && in != nullptr ? builder->ConnectDirect(out, in, nullptr) : E_POINTER;
    if (out != nullptr) out->Release();
    if (in != nullptr) in->Release();
    return result;
}

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(result));
    return text;
}

// The upstream part of the graph: Wine's file source and WAVE parser, or, for float,
// which the parser offers only as WAVE_FORMAT_EXTENSIBLE, a source of the test's own.
bool AddUpstream(Graph& graph, const char* input, std::vector<IBaseFilter*>& chain) {
    WAVEFORMATEX format{};
    std::vector<BYTE> data;
    if (!ReadWave(ReadFile(input), format, data)) return false;
    if (format.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        graph.source = new WaveSource(format, std::move(data));
        graph.source->AddRef();
        chain.push_back(graph.source);
        return true;
    }
    graph.source = CreateFilter(CLSID_AsyncReader);
    graph.parser = CreateFilter(waveParserClass);
    IFileSourceFilter* file =
        graph.source ? Query<IFileSourceFilter>(graph.source, IID_IFileSourceFilter) : nullptr;
    bool loaded = file != nullptr && file->Load(Wide(input).c_str(), nullptr) == S_OK;
    if (file != nullptr) file->Release();
    chain.push_back(graph.source);
    chain.push_back(graph.parser);
    return loaded && graph.parser != nullptr;
}

// Each step is checked on its own, so a failure names the step and its result code.
bool BuildGraph(Graph& graph, const char* input, const std::string& name) {
    HRESULT result = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IGraphBuilder, reinterpret_cast<void**>(&graph.builder));
    std::vector<IBaseFilter*> chain;
    bool created = SUCCEEDED(result) && AddUpstream(graph, input, chain);
    graph.filter = CreateFilter(filterClass);
    graph.sink = new RecordingSink;
    graph.sink->AddRef();
    chain.push_back(graph.filter);
    chain.push_back(graph.sink);
    Check(created && graph.filter != nullptr, name + "source, filter and sink created");
    if (!created || graph.filter == nullptr) return false;
    for (size_t i = 0; i < chain.size() && SUCCEEDED(result); ++i)
        result = graph.builder->AddFilter(chain[i], i + 2 == chain.size() ? filterName : nullptr);
    Check(SUCCEEDED(result), name + "filters added: " + Hex(result));
    for (size_t i = 0; i + 1 < chain.size() && SUCCEEDED(result); ++i) {
        result = ConnectFilters(graph.builder, chain[i], chain[i + 1]);
        Check(SUCCEEDED(result),
              name + "connect step " + std::to_string(i + 1) + ": " + Hex(result));
    }
    return SUCCEEDED(result);
}

bool RunToCompletion(IGraphBuilder* builder, const std::string& name) {
    IMediaControl* control = Query<IMediaControl>(builder, IID_IMediaControl);
    IMediaEvent* events = Query<IMediaEvent>(builder, IID_IMediaEvent);
    HRESULT result = control != nullptr && events != nullptr ? control->Run() : E_NOINTERFACE;
    Check(SUCCEEDED(result), name + "IMediaControl::Run: " + Hex(result));
    long code = 0;
    if (SUCCEEDED(result)) result = events->WaitForCompletion(60000, &code);
    Check(result == S_OK, name + "IMediaEvent::WaitForCompletion: " + Hex(result));
    if (control != nullptr) control->Stop();
    if (control != nullptr) control->Release();
    if (events != nullptr) events->Release();
    return code == EC_COMPLETE;
}

// Largest difference between two streams of the same encoding, in integer steps or, for
// float, in full-scale units.
double LargestDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b, int bits,
                         bool isFloat) {
    int width = bits / 8;
    double largest = 0;
    for (size_t i = 0; i + size_t(width) <= a.size() && i + size_t(width) <= b.size();
         i += size_t(width)) {
        double x = 0, y = 0;
        if (isFloat) {
            float fx, fy;
            std::memcpy(&fx, &a[i], 4);
            std::memcpy(&fy, &b[i], 4);
            x = fx;
            y = fy;
        } else {
            std::int64_t ix = 0, iy = 0;
            std::memcpy(&ix, &a[i], size_t(width));
            std::memcpy(&iy, &b[i], size_t(width));
            int shift = 64 - bits;
            x = double((ix << shift) >> shift);
            y = double((iy << shift) >> shift);
        }
        largest = std::max(largest, std::fabs(x - y));
    }
    return largest;
}

void CheckGraph(const char* profilePath, const char* input, const char* expectedPath) {
    Graph graph;
    std::string name = std::string("[") + input + "] ";
    if (!BuildGraph(graph, input, name)) return;
    Check(LoadState(graph.filter, ReadFile(profilePath)), name + "profile loaded");
    Check(RunToCompletion(graph.builder, name), name + "graph runs to EC_COMPLETE");
    WAVEFORMATEX format{};
    std::vector<BYTE> expected;
    Check(ReadWave(ReadFile(expectedPath), format, expected), name + "expected output read");
    std::vector<BYTE> produced = graph.sink->Bytes();
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
    double difference =
        LargestDifference(std::vector<BYTE>(produced.begin(), produced.begin() + compared),
                          std::vector<BYTE>(expected.begin(), expected.begin() + compared),
                          format.wBitsPerSample, isFloat);
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
