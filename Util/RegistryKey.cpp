#include "Util/RegistryKey.h"
#include "platform/Win32.h"

#include <vector>

namespace Util {

RegistryKey::RegistryKey(const SharedString& keyPath) : path(keyPath.ReplaceChar('/', '\\')) {}

SharedString RegistryKey::ReadString(const SharedString& valueName,
                                     const SharedString& defaultValue) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.Text(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return defaultValue;
    DWORD type = 0;
    DWORD size = 0;
    LONG result = RegQueryValueExA(key, valueName.Text(), nullptr, &type, nullptr, &size);
    std::vector<char> data(size_t(size) + 1, '\0');
    if (result == ERROR_SUCCESS)
        result = RegQueryValueExA(key, valueName.Text(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return defaultValue;
    return SharedString(data.data(), int(size));
}

} // namespace Util
