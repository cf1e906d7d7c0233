#include "platform/LinuxPaths.h"

#include <algorithm>
#include <cstdlib>

namespace Platform {

std::string ToLinuxPath(const char* nativePath) {
    std::string path = nativePath != nullptr ? nativePath : "";
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string ToNativeSeparators(const std::string& linuxPath) {
    std::string path = linuxPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') return xdg;
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return std::string(home) + "/.config";
    return ".config";
}

} // namespace Platform
