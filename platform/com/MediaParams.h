#pragma once
// Linux stand-ins for the DirectX media-parameter declarations: parameter descriptions,
// envelope segments in 100-ns reference time, curve codes and the two interfaces. Same
// names, method order, signatures and identifiers as the Windows header. The product
// includes it through platform/DirectShow.h or platform/Win32.h.

#include "platform/com/StrmIf.h"

using MP_DATA = float;
using MP_TIMEDATA = DWORD;
using MP_CAPS = DWORD;
using MP_FLAGS = DWORD;

enum MP_TYPE { MPT_INT = 0, MPT_FLOAT = 1, MPT_BOOL = 2, MPT_ENUM = 3, MPT_MAX = 4 };

enum MP_CURVE_TYPE {
    MP_CURVE_JUMP = 0x1,
    MP_CURVE_LINEAR = 0x2,
    MP_CURVE_SQUARE = 0x4,
    MP_CURVE_INVSQUARE = 0x8,
    MP_CURVE_SINE = 0x10
};
#define MP_CAPS_CURVE_JUMP (MP_CURVE_JUMP)
#define MP_CAPS_CURVE_LINEAR (MP_CURVE_LINEAR)
#define MP_CAPS_CURVE_SQUARE (MP_CURVE_SQUARE)
#define MP_CAPS_CURVE_INVSQUARE (MP_CURVE_INVSQUARE)
#define MP_CAPS_CURVE_SINE (MP_CURVE_SINE)

struct MP_PARAMINFO {
    MP_TYPE mpType;
    MP_CAPS mopCaps;
    MP_DATA mpdMinValue;
    MP_DATA mpdMaxValue;
    MP_DATA mpdNeutralValue;
    WCHAR szUnitText[32];
    WCHAR szLabel[32];
};

struct MP_ENVELOPE_SEGMENT {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    MP_DATA valStart;
    MP_DATA valEnd;
    MP_CURVE_TYPE iCurve;
    MP_FLAGS flags;
};

struct IMediaParams : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddEnvelope(DWORD dwParamIndex, DWORD cPoints,
                                                  MP_ENVELOPE_SEGMENT* pEnvelope) = 0;
    virtual HRESULT STDMETHODCALLTYPE FlushEnvelope(DWORD dwParamIndex, REFERENCE_TIME refTimeStart,
                                                    REFERENCE_TIME refTimeEnd) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParam(DWORD dwParamIndex, MP_DATA* pValue) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetParam(DWORD dwParamIndex, MP_DATA value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTimeFormat(GUID guidTimeFormat,
                                                    MP_TIMEDATA mpTimeData) = 0;
};

struct IMediaParamInfo : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetParamCount(DWORD* pdwParams) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParamInfo(DWORD dwParamIndex, MP_PARAMINFO* pInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetParamText(DWORD dwParamIndex, WCHAR** ppwchText) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNumTimeFormats(DWORD* pdwNumTimeFormats) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSupportedTimeFormat(DWORD dwFormatIndex,
                                                             GUID* pguidTimeFormat) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCurrentTimeFormat(GUID* pguidTimeFormat,
                                                           MP_TIMEDATA* pTimeData) = 0;
};

inline constexpr IID IID_IMediaParams{
    0x6d6cbb61, 0xa223, 0x44aa, {0x84, 0x2f, 0xa2, 0xf0, 0x67, 0x50, 0xbe, 0x6e}};
inline constexpr IID IID_IMediaParamInfo{
    0x6d6cbb60, 0xa223, 0x44aa, {0x84, 0x2f, 0xa2, 0xf0, 0x67, 0x50, 0xbe, 0x6d}};
