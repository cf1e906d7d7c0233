#pragma once
// Texts across COM: wide texts handed out in task memory, and the narrow forms the
// registry calls take.

#include "platform/DirectShow.h"

#include <string>

// A copy of `text` in task memory, which the caller frees with CoTaskMemFree.
HRESULT AMGetWideString(LPCWSTR text, LPWSTR* copy);

namespace DShow {

// ASCII characters pass; any other becomes '?'. Every name this system registers is
// ASCII, and the narrow registry calls would read anything else in the code page.
std::string NarrowText(LPCWSTR text);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
std::string GuidText(REFGUID guid);

} // namespace DShow
