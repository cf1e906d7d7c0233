#include "Util/SharedString.h"

#include <algorithm>
#include <cstring>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool SameChars(const char* a, const char* b, int n, bool caseSensitive) {
    if (caseSensitive) return std::memcmp(a, b, size_t(n)) == 0;
    for (int i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

void AppendUtf16(std::u16string& out, char32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(char16_t(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(char16_t(0xD800 + (codePoint >> 10)));
    out.push_back(char16_t(0xDC00 + (codePoint & 0x3FF)));
}

// Decodes one UTF-8 sequence at text[i]; malformed bytes become U+FFFD.
char32_t DecodeUtf8(const unsigned char* text, int length, int& i) {
    unsigned char lead = text[i++];
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (lead >= 0x80 && extra == 0) return 0xFFFD;
    char32_t codePoint = extra == 0 ? lead : lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= length || (text[i] & 0xC0) != 0x80) return 0xFFFD;
        codePoint = (codePoint << 6) | (text[i++] & 0x3F);
    }
    return codePoint;
}

} // namespace

SharedString::SharedString(const char* source) : SharedString(source, source ? int(std::strlen(source)) : 0) {}

SharedString::SharedString(const char* source, int n) {
    if (source == nullptr || n <= 0) return;
    int length = int(strnlen(source, size_t(n)));
    if (length == 0) return;
    text = new char[size_t(length) + 1];
    std::memcpy(text, source, size_t(length));
    text[length] = '\0';
    refCount = new int(1);
}

SharedString::SharedString(const SharedString& other) : text(other.text), refCount(other.refCount) {
    if (refCount != nullptr) ++*refCount;
}

SharedString::SharedString(SharedString&& other) noexcept
    : text(other.text), refCount(other.refCount) {
    other.text = nullptr;
    other.refCount = nullptr;
}

SharedString& SharedString::operator=(SharedString other) noexcept {
    std::swap(text, other.text);
    std::swap(refCount, other.refCount);
    return *this;
}

SharedString::~SharedString() { Release(); }

void SharedString::Release() {
    if (refCount != nullptr && --*refCount == 0) {
        delete[] text;
        delete refCount;
    }
    text = nullptr;
    refCount = nullptr;
}

int SharedString::Length() const { return text != nullptr ? int(std::strlen(text)) : 0; }

SharedString& SharedString::operator+=(const SharedString& other) {
    if (other.IsEmpty()) return *this;
    if (IsEmpty()) return *this = other;
    std::string joined = std::string(Text()) + other.Text();
    return *this = SharedString(joined.c_str());
}

SharedString& SharedString::operator+=(const char* other) { return *this += SharedString(other); }

bool SharedString::operator==(const SharedString& other) const {
    return std::strcmp(Text(), other.Text()) == 0;
}

bool SharedString::operator==(const char* other) const {
    return std::strcmp(Text(), other != nullptr ? other : "") == 0;
}

SharedString SharedString::Left(int n) const { return SharedString(Text(), std::min(n, Length())); }

SharedString SharedString::Right(int n) const {
    int length = Length();
    n = std::clamp(n, 0, length);
    return SharedString(Text() + (length - n));
}

SharedString SharedString::Mid(int position, int length) const {
    int total = Length();
    if (position < 0 || position >= total) return {};
    int available = total - position;
    return SharedString(Text() + position, length < 0 ? available : std::min(length, available));
}

bool SharedString::FindChar(char c, int start, bool caseSensitive, int& index) const {
    const char* chars = Text();
    int length = Length();
    for (int i = std::max(start, 0); i < length; ++i) {
        if (caseSensitive ? chars[i] == c : Lower(chars[i]) == Lower(c)) {
            index = i;
            return true;
        }
    }
    return false;
}

bool SharedString::StartsWith(const SharedString& other, bool caseSensitive) const {
    int n = other.Length();
    return n <= Length() && SameChars(Text(), other.Text(), n, caseSensitive);
}

bool SharedString::EndsWith(const SharedString& other, bool caseSensitive) const {
    int n = other.Length();
    int length = Length();
    return n <= length && SameChars(Text() + (length - n), other.Text(), n, caseSensitive);
}

SharedString SharedString::ReplaceChar(char from, char to) const {
    std::string copy = Text();
    std::replace(copy.begin(), copy.end(), from, to);
    return SharedString(copy.c_str());
}

std::vector<SharedString> SharedString::Split(char separator) const {
    std::vector<SharedString> parts;
    const char* chars = Text();
    int length = Length();
    int start = 0;
    for (int i = 0; i <= length; ++i) {
        if (i == length || chars[i] == separator) {
            parts.emplace_back(chars + start, i - start);
            start = i + 1;
        }
    }
    return parts;
}

SharedString SharedString::Join(const std::vector<SharedString>& items,
                                const SharedString& separator) {
    SharedString joined;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) joined += separator;
        joined += items[i];
    }
    return joined;
}

std::u16string SharedString::ToWide(int codePage) const {
    std::u16string wide;
    const auto* bytes = reinterpret_cast<const unsigned char*>(Text());
    int length = Length();
    for (int i = 0; i < length;) {
        // The system code page of the stand-in platform is Latin-1: one unit per byte.
        char32_t codePoint = codePage == 1 ? DecodeUtf8(bytes, length, i) : bytes[i++];
        AppendUtf16(wide, codePoint);
    }
    return wide;
}
