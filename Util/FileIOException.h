#pragma once
// A file-system failure: the base exception plus the failing path and a kind.

#include "Util/Exception.h"

namespace Util::Exception {

class FileIO : public ::Exception::Base {
public:
    enum Kind : std::uint32_t {
        FileNotFound = 0,
        OpenError = 1,
        ReadError = 2,
        WriteError = 3,
        CloseError = 4,
        RemoveError = 5,
        UnexpectedError = 7,
    };

    FileIO(const SharedString& message, const SharedString& path, std::uint32_t kind)
        : Base(message), path(path), kind(kind) {}
    FileIO(const FileIO&) = default;
    SharedString Describe() const override;

    const SharedString& Path() const { return path; }
    std::uint32_t ErrorKind() const { return kind; }

private:
    SharedString firstPath; // no raise site fills it; shown when path is empty
    SharedString path;
    std::uint32_t kind;
};

} // namespace Util::Exception
