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

// Named objects. A named mutex is shared by name within the process; creating one that
// exists returns a new handle to it with the last error ERROR_ALREADY_EXISTS. Nothing
// in the product waits on one, so ownership is not modelled.
struct SECURITY_ATTRIBUTES;
HANDLE CreateMutexA(SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, const char* name);
BOOL CloseHandle(HANDLE handle);

// Files and paths.
// File name of the module containing `module` (an address inside it), or of the
// executable when null; returns the length written, 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, char* fileName, DWORD size);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS: the module that contains the address
// `name`. The handle is an address inside the module, which is all
// GetModuleFileNameA needs.
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x2;
constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x4;
BOOL GetModuleHandleExA(DWORD flags, const char* name, HMODULE* module);
// Absolute, link-free form of an existing path; 0 on failure with the last error set.
DWORD GetLongPathNameA(const char* shortPath, char* longPath, DWORD size);
// mode 0: existence only. Returns 0 when the path exists, -1 otherwise.
int _access(const char* path, int mode);
int _mkdir(const char* path);
char* _getcwd(char* buffer, int size);

// Registry. HKEY_CURRENT_USER keys live as plain "name=value" text files under
// $XDG_CONFIG_HOME (or ~/.config): key "SOFTWARE\A\B" is the file "A/B.conf".
// HKEY_CLASSES_ROOT keys live the same way in a folder of their own,
// $XDG_DATA_HOME/sonavel/registry/HKCR (or ~/.local/share/...): key "CLSID\{x}" is the
// file "CLSID/{x}.conf" and its subkeys sit in the folder "CLSID/{x}". A value that is
// not text is written as "dword:0000002a" or "hex:01,02".
using HKEY = struct RegistryKeyHandle*;
using REGSAM = DWORD;
extern const HKEY HKEY_CURRENT_USER;
extern const HKEY HKEY_CLASSES_ROOT;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                     REGSAM access, void* security, HKEY* result, DWORD* disposition);
// With data null, reports the size the value needs (for text, with its terminating zero).
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize);
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataSize);
// Deletes a key without subkeys; ERROR_ACCESS_DENIED while it has some.
LONG RegDeleteKeyA(HKEY root, const char* subKey);
// Deletes a key with all its subkeys; with no subkey named, empties `root` instead.
LONG RegDeleteTreeA(HKEY root, const char* subKey);
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
