#pragma once
// The filter's identity: its class identifier, its name and the private interface
// through which the plug-in's own code recognises a filter instance.

#include "platform/DirectShow.h"

namespace DX {

inline constexpr CLSID CLSID_DXPlugin{
    0xa0c640f5, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};

// The class identifier with 1 added to its first field.
inline constexpr IID IID_IDXPlugin{
    0xa0c640f6, 0x2c3b, 0x4606, {0x98, 0x99, 0xca, 0x1e, 0x75, 0x03, 0x72, 0x9e}};

inline constexpr const char* filterName = "Quillon Sonavel";
inline constexpr const WCHAR* filterWideName = L"Quillon Sonavel";

} // namespace DX

// Answered by every filter instance; it adds nothing to IUnknown.
struct IDXPlugin : public IUnknown {};
