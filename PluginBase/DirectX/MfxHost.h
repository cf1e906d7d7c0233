#pragma once
// The host-side MFX interfaces the soft-synth face queries at Connect. Only their first
// own call is made, so each is declared up to that call.

#include "platform/DirectShow.h"

namespace DX {

// Turns a host time (the host's own units, 32-bit) into milliseconds.
struct IHostMsecConverter : public IUnknown {
    virtual LONG STDMETHODCALLTYPE TicksToMsecs(LONG ticks) = 0;
};
inline constexpr IID IID_IHostMsecConverter{
    0xff76f7c3, 0xf166, 0x11d1, {0xa8, 0xe0, 0x00, 0x00, 0xa0, 0x09, 0x0d, 0xaf}};

// A time in one of the host's formats.
struct HostTime {
    DWORD format;
    LONGLONG value;
};
inline constexpr DWORD hostTimeTicks = 3;
inline constexpr DWORD hostTimeFrames = 2;

// Converts a time record in place to another format.
struct IHostTimeConverter : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ConvertTime(HostTime* time, DWORD toFormat) = 0;
};
inline constexpr IID IID_IHostTimeConverter{
    0xff94aba0, 0x4df9, 0x4120, {0x94, 0x7d, 0x5e, 0x30, 0x3e, 0x49, 0xb8, 0x1f}};

// The host's transport; held for the filter's life, not called.
inline constexpr IID IID_IHostTransport{
    0xff76f7c4, 0xf166, 0x11d1, {0xa8, 0xe0, 0x00, 0x00, 0xa0, 0x09, 0x0d, 0xaf}};

} // namespace DX
