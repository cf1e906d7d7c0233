#pragma once
// The in-process server's one class: the filter's class-factory entry and the record
// that registers it with the filter mapper (merit and pins).

#include "platform/dshow/BaseClasses.h"

#include <span>

namespace DX {

extern const AMOVIESETUP_FILTER filterSetup;

// A new filter aggregated by `outer`; null with E_FAIL when it cannot be made.
CUnknown* CreateInstance(LPUNKNOWN outer, HRESULT* phr);

// The server's class-factory templates, for the exported entry points.
std::span<const CFactoryTemplate> FactoryTemplates();

} // namespace DX
