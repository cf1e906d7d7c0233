#include "platform/LinuxWin32.h"

#include <dlfcn.h>
#include <map>
#include <mutex>
#include <string>

namespace {

// A named mutex lives while a handle to it is open.
struct NamedMutex {
    std::string name;
};

struct NamedObjects {
    std::mutex mutex;
    std::map<std::string, int> openHandles;
};

NamedObjects& Objects() {
    static NamedObjects objects;
    return objects;
}

} // namespace

HANDLE CreateMutexA(SECURITY_ATTRIBUTES*, BOOL, const char* name) {
    std::string key = name != nullptr ? name : "";
    auto& objects = Objects();
    std::lock_guard lock(objects.mutex);
    int& handles = objects.openHandles[key];
    SetLastError(handles > 0 && !key.empty() ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    ++handles;
    return new NamedMutex{key};
}

BOOL CloseHandle(HANDLE handle) {
    if (handle == nullptr) return FALSE;
    auto* mutex = static_cast<NamedMutex*>(handle);
    auto& objects = Objects();
    {
        std::lock_guard lock(objects.mutex);
        if (--objects.openHandles[mutex->name] == 0) objects.openHandles.erase(mutex->name);
    }
    delete mutex;
    return TRUE;
}

BOOL GetModuleHandleExA(DWORD flags, const char* name, HMODULE* module) {
    Dl_info info{};
    if (module == nullptr || !(flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) ||
        dladdr(name, &info) == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = info.dli_fbase;
    return TRUE;
}
