#pragma once
// Errors the system raises itself. Each carries a message, the place it was raised
// (source path and line) and the system's last error at that moment, and can
// describe itself as a multi-line text.

#include <cstdint>

#include "Util/SharedString.h"

namespace Exception {

class Base {
public:
    explicit Base(const SharedString& message) : message(message) {}
    Base(const Base&) = default;
    virtual ~Base() = default;
    virtual SharedString Describe() const;

    void SetLocation(const SharedString& sourceFile, std::int32_t sourceLine,
                     std::uint32_t systemError);
    const SharedString& Message() const { return message; }
    const SharedString& File() const { return file; }
    std::int32_t Line() const { return line; }
    std::uint32_t LastError() const { return lastError; }

private:
    SharedString message;
    SharedString file;
    std::int32_t line = -1;
    std::uint32_t lastError = 0xFFFFFFFFu;
};

// A failure to hand an output buffer to the host; code is the failed call's result.
class Delivery : public Base {
public:
    explicit Delivery(const SharedString& message) : Base(message) {}
    Delivery(const Delivery&) = default;
    SharedString Describe() const override;

    void SetCode(std::uint32_t resultCode) { code = resultCode; }
    std::uint32_t Code() const { return code; }

private:
    std::uint32_t code = 0;
};

std::uint32_t CurrentSystemError();

// Locates the exception at the raise site with the system's last error, and throws it.
template <class E> [[noreturn]] void Raise(E exception, const char* file, std::int32_t line) {
    exception.SetLocation(file, line, CurrentSystemError());
    throw exception;
}

} // namespace Exception
