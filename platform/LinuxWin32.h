#pragma once
// Linux stand-ins for the Win32 types and calls the product uses. Paths handed to
// them may use '\' as the separator, as on Windows; the stand-ins turn it into '/'.
// Paths they hand back use '\', so the callers see the same native form everywhere.

#include <cstdint>
#include <mutex>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using HANDLE = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using HWND = void*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
constexpr int MAX_PATH = 260;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_MORE_DATA = 234;

// The thread's last system error.
DWORD GetLastError();
void SetLastError(DWORD error);

// A critical section is re-entrant for the thread that holds it.
struct CRITICAL_SECTION {
    std::recursive_mutex mutex;
};
void InitializeCriticalSection(CRITICAL_SECTION* section);
void DeleteCriticalSection(CRITICAL_SECTION* section);
void EnterCriticalSection(CRITICAL_SECTION* section);
void LeaveCriticalSection(CRITICAL_SECTION* section);

// Milliseconds since an arbitrary start, wrapping at 2^32.
DWORD GetTickCount();

// Files and paths.
// File name of the module containing `module` (an address inside it), or of the
// executable when null; returns the length written, 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
// Absolute, link-free form of an existing path; 0 on failure with the last error set.
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);
// mode 0: existence only. Returns 0 when the path exists, -1 otherwise.
int _access(const char* path, int mode);
int _mkdir(const char* path);
char* _getcwd(char* buffer, int size);

// Registry. HKEY_CURRENT_USER keys live as plain "name=value" text files under
// $XDG_CONFIG_HOME (or ~/.config): key "SOFTWARE\A\B" is the file "A/B.conf".
using HKEY = struct RegistryKeyHandle*;
using REGSAM = DWORD;
extern const HKEY HKEY_CURRENT_USER;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* keyClass,
                     DWORD options, REGSAM access, void* security, HKEY* result,
                     DWORD* disposition);
// With data null, reports the size the value needs (text and its terminating zero).
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type,
                    const BYTE* data, DWORD dataSize);
LONG RegCloseKey(HKEY key);

// Window messages. A registered message number is stable per name for the process;
// posted messages queue per window until the window (or a test) takes them.
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
constexpr UINT PM_REMOVE = 1;
UINT RegisterWindowMessageA(const char* name);
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PeekMessageA(MSG* message, HWND window, UINT filterMin, UINT filterMax, UINT removeFlag);

// DirectX media-parameter envelopes: a host automation segment in 100-ns reference time.
using REFERENCE_TIME = std::int64_t;
using MP_DATA = float;
using MP_FLAGS = DWORD;
enum MP_CURVE_TYPE {
    MP_CURVE_JUMP = 0x1,
    MP_CURVE_LINEAR = 0x2,
    MP_CURVE_SQUARE = 0x4,
    MP_CURVE_INVSQUARE = 0x8,
    MP_CURVE_SINE = 0x10,
};
struct MP_ENVELOPE_SEGMENT {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    MP_DATA valStart;
    MP_DATA valEnd;
    MP_CURVE_TYPE iCurve;
    MP_FLAGS flags;
};
