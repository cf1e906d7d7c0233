#pragma once
// The system's string value: 8-bit text shared between copies through a reference
// count. Texts are never changed once shared; every changing operation builds a new
// text. The count is not atomic: a string and its copies belong to one thread at a
// time, or to a structure guarded by its own lock.

#include <cstdint>
#include <string>
#include <vector>

class SharedString {
public:
    SharedString() = default;
    SharedString(const char* text);
    // The first n characters of text (fewer when it ends earlier).
    SharedString(const char* text, int n);
    SharedString(const SharedString& other);
    SharedString(SharedString&& other) noexcept;
    SharedString& operator=(SharedString other) noexcept;
    ~SharedString();

    // Never null: the empty string gives "".
    const char* Text() const { return text != nullptr ? text : ""; }
    int Length() const;
    bool IsEmpty() const { return text == nullptr || text[0] == '\0'; }

    SharedString& operator+=(const SharedString& other);
    SharedString& operator+=(const char* other);
    friend SharedString operator+(SharedString left, const SharedString& right) {
        return left += right;
    }
    bool operator==(const SharedString& other) const;
    bool operator==(const char* other) const;

    // Counts are clamped to the length.
    SharedString Left(int n) const;
    SharedString Right(int n) const;
    // Empty when position is at or beyond the end; length < 0 takes the rest.
    SharedString Mid(int position, int length = -1) const;
    // Without case sensitivity the letters A to Z compare as lower case.
    bool FindChar(char c, int start, bool caseSensitive, int& index) const;
    bool StartsWith(const SharedString& other, bool caseSensitive = true) const;
    bool EndsWith(const SharedString& other, bool caseSensitive = true) const;
    SharedString ReplaceChar(char from, char to) const;
    std::vector<SharedString> Split(char separator) const;
    static SharedString Join(const std::vector<SharedString>& items, const SharedString& separator);

    // UTF-16 text, decoded as UTF-8 when codePage is 1, else from the system code page.
    std::u16string ToWide(int codePage) const;

    // Placeholder formatting: fills the lowest-numbered "%1" ... "%9" with the value,
    // or appends the value when the text holds none.
    SharedString Arg(const SharedString& value) const;
    // Radix 16 prints the number's 32-bit two's complement.
    SharedString Arg(std::int32_t value, int radix = 10) const;
    SharedString Arg(std::uint32_t value, int radix = 10) const;

private:
    void Release();

    char* text = nullptr;
    int* refCount = nullptr;
};

// Digits "0-9A-Z", most significant first; a radix outside 2..36 means 10.
SharedString ToText(std::int32_t number, int radix = 10);
SharedString ToText(std::uint32_t number, int radix = 10);
