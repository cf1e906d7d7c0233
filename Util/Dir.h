#pragma once
// Paths and directories. Inside the system a path uses '/' as its separator; the
// form handed to the operating system ("native") uses '\'.

#include "Util/SharedString.h"
#include "platform/Win32.h"

// Windows maps CreateDirectory to CreateDirectoryA; this class has its own.
#ifdef CreateDirectory
#undef CreateDirectory
#endif

namespace Util {

class Dir {
public:
    // Normalised and absolute, ending in '/'; the empty path stays empty.
    explicit Dir(const SharedString& path);
    const SharedString& Path() const { return path; }

    // '\' to '/', ".." resolved, repeated separators collapsed (a leading "//" stays).
    static SharedString Normalise(const SharedString& path);
    // "~" expanded from HOME; a relative path is put under the working directory.
    static SharedString MakeAbsolute(const SharedString& path);
    // The part after the last separator, or the whole path when it has none.
    static SharedString FileName(const SharedString& path);
    // Folder of the module (the executable when null), up to and including its last '\'.
    static SharedString ModuleDirectory(HMODULE module = nullptr);
    // Native form without a trailing '\', expanded to its long form when possible.
    static SharedString LongPath(const SharedString& path);
    static bool Exists(const SharedString& path);
    // Does nothing when the directory exists; raises Util::Exception::FileIO on failure.
    static void CreateDirectory(const SharedString& path, bool recursive);

private:
    SharedString path;
};

} // namespace Util
