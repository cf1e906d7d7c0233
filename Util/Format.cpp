// Placeholder formatting and number texts.
#include "Util/SharedString.h"

#include <string>

namespace {

constexpr char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

int ValidRadix(int radix) { return (radix < 2 || radix > 36) ? 10 : radix; }

std::string Digits(std::uint32_t magnitude, int radix) {
    std::string reversed;
    do {
        reversed.push_back(digits[magnitude % std::uint32_t(radix)]);
        magnitude /= std::uint32_t(radix);
    } while (magnitude != 0);
    return std::string(reversed.rbegin(), reversed.rend());
}

// Position of the '%' of the lowest-numbered placeholder, the first among equals;
// -1 when there is none. A '%' as the last character is no placeholder.
int LowestPlaceholder(const char* format, int length) {
    int best = -1;
    for (int i = 0; i + 1 < length; ++i) {
        char digit = format[i + 1];
        if (format[i] != '%' || digit < '0' || digit > '9') continue;
        if (best < 0 || digit < format[best + 1]) best = i;
    }
    return best;
}

} // namespace

SharedString ToText(std::uint32_t number, int radix) {
    return SharedString(Digits(number, ValidRadix(radix)).c_str());
}

SharedString ToText(std::int32_t number, int radix) {
    radix = ValidRadix(radix);
    if (number >= 0) return ToText(std::uint32_t(number), radix);
    // Split off the last digit so that the most negative number never overflows.
    std::int32_t quotient = number / radix;
    std::int32_t lastDigit = -(number % radix);
    std::string text = "-";
    if (quotient != 0) text += Digits(std::uint32_t(-quotient), radix);
    text += digits[lastDigit];
    return SharedString(text.c_str());
}

SharedString SharedString::Arg(const SharedString& value) const {
    if (IsEmpty()) return value;
    int position = LowestPlaceholder(Text(), Length());
    if (position < 0) return *this + value;
    return Left(position) + value + Mid(position + 2);
}

SharedString SharedString::Arg(std::int32_t value, int radix) const {
    if (radix == 16) return Arg(ToText(std::uint32_t(value), radix));
    return Arg(ToText(value, radix));
}

SharedString SharedString::Arg(std::uint32_t value, int radix) const {
    return Arg(ToText(value, radix));
}
