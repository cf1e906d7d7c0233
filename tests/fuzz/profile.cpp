// The command line's profile reader: fuzzed file contents through LoadProfile, which
// must load them or refuse them with a CliError, nothing else.

#include <unistd.h>

#include <fstream>
#include <string>

#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/tmp/sonavel-fuzz-profile-" + std::to_string(getpid());
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    HostPlugin plugin;
    try {
        LoadProfile(plugin, path);
    } catch (const CliError&) {
    }
    return 0;
}
