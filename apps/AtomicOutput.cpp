#include "apps/AtomicOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "apps/CliError.h"
#include "apps/Interrupt.h"

namespace {

std::string Folder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// "." + base + suffix, with the base shortened so that the whole fits the folder's
// limit on a name's length.
std::string TemporaryName(const std::string& path) {
    static const std::string suffix = ".sonavel-XXXXXX";
    const long limit = pathconf(Folder(path).c_str(), _PC_NAME_MAX);
    const std::size_t room = std::size_t(limit > 0 ? limit : 255) - suffix.size() - 1;
    return Folder(path) + "/." + BaseName(path).substr(0, room) + suffix;
}

// Moves `from` to `to` unless something is at `to` already; false with EEXIST then.
// A file system without renameat2's no-replace gets link and unlink, which refuse an
// existing name as well.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (link(from.c_str(), to.c_str()) != 0) return false;
    unlink(from.c_str());
    return true;
}

// mkstemp creates files readable by the owner only; a finished output gets the
// permissions any new file would.
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

} // namespace

AtomicOutput::AtomicOutput(const std::string& path, bool replace,
                           const std::optional<std::string>& input)
    : path(path), replace(replace) {
    if (input && SameFile(path, *input))
        throw CliError(ExitCode::output, path + " is the input file; choose another output");
    if (path.empty() || path.back() == '/')
        throw CliError(ExitCode::output, "'" + path + "' is not a file name");
    struct stat existing {};
    if (!replace && lstat(path.c_str(), &existing) == 0)
        throw CliError(ExitCode::output, path + " exists (use --force to replace it)");
    temporaryPath = TemporaryName(path);
    std::vector<char> name(temporaryPath.begin(), temporaryPath.end());
    name.push_back('\0');
    {
        const Interrupt::SignalsHeld held;
        descriptor = mkstemp(name.data());
        if (descriptor >= 0) Interrupt::ProtectFile(name.data());
    }
    if (descriptor < 0) Fail("cannot create a file in " + Folder(path));
    temporaryPath = name.data();
    fchmod(descriptor, NewFileMode());
}

AtomicOutput::~AtomicOutput() {
    if (committed) return;
    CloseDescriptor();
    if (!temporaryPath.empty()) unlink(temporaryPath.c_str());
    Interrupt::ReleaseFile();
}

void AtomicOutput::WriteAll(const void* bytes, std::size_t size) {
    const char* next = static_cast<const char*>(bytes);
    while (size > 0) {
        const ssize_t written = write(descriptor, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) Fail("cannot write " + path);
        next += written;
        size -= std::size_t(written);
    }
}

void AtomicOutput::Commit() {
    Interrupt::CheckPoint();
    if (fsync(descriptor) != 0) Fail("cannot write " + path);
    const int closing = descriptor;
    descriptor = -1;
    if (close(closing) != 0) Fail("cannot write " + path);
    if (replace ? rename(temporaryPath.c_str(), path.c_str()) == 0
                : MoveWithoutReplacing(temporaryPath, path)) {
        committed = true;
        Interrupt::ReleaseFile();
        return;
    }
    if (errno == EEXIST)
        throw CliError(ExitCode::output,
                       path +
                           " appeared while sonavel worked; it exists (use --force to replace it)");
    Fail("cannot create " + path);
}

void AtomicOutput::Fail(const std::string& what) const {
    throw CliError(ExitCode::output, what + ": " + std::strerror(errno));
}

void AtomicOutput::CloseDescriptor() {
    if (descriptor >= 0) close(descriptor);
    descriptor = -1;
}
