// The MFX soft-synth face: a transport listener and the controller name lists. The
// effect takes no MIDI, so the remaining calls are empty.

#include "PluginBase/DirectX/ComGuard.h"
#include "PluginBase/DirectX/DXPlugin.h"
#include "PluginBase/DirectX/StringMap.h"

#include <memory>

namespace {

constexpr LONGLONG msecPerSecond = 1000;
constexpr LONGLONG unitsPerSecond = 10'000'000;
constexpr LONG controllerCount = 128;
constexpr LONG parameterNumberCount = 16383;

template <class T> void QueryOnce(IUnknown& host, REFIID riid, T*& held) {
    if (held == nullptr && FAILED(host.QueryInterface(riid, reinterpret_cast<void**>(&held))))
        held = nullptr;
}

template <class T> void ReleaseHeld(T*& held) {
    if (held != nullptr) held->Release();
    held = nullptr;
}

} // namespace

HRESULT DXPlugin::Connect(IUnknown* host) {
    if (host == nullptr) return S_OK;
    {
        LockHolder hold(autoBroadcastLock);
        QueryOnce(*host, DX::IID_IHostMsecConverter, hostMsecConverter);
        QueryOnce(*host, DX::IID_IHostTimeConverter, hostTimeConverter);
        QueryOnce(*host, DX::IID_IHostTransport, hostTransport);
    }
    host->Release();
    return S_OK;
}

// The transport stays held until the filter goes.
HRESULT DXPlugin::Disconnect() {
    LockHolder hold(autoBroadcastLock);
    ReleaseHeld(hostMsecConverter);
    ReleaseHeld(hostTimeConverter);
    return S_OK;
}

HRESULT DXPlugin::OnStart(LONG time) {
    LockHolder hold(autoBroadcastLock);
    transport.start = HostTimeToFrames(time);
    transport.sampleCounter = 0;
    transport.loopCompensation = 0;
    transport.running = true;
    return S_OK;
}

HRESULT DXPlugin::OnLoop(LONG restartTime, LONG stopTime) {
    LockHolder hold(autoBroadcastLock);
    transport.loopCompensation +=
        std::int64_t(HostTimeToFrames(stopTime)) - std::int64_t(HostTimeToFrames(restartTime));
    transport.externalPosition = true;
    return S_OK;
}

HRESULT DXPlugin::OnStop(LONG) {
    LockHolder hold(autoBroadcastLock);
    transport.running = false;
    transport.externalPosition = false;
    return S_OK;
}

HRESULT DXPlugin::Slot8(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    LockHolder hold(autoBroadcastLock);
    return S_OK;
}

HRESULT DXPlugin::Slot9(DWORD_PTR, DWORD_PTR) {
    LockHolder hold(autoBroadcastLock);
    return S_OK;
}

HRESULT DXPlugin::Slot10(LONG* first, LONG* second) {
    if (first == nullptr || second == nullptr) return E_POINTER;
    *first = 0;
    *second = 0;
    return S_OK;
}

HRESULT DXPlugin::Slot11(DWORD_PTR, DWORD_PTR) {
    return E_FAIL;
}

HRESULT DXPlugin::Slot12(DWORD_PTR, DWORD_PTR) {
    return E_FAIL;
}

HRESULT DXPlugin::Slot13(DWORD_PTR, DWORD_PTR) {
    return E_FAIL;
}

HRESULT DXPlugin::Slot14(DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    return E_FAIL;
}

HRESULT DXPlugin::Slot18(DWORD_PTR, DWORD_PTR) {
    return E_FAIL;
}

HRESULT DXPlugin::GetControllerNames(IMfxNameList2** list) {
    return MakeNameList(list, "Controllers", controllerCount, true);
}

HRESULT DXPlugin::GetRpnNames(IMfxNameList2** list) {
    return MakeNameList(list, "RPNs", parameterNumberCount, false);
}

HRESULT DXPlugin::GetNrpnNames(IMfxNameList2** list) {
    return MakeNameList(list, "NRPNs", parameterNumberCount, false);
}

HRESULT DXPlugin::MakeNameList(IMfxNameList2** list, const char* title, LONG maxIndex,
                               bool controllers) {
    if (list == nullptr) return E_POINTER;
    *list = nullptr;
    LockHolder hold(autoBroadcastLock);
    return DX::Guarded([&] {
        auto names = std::make_unique<StringMap>(title, maxIndex);
        if (controllers) {
            names->Add(7, "Volume");
            names->Add(10, "Pan");
        }
        names->AddRef();
        *list = names.release();
        return S_OK;
    });
}

// Host time in frames at the input rate, through whichever converter the host offers;
// 0 from a host that offers none.
std::uint64_t DXPlugin::HostTimeToFrames(LONG time) {
    LockHolder hold(autoBroadcastLock);
    if (hostTimeConverter != nullptr) {
        DX::HostTime record{DX::hostTimeTicks, time};
        hostTimeConverter->ConvertTime(&record, DX::hostTimeFrames);
        return std::uint64_t(record.value);
    }
    if (hostMsecConverter != nullptr) {
        LONGLONG msec = hostMsecConverter->TicksToMsecs(time);
        return std::uint64_t(msec * LONGLONG(sampleRate.load()) / msecPerSecond);
    }
    return 0;
}

// A discontinuity puts the position where its time stamp says, unless the host looped
// and so knows the position better.
void DXPlugin::RestartStreamPosition(REFERENCE_TIME start) {
    LockHolder hold(autoBroadcastLock);
    if (transport.externalPosition) return;
    transport.streamPosition = std::uint64_t(start * LONGLONG(sampleRate.load()) / unitsPerSecond);
    transport.loopCompensation = 0;
}

void DXPlugin::AdvanceTransport(int frames) {
    LockHolder hold(autoBroadcastLock);
    transport.streamPosition += std::uint64_t(frames);
    transport.sampleCounter += std::uint64_t(frames);
}

DX::TransportState DXPlugin::Transport() {
    LockHolder hold(autoBroadcastLock);
    return transport;
}
