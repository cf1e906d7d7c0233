#include "PluginBase/DirectX/DXPlugin.h"

#include "PluginBase/DirectX/ComGuard.h"
#include "PluginBase/DirectX/ComServer.h"
#include "PluginBase/DirectX/PluginInputPin.h"
#include "Util/Exception.h"
#include "core/Global.h"
#include "core/TransformBase.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>

namespace {

constexpr LONGLONG unitsPerSecond = 10'000'000;
constexpr LONG unsizedBuffer = 16384;
constexpr WORD pcmTag = SampleConverter::pcmFormat;
constexpr WORD floatTag = SampleConverter::floatFormat;

// Where delivery failures say they were raised.
constexpr const char* deliverySource = "PluginBase\\DirectX\\DXPlugin";
constexpr int noBufferLine = 578;
constexpr int noPointerLine = 582;
constexpr int emptyBufferLine = 586;
constexpr int lengthLine = 650;

[[noreturn]] void RaiseDelivery(const char* message, HRESULT code, int line) {
    Exception::Delivery failure(message);
    failure.SetCode(std::uint32_t(code));
    Exception::Raise(failure, deliverySource, line);
}

struct SampleReleaser {
    void operator()(IMediaSample* sample) const { sample->Release(); }
};
using SampleHolder = std::unique_ptr<IMediaSample, SampleReleaser>;

// The fields of a format block that must hold at least the 16 bytes of a wave format.
WAVEFORMATEX WaveFormatOf(const CMediaType& type) {
    WAVEFORMATEX format{};
    std::size_t length = std::min<std::size_t>(type.FormatLength(), sizeof(format));
    if (type.Format() != nullptr) std::memcpy(&format, type.Format(), length);
    return format;
}

bool IsAcceptedEncoding(const WAVEFORMATEX& format) {
    if (format.wFormatTag == pcmTag) return true;
    return format.wFormatTag == floatTag &&
           (format.wBitsPerSample == 32 || format.wBitsPerSample == 64);
}

bool SameWaveFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
           a.nSamplesPerSec == b.nSamplesPerSec && a.nAvgBytesPerSec == b.nAvgBytesPerSec &&
           a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample;
}

// Other programs may look for a loaded plug-in through this mutex; every filter holds a
// handle, so it exists while any filter does.
HANDLE CreatePresenceMutex() {
    SharedString name = SharedString("%1%2Mutex").Arg("Quillon").Arg("QuillonSonavel");
    return CreateMutexA(nullptr, TRUE, name.Text());
}

void ReadFlag(HRESULT answer, bool& valid, bool& value) {
    if (answer != S_OK && answer != S_FALSE) return;
    valid = true;
    value = answer == S_OK;
}

} // namespace

DXPlugin::DXPlugin(LPUNKNOWN outer)
    : Plugin(0, 2), CTransformFilter(DX::filterName, outer, DX::CLSID_DXPlugin),
      autoBroadcastLock("DXPlugin::AutoBroadcast"), snapshotLock("DXPlugin::Snapshot"),
      presenceMutex(CreatePresenceMutex()), hostParams(Components()) {}

DXPlugin::~DXPlugin() {
    for (IUnknown* held : std::initializer_list<IUnknown*>{uiCallback, hostMsecConverter,
                                                           hostTimeConverter, hostTransport})
        if (held != nullptr) held->Release();
    if (presenceMutex != nullptr) CloseHandle(presenceMutex);
}

HRESULT DXPlugin::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
    if (riid == DX::IID_IDXPlugin) return GetInterface(static_cast<IDXPlugin*>(this), ppv);
    if (riid == IID_ISpecifyPropertyPages)
        return GetInterface(static_cast<ISpecifyPropertyPages*>(this), ppv);
    if (riid == IID_IPersistStream) return GetInterface(static_cast<IPersistStream*>(this), ppv);
    if (riid == IID_IStaticFilterPreset)
        return GetInterface(static_cast<IStaticFilterPreset*>(this), ppv);
    if (riid == IID_IMediaParams) return GetInterface(static_cast<IMediaParams*>(this), ppv);
    if (riid == IID_IMediaParamInfo) return GetInterface(static_cast<IMediaParamInfo*>(this), ppv);
    if (riid == IID_IMediaParamsSetUICallback)
        return GetInterface(static_cast<IMediaParamsSetUICallback*>(this), ppv);
    if (riid == IID_IMfxSoftSynth || riid == IID_IMfxSoftSynth2)
        return GetInterface(static_cast<IMfxSoftSynth2*>(this), ppv);
    return CTransformFilter::NonDelegatingQueryInterface(riid, ppv);
}

int DXPlugin::GetPinCount() {
    return 2;
}

CBasePin* DXPlugin::GetPin(int n) {
    if (m_pInput == nullptr || m_pOutput == nullptr) {
        HRESULT hr = S_OK;
        if (m_pInput == nullptr) m_pInput = new (std::nothrow) CPluginInputPin(this, &hr);
        if (m_pOutput == nullptr && m_pInput != nullptr && SUCCEEDED(hr))
            m_pOutput =
                new (std::nothrow) CTransformOutputPin("Plugin output pin", this, &hr, L"Output");
        if (m_pOutput == nullptr || FAILED(hr)) {
            delete m_pInput;
            delete m_pOutput;
            m_pInput = nullptr;
            m_pOutput = nullptr;
        }
    }
    if (n == 0) return m_pInput;
    return n == 1 ? m_pOutput : nullptr;
}

const AMOVIESETUP_FILTER* DXPlugin::GetSetupData() {
    return &DX::filterSetup;
}

HRESULT DXPlugin::CheckInputType(const CMediaType* type) {
    if (*type->Type() != MEDIATYPE_Audio || type->IsTemporalCompressed() ||
        type->FormatLength() < 16 || type->Format() == nullptr)
        return E_INVALIDARG;
    WAVEFORMATEX format = WaveFormatOf(*type);
    bool usable = (format.nChannels == 1 || format.nChannels == 2) && format.nSamplesPerSec != 0 &&
                  IsAcceptedEncoding(format);
    return usable ? S_OK : E_INVALIDARG;
}

HRESULT DXPlugin::CheckTransform(const CMediaType* in, const CMediaType* out) {
    if (CheckInputType(in) != S_OK || CheckInputType(out) != S_OK) return E_INVALIDARG;
    return SameWaveFormat(WaveFormatOf(*in), WaveFormatOf(*out)) ? S_OK : E_INVALIDARG;
}

HRESULT DXPlugin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
    IMemAllocator* upstream =
        m_pInput != nullptr && m_pInput->IsConnected() ? m_pInput->PeekAllocator() : nullptr;
    if (upstream != nullptr) upstream->GetProperties(request);
    request->cbBuffer = request->cbBuffer == 0 ? unsizedBuffer : 2 * request->cbBuffer;
    ALLOCATOR_PROPERTIES granted{};
    HRESULT hr = allocator->SetProperties(request, &granted);
    if (FAILED(hr)) return hr;
    *request = granted;
    return granted.cbBuffer > 0 ? S_OK : E_FAIL;
}

HRESULT DXPlugin::GetMediaType(int position, CMediaType* type) {
    if (m_pInput == nullptr || !m_pInput->IsConnected()) return E_UNEXPECTED;
    if (position < 0) return E_INVALIDARG;
    if (position > 0) return VFW_S_NO_MORE_ITEMS;
    return type->Set(m_pInput->CurrentMediaType());
}

HRESULT DXPlugin::StartStreaming() {
    return DX::Guarded([&] {
        Plugin::StartStreaming(sampleRate);
        return S_OK;
    });
}

HRESULT DXPlugin::StopStreaming() {
    return DX::Guarded([&] {
        Plugin::StopStreaming();
        return S_OK;
    });
}

HRESULT DXPlugin::SetMediaType(PIN_DIRECTION direction, const CMediaType* type) {
    WAVEFORMATEX format = WaveFormatOf(*type);
    std::uint32_t inputs = direction == PINDIR_INPUT ? format.nChannels : inputChannels;
    std::uint32_t outputs = direction == PINDIR_OUTPUT ? format.nChannels : outputChannels;
    // Mono output only from mono input: a mono input feeding a stereo output has the
    // core fill the right channel.
    auto input =
        SampleConverter::Create(format.wFormatTag, format.wBitsPerSample, inputs == 1 ? 1 : 2);
    auto output = SampleConverter::Create(format.wFormatTag, format.wBitsPerSample,
                                          inputs == 1 && outputs == 1 ? 1 : 2);
    if (!input || !output) return E_FAIL;
    inputChannels = inputs;
    outputChannels = outputs;
    sampleRate = format.nSamplesPerSec;
    bytesPerSample = (format.wBitsPerSample + 7u) / 8u;
    SetChannels(inputs, outputs);
    inputConverter = std::move(input);
    outputConverter = std::move(output);
    return S_OK;
}

HRESULT DXPlugin::CompleteConnect(PIN_DIRECTION direction, IPin*) {
    if (direction != PINDIR_INPUT || m_pOutput == nullptr || !m_pOutput->IsConnected()) return S_OK;
    if (CheckTransform(&m_pInput->CurrentMediaType(), &m_pOutput->CurrentMediaType()) == S_OK)
        return S_OK;
    return ReconnectPin(m_pOutput);
}

HRESULT DXPlugin::Receive(IMediaSample* sample) {
    if (m_pOutput == nullptr || inputChannels == 0 || outputChannels == 0) return E_UNEXPECTED;
    return DX::Guarded([&] { return ProcessSample(*sample); });
}

HRESULT DXPlugin::ProcessSample(IMediaSample& sample) {
    REFERENCE_TIME start = 0, end = 0;
    HRESULT timed = sample.GetTime(&start, &end);
    bool hasTime = timed == S_OK || timed == VFW_S_NO_STOP_TIME;
    if (sample.IsDiscontinuity() == S_OK && hasTime) RestartStreamPosition(start);
    BYTE* bytes = nullptr;
    HRESULT hr = sample.GetPointer(&bytes);
    if (FAILED(hr)) return hr;
    if (hasTime) TakeTime(start);
    TakeMediaTime(sample);
    TakeProperties(sample);
    if (!inputConverter) return E_UNEXPECTED;
    int frames = sample.GetActualDataLength() / int(bytesPerSample * inputChannels);
    AdvanceTransport(frames);
    if (frames == 0) return S_OK;
    GrowBuffers(frames);
    inputConverter->ToFloat(frames, bytes, inLeft.data(), inRight.data());
    int produced = Process(frames, inLeft.data(), inputChannels != 1 ? inRight.data() : nullptr,
                           outLeft.data(), outputChannels != 1 ? outRight.data() : nullptr);
    DeliverFrames(produced);
    return S_OK;
}

// Only a sample that carries a time restarts the clock; samples without one continue
// from where the output stands, so an untimed run neither resets the stages again nor
// moves the clock back twice.
void DXPlugin::TakeTime(REFERENCE_TIME start) {
    timeValid = true;
    if (start == 0) ResetState();
    SetStreamStart(CompensateTime(start));
}

// Media times move back like stream times, in the same units.
void DXPlugin::TakeMediaTime(IMediaSample& sample) {
    LONGLONG from = 0, to = 0;
    if (sample.GetMediaTime(&from, &to) != S_OK) return;
    mediaTimeValid = true;
    mediaStart = CompensateTime(from);
}

void DXPlugin::TakeProperties(IMediaSample& sample) {
    ReadFlag(sample.IsSyncPoint(), syncPoint.valid, syncPoint.value);
    ReadFlag(sample.IsPreroll(), preroll.valid, preroll.value);
    ReadFlag(sample.IsDiscontinuity(), discontinuity.valid, discontinuity.value);
}

// Room for what the core may produce from one block: with a pending tail, up to twice
// the block. New room is silent.
void DXPlugin::GrowBuffers(int frames) {
    std::size_t needed = 2 * std::size_t(frames);
    for (std::vector<float>* buffer : {&inLeft, &inRight, &outLeft, &outRight})
        if (buffer->size() < needed) buffer->resize(needed, 0.0f);
}

void DXPlugin::DeliverFrames(int frames) {
    for (int offset = 0; offset < frames;) {
        IMediaSample* raw = nullptr;
        HRESULT hr = m_pOutput->GetDeliveryBuffer(&raw, nullptr, nullptr, 0);
        if (hr == VFW_E_NOT_COMMITTED) return; // stopping: the rest is not wanted
        if (FAILED(hr)) RaiseDelivery("Can't get delivery buffer", hr, noBufferLine);
        SampleHolder sample(raw);
        offset += DeliverSample(*sample, offset, frames - offset);
    }
}

int DXPlugin::DeliverSample(IMediaSample& sample, int offset, int remaining) {
    BYTE* bytes = nullptr;
    HRESULT hr = sample.GetPointer(&bytes);
    if (FAILED(hr)) RaiseDelivery("Can't get delivery buffer pointer", hr, noPointerLine);
    int frameBytes = int(bytesPerSample * outputChannels);
    int capacity = sample.GetSize() / frameBytes;
    if (capacity <= 0) RaiseDelivery("Obtained empty delivery buffer", E_FAIL, emptyBufferLine);
    int frames = std::min(remaining, capacity);
    float* right = outputChannels != 1 ? outRight.data() + offset : nullptr;
    outputConverter->FromFloat(frames, outLeft.data() + offset, right, bytes);
    StampSample(sample, frames);
    hr = sample.SetActualDataLength(frames * frameBytes);
    if (FAILED(hr)) RaiseDelivery("Can't set actual delivery buffer data length", hr, lengthLine);
    m_pOutput->Deliver(&sample);
    return frames;
}

void DXPlugin::StampSample(IMediaSample& sample, int frames) {
    if (timeValid) {
        REFERENCE_TIME start = StreamStart();
        REFERENCE_TIME end = start + frames * unitsPerSecond / sampleRate;
        sample.SetTime(&start, &end);
        SetStreamStart(end);
    } else {
        sample.SetTime(nullptr, nullptr);
    }
    if (mediaTimeValid) {
        LONGLONG from = mediaStart;
        mediaStart += frames;
        sample.SetMediaTime(&from, &mediaStart);
    }
    if (syncPoint.valid) sample.SetSyncPoint(syncPoint.value);
    if (preroll.valid) sample.SetPreroll(preroll.value);
    if (discontinuity.valid) sample.SetDiscontinuity(discontinuity.value);
}

HRESULT DXPlugin::EndOfStream() {
    if (m_pOutput == nullptr) return S_OK;
    return DX::Guarded([&] {
        DeliverTail();
        return CTransformFilter::EndOfStream();
    });
}

// The frames delay compensation still holds back; a failed delivery loses them.
void DXPlugin::DeliverTail() {
    if (!outputConverter || !Engine().GetGlobal().GetDelayCompensation()) return;
    int tail = FlushTail(outLeft, outputChannels == 2 ? &outRight : nullptr);
    if (tail <= 0) return;
    try {
        DeliverFrames(tail);
    } catch (const Exception::Delivery&) {
        return;
    }
    AdvanceTransport(tail);
}

HRESULT DXPlugin::GetPages(CAUUID* pages) {
    if (pages == nullptr) return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return S_OK;
}
