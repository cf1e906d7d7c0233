#pragma once
// The Win32 calls the product makes. On Windows they are the real ones; elsewhere
// LinuxWin32.h supplies small stand-ins with the same names and contracts.
// Media-parameter envelope segments and curve codes come with them on both.

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <direct.h>
#include <io.h>
#include <windows.h>

#include <medparam.h>
#include <strmif.h>
#else
#include "platform/LinuxWin32.h"
#include "platform/com/MediaParams.h"
#endif
