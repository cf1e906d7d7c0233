#include "apps/Profile.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

#include "apps/AtomicOutput.h"
#include "apps/CliError.h"
#include "apps/HostPlugin.h"
#include "apps/Settings.h"
#include "dsp/LittleEndian.h"
#include "core/Restoration.h"

namespace {

[[noreturn]] void NotAProfile(const HostPlugin& plugin, const std::string& path) {
    throw CliError(ExitCode::input, path + " is not a Sonavel profile (" +
                                        std::to_string(plugin.StateSize()) +
                                        "-byte settings block)");
}

bool FloatParamsAreFinite(const Plugin& plugin) {
    for (const DSP::Component* component : plugin.Components()) {
        for (std::uint32_t i = 0; i < component->GetNumFloatParams(); ++i) {
            if (!std::isfinite(component->GetFloatParam(i))) return false;
        }
    }
    return true;
}

} // namespace

bool LevelsAreFinite(const std::vector<std::uint8_t>& state) {
    // The restoration component saves its noise levels last, as little-endian floats.
    constexpr std::size_t levelBytes = DSP::Restoration::Restoration::customStateSize;
    if (state.size() < levelBytes) return false;
    for (std::size_t at = state.size() - levelBytes; at < state.size(); at += sizeof(float)) {
        if (!std::isfinite(LittleEndian::GetFloat(state.data() + at))) return false;
    }
    return true;
}

void LoadProfile(HostPlugin& plugin, const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        throw CliError(ExitCode::input, path + ": " + std::strerror(errno));
    if (!S_ISREG(info.st_mode)) NotAProfile(plugin, path);
    std::ifstream file(path, std::ios::binary);
    if (!file) throw CliError(ExitCode::input, path + ": " + std::strerror(errno));
    const std::vector<std::uint8_t> state{std::istreambuf_iterator<char>(file),
                                          std::istreambuf_iterator<char>()};
    if (state.size() != plugin.StateSize() || !LevelsAreFinite(state) ||
        !plugin.LoadState(state, true) || !FloatParamsAreFinite(plugin))
        NotAProfile(plugin, path);
    // A profile saved while learning has "Train" on; restoring never learns.
    BoolParamRef(plugin, ParamName::train).Set(false);
}

void SaveProfile(HostPlugin& plugin, AtomicOutput& output) {
    const std::vector<std::uint8_t> state = plugin.SaveState();
    if (!LevelsAreFinite(state) || !FloatParamsAreFinite(plugin))
        throw CliError(ExitCode::input, "the training audio gave no usable noise levels; "
                                        "no profile was written");
    output.WriteAll(state.data(), state.size());
}
