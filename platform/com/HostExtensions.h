#pragma once
// Host interfaces that no system header declares, for both platforms: the media-
// parameter UI callback pair and its time format, the static preset interface and the
// MFX soft-synth and name-list extensions. Included through platform/DirectShow.h.

// 100-ns reference time, the media-parameter time format every object supports.
inline constexpr GUID GUID_TIME_REFERENCE{
    0x93ad712b, 0xdaa0, 0x4ffe, {0xbc, 0x81, 0xb0, 0xce, 0x50, 0x0f, 0xcd, 0xd9}};

// The host's listener for parameter moves made in the plug-in's own editor. The
// plug-in only calls it with what the host handed over, so no identifier is needed.
struct IMediaParamsUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParamsBeginCapture(DWORD cParams, DWORD* pdwParamIndices) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsChanged(DWORD cParams, DWORD* pdwParamIndices,
                                                    MP_DATA value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ParamsEndCapture(DWORD cParams, DWORD* pdwParamIndices) = 0;
};

struct IMediaParamsSetUICallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetUICallback(IMediaParamsUICallback* pICallback) = 0;
};
inline constexpr IID IID_IMediaParamsSetUICallback{
    0xf5011136, 0xc416, 0x48b9, {0x8c, 0x35, 0xe7, 0xc5, 0xf9, 0xaa, 0x6f, 0xdf}};

// Built-in presets a host lists by index. Name buffers are sized in bytes.
struct IStaticFilterPreset : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetPresetCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPresetName(LONG index, WCHAR* name, LONG sizeInBytes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetPreset(LONG index) = 0;
};
inline constexpr IID IID_IStaticFilterPreset{
    0x36a22460, 0x0cc9, 0x11d0, {0x85, 0x74, 0x00, 0xa0, 0xc9, 0x05, 0x39, 0x12}};

// A named list of MIDI numbers (controllers, RPNs, NRPNs) that a host shows to its
// user. Texts are narrow, sizes count characters, positions are opaque to the host.
struct IMfxNameList : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTitle(LPSTR buffer, LONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMaxIndex(LONG* maxIndex) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetName(LONG index, LPSTR buffer, LONG size) = 0;
};
inline constexpr IID IID_IMfxNameList{
    0x857f3281, 0x02a9, 0x11d2, {0xa8, 0xe0, 0x00, 0x00, 0xa0, 0x09, 0x0b, 0x97}};

struct IMfxNameList2 : public IMfxNameList {
    virtual HRESULT STDMETHODCALLTYPE GetCount(LONG* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetFirstPosition(void** position) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNext(void** position, LONG* index, LPSTR buffer,
                                              LONG size) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindName(LONG index, LPSTR buffer, LONG size) = 0;
};
inline constexpr IID IID_IMfxNameList2{
    0xbada6cf9, 0x77a5, 0x4f48, {0xb6, 0xfa, 0x66, 0x15, 0x4e, 0x4b, 0x16, 0x3b}};

// The soft-synth face a host drives: connection to the host object, transport start,
// loop and stop in host time units, and name lists. The calls named SlotN are host
// calls this effect has no use for; they keep their place in the table and take
// pointer-sized arguments, which the 64-bit calling conventions pass like any
// narrower integer or pointer.
struct IMfxSoftSynth : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Connect(IUnknown* host) = 0;
    virtual HRESULT STDMETHODCALLTYPE Disconnect() = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStart(LONG time) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnLoop(LONG restartTime, LONG stopTime) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnStop(LONG time) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot8(DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot9(DWORD_PTR, DWORD_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot10(LONG* first, LONG* second) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot11(DWORD_PTR, DWORD_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot12(DWORD_PTR, DWORD_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot13(DWORD_PTR, DWORD_PTR) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot14(DWORD_PTR, DWORD_PTR, DWORD_PTR) = 0;
};
inline constexpr IID IID_IMfxSoftSynth{
    0x6e88453f, 0x4a85, 0x4159, {0xb6, 0x58, 0x88, 0xc4, 0x3d, 0x28, 0x82, 0x87}};

struct IMfxSoftSynth2 : public IMfxSoftSynth {
    virtual HRESULT STDMETHODCALLTYPE GetControllerNames(IMfxNameList2** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRpnNames(IMfxNameList2** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNrpnNames(IMfxNameList2** list) = 0;
    virtual HRESULT STDMETHODCALLTYPE Slot18(DWORD_PTR, DWORD_PTR) = 0;
};
inline constexpr IID IID_IMfxSoftSynth2{
    0x5bbdf239, 0x3046, 0x4daa, {0x8a, 0xdd, 0x3b, 0x93, 0x73, 0x54, 0x5b, 0x74}};
