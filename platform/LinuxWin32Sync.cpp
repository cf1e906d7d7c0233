#include "platform/LinuxWin32.h"

#include <chrono>

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

void InitializeCriticalSection(CRITICAL_SECTION*) {}

void DeleteCriticalSection(CRITICAL_SECTION*) {}

void EnterCriticalSection(CRITICAL_SECTION* section) { section->mutex.lock(); }

void LeaveCriticalSection(CRITICAL_SECTION* section) { section->mutex.unlock(); }

DWORD GetTickCount() {
    using namespace std::chrono;
    auto sinceStart = steady_clock::now().time_since_epoch();
    return static_cast<DWORD>(duration_cast<milliseconds>(sinceStart).count());
}
