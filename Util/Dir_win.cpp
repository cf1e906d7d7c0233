#include "Util/Dir.h"
#include "Util/FileIOException.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace Util {

namespace {

// Where directory-creation failures are reported, so that a report names the same
// place in every build.
constexpr const char* dirSource = "Util\\Dir_win";
constexpr int recursiveCreateLine = 56;
constexpr int singleCreateLine = 64;

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsolute(const SharedString& path) {
    const char* text = path.Text();
    bool driveLetter = path.Length() >= 2 && text[1] == ':';
    return IsSeparator(text[0]) || driveLetter;
}

SharedString Native(const SharedString& path) { return path.ReplaceChar('/', '\\'); }

SharedString WithoutTrailingSlashes(const SharedString& path) {
    if (path == "/") return path;
    int length = path.Length();
    while (length > 0 && path.Text()[length - 1] == '/') --length;
    return path.Left(length);
}

SharedString CollapseSlashRuns(const SharedString& path) {
    const char* text = path.Text();
    std::string collapsed;
    for (int i = 0; i < path.Length(); ++i) {
        bool keptLeadingPair = i == 1 && text[0] == '/';
        if (text[i] == '/' && i > 0 && text[i - 1] == '/' && !keptLeadingPair) continue;
        collapsed.push_back(text[i]);
    }
    return SharedString(collapsed.c_str());
}

// A ".." takes the segment before it away; at the start, or after the root, it stays.
SharedString ResolveParents(const SharedString& path) {
    std::vector<SharedString> kept;
    for (const SharedString& segment : path.Split('/')) {
        bool removable = !kept.empty() && !(kept.back() == "..") && !kept.back().IsEmpty();
        if (segment == ".." && removable)
            kept.pop_back();
        else
            kept.push_back(segment);
    }
    return SharedString::Join(kept, "/");
}

SharedString WorkingDirectory() {
    char buffer[1024];
    return _getcwd(buffer, int(sizeof(buffer))) != nullptr ? SharedString(buffer) : SharedString();
}

[[noreturn]] void RaiseCreateFailure(const SharedString& path, int line) {
    ::Exception::Raise(Exception::FileIO("_mkdir() failed", path, Exception::FileIO::WriteError),
                       dirSource, line);
}

} // namespace

Dir::Dir(const SharedString& source) {
    if (source.IsEmpty()) return;
    path = Normalise(MakeAbsolute(source));
    if (!path.EndsWith("/") && !path.EndsWith("\\")) path += "/";
}

SharedString Dir::Normalise(const SharedString& source) {
    SharedString result = source.ReplaceChar('\\', '/');
    result = ResolveParents(CollapseSlashRuns(WithoutTrailingSlashes(result)));
    while (result.EndsWith("//")) result = result.Left(result.Length() - 1);
    return result;
}

SharedString Dir::MakeAbsolute(const SharedString& source) {
    SharedString path = source == "~" ? SharedString("~/") : source;
    if (path.StartsWith("~/") || path.StartsWith("~\\")) {
        const char* home = std::getenv("HOME");
        SharedString prefix = home != nullptr ? SharedString(home) + "/" : SharedString("/");
        return prefix + path.Mid(2);
    }
    if (IsAbsolute(path)) return path;
    return WorkingDirectory() + "/" + path;
}

SharedString Dir::FileName(const SharedString& source) {
    const char* text = source.Text();
    for (int i = source.Length() - 1; i >= 0; --i)
        if (IsSeparator(text[i])) return source.Mid(i + 1);
    return source;
}

SharedString Dir::ModuleDirectory(HMODULE module) {
    char fileName[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(module, fileName, MAX_PATH);
    SharedString name(fileName, int(length));
    int lastSeparator = -1;
    for (int i = 0; i < name.Length(); ++i)
        if (fileName[i] == '\\') lastSeparator = i;
    if (length == 0 || lastSeparator < 0) return ".\\";
    return name.Left(lastSeparator + 1);
}

SharedString Dir::LongPath(const SharedString& source) {
    SharedString native = Native(source);
    while (native.EndsWith("\\")) native = native.Left(native.Length() - 1);
    char longPath[4096];
    DWORD length = GetLongPathNameA(native.Text(), longPath, DWORD(sizeof(longPath)));
    if (length == 0 || length >= sizeof(longPath)) return native;
    return SharedString(longPath, int(length));
}

bool Dir::Exists(const SharedString& source) {
    return !source.IsEmpty() && _access(Native(source).Text(), 0) == 0;
}

void Dir::CreateDirectory(const SharedString& source, bool recursive) {
    if (Exists(source)) return;
    SharedString native = Native(source);
    if (!recursive) {
        if (_mkdir(native.Text()) != 0) RaiseCreateFailure(source, singleCreateLine);
        return;
    }
    int separator = 0;
    if (!native.FindChar('\\', 0, true, separator)) return;
    int next = 0;
    while (native.FindChar('\\', separator + 1, true, next)) {
        SharedString prefix = Dir(native.Left(next)).Path();
        if (!Exists(prefix) && _mkdir(Native(prefix).Text()) != 0)
            RaiseCreateFailure(prefix, recursiveCreateLine);
        separator = next;
    }
}

} // namespace Util
