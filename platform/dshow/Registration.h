#pragma once
// Self-registration of an in-process server (DllRegisterServer, DllUnregisterServer).
//
// Registering writes, for each template in order, HKEY_CLASSES_ROOT\CLSID\{clsid} with
// the template's name as default value and its subkey InprocServer32 with the module's
// path and ThreadingModel "Both", then creates the object and calls its IAMovieSetup
// Unregister and Register, which record the filter with the filter mapper. A class
// without IAMovieSetup (E_NOINTERFACE, VFW_E_NEED_OWNER) skips that step. The first
// failure stops the work and is returned; what was written stays.
//
// Unregistering goes through the templates in reverse order: IAMovieSetup Unregister,
// then the CLSID key is deleted with its subkeys. A key that is already gone is fine.

#include "platform/DirectShow.h"
#include "platform/dshow/ClassFactory.h"

#include <span>

HRESULT AMovieDllRegisterServer(std::span<const CFactoryTemplate> templates);
HRESULT AMovieDllUnregisterServer(std::span<const CFactoryTemplate> templates);
