// The command line's option and range parsing: fuzzed argument lists (split at NUL
// bytes) through ParseCommandLine, and the whole input through ParseTimeRange. Either
// parses or is a CliError; any other exception is a finding.

#include <string_view>
#include <vector>

#include "apps/CliError.h"
#include "apps/CommandLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> args;
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    try {
        ParseCommandLine(args);
    } catch (const CliError&) {
    }
    try {
        ParseTimeRange(text);
    } catch (const CliError&) {
    }
    return 0;
}
