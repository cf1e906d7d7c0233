#include "platform/LinuxPaths.h"
#include "platform/LinuxWin32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

// A key is a text file of "name=value" lines that a user can read and edit.
enum class Hive { CurrentUser, ClassesRoot };

struct RegistryKeyHandle {
    Hive hive;
    std::string relativePath; // below the hive's folder, '/'-separated, no extension
};

namespace {

namespace fs = std::filesystem;

RegistryKeyHandle currentUserRoot{Hive::CurrentUser, ""};
RegistryKeyHandle classesRootRoot{Hive::ClassesRoot, ""};

struct Value {
    DWORD type = REG_SZ;
    std::vector<BYTE> data; // text without its terminating zero
};
using Values = std::map<std::string, Value>;

fs::path DataDirectory() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg != nullptr && *xdg != '\0') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return fs::path(home) / ".local/share";
    return ".local/share";
}

fs::path HiveFolder(Hive hive) {
    if (hive == Hive::CurrentUser) return Platform::ConfigDirectory();
    return DataDirectory() / "sonavel/registry/HKCR";
}

std::string KeyPathBelow(HKEY root, const char* subKey) {
    std::string sub = Platform::ToLinuxPath(subKey);
    while (!sub.empty() && sub.back() == '/')
        sub.pop_back();
    // Per-user software settings sit directly in the configuration folder.
    if (root->hive == Hive::CurrentUser &&
        (sub.rfind("SOFTWARE/", 0) == 0 || sub.rfind("Software/", 0) == 0))
        sub.erase(0, 9);
    if (root->relativePath.empty()) return sub;
    return sub.empty() ? root->relativePath : root->relativePath + "/" + sub;
}

fs::path FileOf(Hive hive, const std::string& keyPath) {
    return HiveFolder(hive) / (keyPath + ".conf");
}

fs::path SubkeyFolderOf(Hive hive, const std::string& keyPath) {
    return HiveFolder(hive) / keyPath;
}

bool KeyExists(Hive hive, const std::string& keyPath) {
    std::error_code error;
    return fs::exists(FileOf(hive, keyPath), error) ||
           fs::is_directory(SubkeyFolderOf(hive, keyPath), error);
}

bool HasSubkeys(Hive hive, const std::string& keyPath) {
    std::error_code error;
    fs::directory_iterator entries(SubkeyFolderOf(hive, keyPath), error);
    return !error && entries != fs::directory_iterator();
}

std::string Hex(const std::vector<BYTE>& bytes) {
    std::string text;
    char digits[4];
    for (BYTE byte : bytes) {
        std::snprintf(digits, sizeof(digits), text.empty() ? "%02x" : ",%02x", byte);
        text += digits;
    }
    return text;
}

std::vector<BYTE> FromHex(const std::string& text) {
    std::vector<BYTE> bytes;
    for (size_t at = 0; at + 2 <= text.size(); at += 3)
        bytes.push_back(BYTE(std::strtoul(text.substr(at, 2).c_str(), nullptr, 16)));
    return bytes;
}

std::vector<BYTE> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Text is stored as it is, unless it starts like a typed value: then "sz:" marks it.
std::string Encode(const Value& value) {
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD number;
        std::memcpy(&number, value.data.data(), 4);
        char text[16];
        std::snprintf(text, sizeof(text), "dword:%08x", number);
        return text;
    }
    if (value.type != REG_SZ) return "hex:" + Hex(value.data);
    std::string text(value.data.begin(), value.data.end());
    for (const char* prefix : {"dword:", "hex:", "sz:"})
        if (text.rfind(prefix, 0) == 0) return "sz:" + text;
    return text;
}

Value Decode(const std::string& text) {
    if (text.rfind("dword:", 0) == 0) {
        DWORD number = DWORD(std::strtoul(text.c_str() + 6, nullptr, 16));
        std::vector<BYTE> data(4);
        std::memcpy(data.data(), &number, 4);
        return {REG_DWORD, data};
    }
    if (text.rfind("hex:", 0) == 0) return {REG_BINARY, FromHex(text.substr(4))};
    if (text.rfind("sz:", 0) == 0) return {REG_SZ, Bytes(text.substr(3))};
    return {REG_SZ, Bytes(text)};
}

Values ReadValues(const RegistryKeyHandle& key) {
    Values values;
    std::ifstream file(FileOf(key.hive, key.relativePath));
    std::string line;
    while (std::getline(file, line)) {
        auto equals = line.find('=');
        if (equals != std::string::npos)
            values[line.substr(0, equals)] = Decode(line.substr(equals + 1));
    }
    return values;
}

bool WriteValues(Hive hive, const std::string& keyPath, const Values& values) {
    auto target = FileOf(hive, keyPath);
    auto temporary = target;
    temporary += ".tmp";
    {
        std::ofstream file(temporary, std::ios::trunc);
        for (const auto& [name, value] : values)
            file << name << '=' << Encode(value) << '\n';
        if (!file.flush()) return false;
    }
    std::error_code error;
    fs::rename(temporary, target, error);
    return !error;
}

LONG CopyOut(const Value& value, BYTE* data, DWORD* dataSize) {
    // Text goes out with its terminating zero.
    DWORD needed = DWORD(value.data.size() + (value.type == REG_SZ ? 1 : 0));
    if (dataSize == nullptr) return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    if (data != nullptr && *dataSize < needed) {
        *dataSize = needed;
        return ERROR_MORE_DATA;
    }
    if (data != nullptr) {
        std::memcpy(data, value.data.data(), value.data.size());
        if (value.type == REG_SZ) data[value.data.size()] = 0;
    }
    *dataSize = needed;
    return ERROR_SUCCESS;
}

Value ValueFrom(DWORD type, const BYTE* data, DWORD dataSize) {
    std::vector<BYTE> bytes(data, data + dataSize);
    if (type == REG_SZ) bytes.resize(std::find(bytes.begin(), bytes.end(), 0) - bytes.begin());
    return {type, bytes};
}

bool Removed(const fs::path& path) {
    std::error_code error;
    fs::remove_all(path, error);
    return !error;
}

HKEY NewHandle(Hive hive, const std::string& keyPath) {
    return new RegistryKeyHandle{hive, keyPath};
}

bool IsRoot(HKEY key) {
    return key == HKEY_CURRENT_USER || key == HKEY_CLASSES_ROOT;
}

} // namespace

const HKEY HKEY_CURRENT_USER = &currentUserRoot;
const HKEY HKEY_CLASSES_ROOT = &classesRootRoot;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, REGSAM, HKEY* result) {
    if (root == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    if (!KeyExists(root->hive, keyPath)) return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(root->hive, keyPath);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD, char*, DWORD, REGSAM, void*,
                     HKEY* result, DWORD* disposition) {
    if (root == nullptr || result == nullptr) return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    bool existed = KeyExists(root->hive, keyPath);
    std::error_code error;
    fs::create_directories(FileOf(root->hive, keyPath).parent_path(), error);
    if (!existed && !WriteValues(root->hive, keyPath, {})) return ERROR_ACCESS_DENIED;
    if (disposition != nullptr) *disposition = existed ? 2 : 1;
    *result = NewHandle(root->hive, keyPath);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
    if (key == nullptr) return ERROR_INVALID_PARAMETER;
    Values values = ReadValues(*key);
    auto found = values.find(valueName != nullptr ? valueName : "");
    if (found == values.end()) return ERROR_FILE_NOT_FOUND;
    if (type != nullptr) *type = found->second.type;
    return CopyOut(found->second, data, dataSize);
}

LONG RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data,
                    DWORD dataSize) {
    bool knownType = type == REG_SZ || type == REG_BINARY || (type == REG_DWORD && dataSize == 4);
    if (key == nullptr || !knownType || (data == nullptr && dataSize > 0))
        return ERROR_INVALID_PARAMETER;
    Values values = ReadValues(*key);
    values[valueName != nullptr ? valueName : ""] = ValueFrom(type, data, dataSize);
    return WriteValues(key->hive, key->relativePath, values) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteKeyA(HKEY root, const char* subKey) {
    if (root == nullptr || subKey == nullptr || *subKey == '\0') return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    if (!KeyExists(root->hive, keyPath)) return ERROR_FILE_NOT_FOUND;
    if (HasSubkeys(root->hive, keyPath)) return ERROR_ACCESS_DENIED;
    bool removed =
        Removed(FileOf(root->hive, keyPath)) && Removed(SubkeyFolderOf(root->hive, keyPath));
    return removed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegDeleteTreeA(HKEY root, const char* subKey) {
    if (root == nullptr) return ERROR_INVALID_PARAMETER;
    std::string keyPath = KeyPathBelow(root, subKey);
    if (keyPath.empty()) return ERROR_ACCESS_DENIED; // a whole hive is never wiped
    if (!KeyExists(root->hive, keyPath)) return ERROR_FILE_NOT_FOUND;
    bool emptyOnly = subKey == nullptr || *subKey == '\0';
    bool removed =
        Removed(SubkeyFolderOf(root->hive, keyPath)) &&
        (emptyOnly ? WriteValues(root->hive, keyPath, {}) : Removed(FileOf(root->hive, keyPath)));
    return removed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegCloseKey(HKEY key) {
    if (key == nullptr || IsRoot(key)) return ERROR_INVALID_PARAMETER;
    delete key;
    return ERROR_SUCCESS;
}
