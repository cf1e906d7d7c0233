#include "platform/dshow/Text.h"

#include <cstring>
#include <cwchar>

HRESULT AMGetWideString(LPCWSTR text, LPWSTR* copy) {
    if (copy == nullptr) return E_POINTER;
    size_t bytes = (std::wcslen(text) + 1) * sizeof(WCHAR);
    *copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (*copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(*copy, text, bytes);
    return S_OK;
}

namespace DShow {

std::string NarrowText(LPCWSTR text) {
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text)
        narrow += unsigned(*text) < 0x80 ? char(*text) : '?';
    return narrow;
}

std::string GuidText(REFGUID guid) {
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return NarrowText(text);
}

} // namespace DShow
