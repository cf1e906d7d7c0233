#pragma once
// Separator conversion between the Windows-style native form the product uses and
// the paths Linux understands.

#include <string>

namespace Platform {

std::string ToLinuxPath(const char* nativePath);
std::string ToNativeSeparators(const std::string& linuxPath);
// $XDG_CONFIG_HOME, else $HOME/.config, else ".config" in the working directory.
std::string ConfigDirectory();

} // namespace Platform
