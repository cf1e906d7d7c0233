#include "Util/Exception.h"
#include "Util/FileIOException.h"
#include "platform/Win32.h"

namespace Exception {

std::uint32_t CurrentSystemError() { return std::uint32_t(GetLastError()); }

void Base::SetLocation(const SharedString& sourceFile, std::int32_t sourceLine,
                       std::uint32_t systemError) {
    file = sourceFile;
    line = sourceLine;
    lastError = systemError;
}

SharedString Base::Describe() const {
    SharedString location = SharedString("%1 (%2): Thrown, GetLastError(): %3\n")
                                .Arg(file)
                                .Arg(line)
                                .Arg(lastError);
    return SharedString("Base:\n\t") + message + "\n\t" + location;
}

SharedString Delivery::Describe() const {
    return Base::Describe() + SharedString("\nDelivery: 0x%1").Arg(code, 16);
}

} // namespace Exception

namespace Util::Exception {

namespace {

const char* KindText(std::uint32_t kind) {
    switch (kind) {
    case FileIO::FileNotFound:
        return "File not found";
    case FileIO::OpenError:
        return "Open error";
    case FileIO::ReadError:
        return "Read error";
    case FileIO::WriteError:
        return "Write error";
    case FileIO::CloseError:
        return "Close error";
    case FileIO::RemoveError:
        return "Remove error";
    case FileIO::UnexpectedError:
        return "Unexpected error";
    default:
        return " Unknown error";
    }
}

} // namespace

SharedString FileIO::Describe() const {
    const SharedString& shown = path.IsEmpty() ? firstPath : path;
    return Base::Describe() + "\nFileIO:\n" + shown + ": " + KindText(kind);
}

} // namespace Util::Exception
