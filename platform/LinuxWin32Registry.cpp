#include "platform/LinuxPaths.h"
#include "platform/LinuxWin32.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

// A key is a text file of "name=value" lines that a user can read and edit.
struct RegistryKeyHandle {
    std::string relativePath; // below the root's folder, '/'-separated, no extension
};

namespace {

RegistryKeyHandle currentUserRoot;

using Values = std::map<std::string, std::string>;

std::string KeyPathBelow(HKEY root, const char* subKey) {
    std::string sub = Platform::ToLinuxPath(subKey);
    while (!sub.empty() && sub.back() == '/') sub.pop_back();
    // Per-user software settings sit directly in the configuration folder.
    if (root == HKEY_CURRENT_USER && (sub.rfind("SOFTWARE/", 0) == 0 || sub.rfind("Software/", 0) == 0))
        sub.erase(0, 9);
    if (root->relativePath.empty()) return sub;
    return sub.empty() ? root->relativePath : root->relativePath + "/" + sub;
}

std::filesystem::path FileOf(const std::string& keyPath) {
    return std::filesystem::path(Platform::ConfigDirectory()) / (keyPath + ".conf");
}

bool KeyExists(const std::string& keyPath) {
    std::error_code error;
    auto base = std::filesystem::path(Platform::ConfigDirectory()) / keyPath;
    return std::filesystem::exists(FileOf(keyPath), error) ||
           std::filesystem::is_directory(base, error);
}

Values ReadValues(const std::string& keyPath) {
    Values values;
    std::ifstream file(FileOf(keyPath));
    std::string line;
    while (std::getline(file, line)) {
        auto equals = line.find('=');
        if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
}

bool WriteValues(const std::string& keyPath, const Values& values) {
    auto target = FileOf(keyPath);
    auto temporary = target;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        for (const auto& [name, value] : values) file << name << '=' << value << '\n';
        if (!file.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    return !error;
}

HKEY NewHandle(const std::string& keyPath) { return new RegistryKeyHandle{keyPath}; }

} // namespace

const HKEY HKEY_CURRENT_USER = &currentUserRoot;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, REGSAM, HKEY* result) {
    if (root == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    if (!KeyExists(keyPath)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(keyPath);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD, char*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
    if (root == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    bool existed = KeyExists(keyPath);
    std::error_code error;
    std::filesystem::create_directories(FileOf(keyPath).parent_path(), error);
    if (!existed && !WriteValues(keyPath, {})) return ERROR_ACCESS_DENIED;
    if (disposition != nullptr) *disposition = existed ? 2 : 1;
    *result = NewHandle(keyPath);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    if (key == nullptr) return ERROR_INVALID_PARAMETER;
    Values values = ReadValues(key->relativePath);
    auto found = values.find(valueName != nullptr ? valueName : "");
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = REG_SZ;
    DWORD needed = static_cast<DWORD>(found->second.size() + 1);
    if (dataSize == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    if (data != nullptr && *dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) std::memcpy(data, found->second.c_str(), needed);
    *dataSize = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    if (key == nullptr || type != REG_SZ || (data == nullptr && dataSize > 0))
        return ERROR_INVALID_PARAMETER;
    Values values = ReadValues(key->relativePath);
    std::string text(reinterpret_cast<const char*>(data), dataSize);
    text = text.substr(0, text.find('\0'));
    values[valueName != nullptr ? valueName : ""] = text;
    return WriteValues(key->relativePath, values) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) {
    if (key == nullptr || key == HKEY_CURRENT_USER) return ERROR_INVALID_PARAMETER;
    delete key;
    return ERROR_SUCCESS;
}
