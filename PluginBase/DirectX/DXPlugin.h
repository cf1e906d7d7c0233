#pragma once
// The DirectShow face of the plug-in: one audio transform filter with an input and an
// output pin that agree on one uncompressed format (integer PCM, or IEEE float of 32 or
// 64 bits; one or two channels). Each input sample is converted to planar float, run
// through the plug-in core and delivered downstream in as many output samples as it
// takes, with the input's times moved back by what delay compensation withheld; end of
// stream delivers the withheld tail. Beside the filter it offers stream persistence,
// one built-in preset, the media-parameter automation interfaces and the MFX soft-synth
// interface.
//
// Threads: Receive and EndOfStream run on the upstream streaming thread; connections
// and state changes on the graph's thread; automation, persistence, presets and MFX on
// host control threads. "DXPlugin::AutoBroadcast" guards the host's automation callback,
// the transport fields and name-list creation.

#include "PluginBase/DirectX/HostParams.h"
#include "PluginBase/DirectX/Identifiers.h"
#include "PluginBase/DirectX/MfxHost.h"
#include "Util/NamedLock.h"
#include "core/Plugin.h"
#include "core/SampleConverter.h"
#include "platform/dshow/BaseClasses.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <thread>
#include <vector>

class CPluginInputPin;

namespace DX {

// Where the host transport stands, in frames at the input sample rate.
struct TransportState {
    bool running = false;
    // The host looped since its start: the position is the host's, not the time stamps'.
    bool externalPosition = false;
    std::uint64_t start = 0;
    std::uint64_t sampleCounter = 0;
    std::int64_t loopCompensation = 0;
    std::uint64_t streamPosition = 0;
};

} // namespace DX

class DXPlugin : public Plugin,
                 public IDXPlugin,
                 public CTransformFilter,
                 public ISpecifyPropertyPages,
                 public IPersistStream,
                 public IStaticFilterPreset,
                 public IMediaParams,
                 public IMediaParamInfo,
                 public IMediaParamsSetUICallback,
                 public IMfxSoftSynth2 {
public:
    explicit DXPlugin(LPUNKNOWN outer);
    ~DXPlugin() override;

    DECLARE_IUNKNOWN
    STDMETHODIMP NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    // Pins "Input" (0) and "Output" (1), created together on first use.
    int GetPinCount() override;
    CBasePin* GetPin(int n) override;
    const AMOVIESETUP_FILTER* GetSetupData() override;

    // Audio, not temporally compressed, a wave format of one or two channels at a
    // non-zero rate, integer PCM or IEEE float of 32 or 64 bits.
    HRESULT CheckInputType(const CMediaType* type) override;
    // Both acceptable and of the same wave format.
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
    // Twice the input's buffers, or 16384 bytes when nothing asks for a size.
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    // The one output type is the input's.
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT StartStreaming() override;
    HRESULT StopStreaming() override;
    // Takes the format's rate, channels and sample width, and picks the converters.
    HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type) override;
    // A new input format the connected output cannot carry reconnects the output.
    HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;

    // No property pages.
    STDMETHODIMP GetPages(CAUUID* pages) override;

    // Persistence: the core's saved state, as one block.
    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    // S_FALSE while the state is what the last clearing save wrote.
    STDMETHODIMP IsDirty() override;
    // Reads the 12-byte header, then exactly the rest of the block it announces.
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, WINBOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // One preset, "Default": default parameters, the learnt noise profile kept.
    STDMETHODIMP GetPresetCount(LONG* count) override;
    STDMETHODIMP GetPresetName(LONG index, WCHAR* name, LONG sizeInBytes) override;
    STDMETHODIMP SetPreset(LONG index) override;

    STDMETHODIMP GetParamCount(DWORD* count) override;
    STDMETHODIMP GetParamInfo(DWORD index, MP_PARAMINFO* info) override;
    STDMETHODIMP GetParamText(DWORD index, WCHAR** text) override;
    STDMETHODIMP GetNumTimeFormats(DWORD* count) override;
    STDMETHODIMP GetSupportedTimeFormat(DWORD index, GUID* format) override;
    STDMETHODIMP GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) override;

    // Index 0xFFFFFFFF addresses every parameter in turn, up to the first failure.
    STDMETHODIMP AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments) override;
    STDMETHODIMP FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) override;
    STDMETHODIMP GetParam(DWORD index, MP_DATA* value) override;
    STDMETHODIMP SetParam(DWORD index, MP_DATA value) override;
    // Reference time is the only format; nothing to change.
    STDMETHODIMP SetTimeFormat(GUID format, MP_TIMEDATA data) override;

    // Null unregisters.
    STDMETHODIMP SetUICallback(IMediaParamsUICallback* callback) override;

    // Takes the host's time converters and transport; releases the host once.
    STDMETHODIMP Connect(IUnknown* host) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP OnStart(LONG time) override;
    STDMETHODIMP OnLoop(LONG restartTime, LONG stopTime) override;
    STDMETHODIMP OnStop(LONG time) override;
    STDMETHODIMP Slot8(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) override;
    STDMETHODIMP Slot9(DWORD_PTR, DWORD_PTR) override;
    STDMETHODIMP Slot10(LONG* first, LONG* second) override;
    STDMETHODIMP Slot11(DWORD_PTR, DWORD_PTR) override;
    STDMETHODIMP Slot12(DWORD_PTR, DWORD_PTR) override;
    STDMETHODIMP Slot13(DWORD_PTR, DWORD_PTR) override;
    STDMETHODIMP Slot14(DWORD_PTR, DWORD_PTR, DWORD_PTR) override;
    // "Controllers" (Volume and Pan), "RPNs" and "NRPNs"; the caller owns the list.
    STDMETHODIMP GetControllerNames(IMfxNameList2** list) override;
    STDMETHODIMP GetRpnNames(IMfxNameList2** list) override;
    STDMETHODIMP GetNrpnNames(IMfxNameList2** list) override;
    STDMETHODIMP Slot18(DWORD_PTR, DWORD_PTR) override;

    // Echoes to the host's callback the moves made on the editor's thread.
    void OnParameterChanged(ChangePhase phase, DSP::Component& component, std::uint32_t index,
                            const ParamValue& value) override;
    // The editor's thread; a default id means no editor is attached.
    void SetEditorThread(std::thread::id thread) { editorThread = thread; }

    // Where the host transport stands now.
    DX::TransportState Transport();

private:
    friend class CPluginInputPin;

    // A sample property the input carried, copied to every output sample from then on.
    struct StickyFlag {
        bool valid = false;
        bool value = false;
    };

    HRESULT ProcessSample(IMediaSample& sample);
    void TakeTime(REFERENCE_TIME start);
    void TakeMediaTime(IMediaSample& sample);
    void TakeProperties(IMediaSample& sample);
    void GrowBuffers(int frames);
    // Delivers frames of the output buffers in as many samples as it takes; a failure
    // other than a decommitted allocator throws Exception::Delivery.
    void DeliverFrames(int frames);
    int DeliverSample(IMediaSample& sample, int offset, int remaining);
    void StampSample(IMediaSample& sample, int frames);
    void DeliverTail();

    void RestartStreamPosition(REFERENCE_TIME start);
    void AdvanceTransport(int frames);
    std::uint64_t HostTimeToFrames(LONG time);
    HRESULT MakeNameList(IMfxNameList2** list, const char* title, LONG maxIndex, bool controllers);
    template <class Step> HRESULT ForParams(DWORD index, Step step);
    std::int32_t AutomationHighlight();

    NamedLock autoBroadcastLock;
    // Guards savedSnapshot against two control threads.
    NamedLock snapshotLock;
    std::vector<std::uint8_t> savedSnapshot;

    std::vector<float> inLeft, inRight, outLeft, outRight;
    std::optional<SampleConverter> inputConverter, outputConverter;
    std::uint32_t inputChannels = 0;
    std::uint32_t outputChannels = 0;
    std::atomic<std::uint32_t> sampleRate{44100};
    std::uint32_t bytesPerSample = 0;

    // The streaming thread's clocks, set by the last input that carried them and advanced
    // by every output sample; the stream start itself is the core's.
    bool timeValid = false;
    bool mediaTimeValid = false;
    LONGLONG mediaStart = 0;
    StickyFlag syncPoint, preroll, discontinuity;

    // Under autoBroadcastLock.
    DX::TransportState transport;
    DX::IHostMsecConverter* hostMsecConverter = nullptr;
    DX::IHostTimeConverter* hostTimeConverter = nullptr;
    IUnknown* hostTransport = nullptr;
    IMediaParamsUICallback* uiCallback = nullptr;

    std::atomic<std::thread::id> editorThread{};
    HANDLE presenceMutex;
    DX::HostParamTable hostParams;
};
