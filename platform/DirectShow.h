#pragma once
// Everything a DirectShow filter implements or calls: COM (identifiers, result codes,
// IUnknown, class factories, streams, persistence, task memory), the DirectShow
// interfaces, records and identifiers, media parameters, wave formats, and the host
// extensions no system header declares. On Windows these are the system's headers;
// elsewhere platform/com/ supplies stand-ins with the same names and layouts.

#include "platform/Win32.h"

#ifdef _WIN32
#include <objbase.h>

#include <dshow.h>
#include <mmreg.h>
#include <uuids.h>
#include <vfwmsgs.h>
#else
#include "platform/com/StrmIf.h"
#endif

#include "platform/com/HostExtensions.h"
