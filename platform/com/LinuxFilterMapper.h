#pragma once
// The filter mapper of the Linux stand-in system: filter registrations are recorded in
// HKEY_CLASSES_ROOT the way a reader can check them. A filter registered in category C
// under instance I (the filter's class identifier when none is given) is the key
// "CLSID\{C}\Instance\{I}" with "FriendlyName", "CLSID" and "Merit" (a DWORD), and one
// subkey "Pins\<n>" per pin with "Name", "Flags" (REG_PINFLAG_B_* bits), "Instances",
// "ConnectsToFilter", "ConnectsToPin", "Category" (those the record gives) and
// "Types\<k>" subkeys holding "MajorType" and "SubType".

#include "platform/com/StrmIf.h"

namespace Platform {

HRESULT CreateFilterMapper(REFIID riid, void** object);

} // namespace Platform
