#include "platform/LinuxWin32.h"
#include "platform/LinuxPaths.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Copies text into a caller's buffer the way the Win32 calls do: the length
// written, or the size needed (with its terminator) when the buffer is too small.
DWORD CopyOut(const std::string& text, char* buffer, DWORD size) {
    if (buffer == nullptr || text.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

std::string ExecutablePath() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

std::string ModulePath(HMODULE module) {
    Dl_info info{};
    if (dladdr(module, &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
}

DWORD ErrorFromErrno(int error) {
    switch (error) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    default:
        return ERROR_INVALID_PARAMETER;
    }
}

} // namespace

DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size) {
    std::string path = module == nullptr ? ExecutablePath() : ModulePath(module);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    DWORD written = CopyOut(Platform::ToNativeSeparators(path), fileName, size);
    return written < size ? written : 0;
}

DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size) {
    char resolved[PATH_MAX];
    if (realpath(Platform::ToLinuxPath(shortPath).c_str(), resolved) == nullptr) {
        SetLastError(ErrorFromErrno(errno));
        return 0;
    }
    return CopyOut(Platform::ToNativeSeparators(resolved), longPath, size);
}

int _access(const char* path, int) {
    struct stat info {};
    if (stat(Platform::ToLinuxPath(path).c_str(), &info) == 0) return 0;
    SetLastError(ErrorFromErrno(errno));
    return -1;
}

int _mkdir(const char* path) {
    if (mkdir(Platform::ToLinuxPath(path).c_str(), 0777) == 0) return 0;
    SetLastError(ErrorFromErrno(errno));
    return -1;
}

char* _getcwd(char* buffer, int size) {
    return getcwd(buffer, static_cast<size_t>(size));
}
