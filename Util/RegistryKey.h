#pragma once
// A per-user settings key (HKEY_CURRENT_USER) from which string values are read.

#include "Util/SharedString.h"

namespace Util {

class RegistryKey {
public:
    // The path is kept in native form ('/' turned into '\').
    explicit RegistryKey(const SharedString& path);
    const SharedString& Path() const { return path; }

    // The value's text, or the default when the key or value cannot be read.
    SharedString ReadString(const SharedString& valueName, const SharedString& defaultValue) const;

private:
    SharedString path;
};

} // namespace Util
