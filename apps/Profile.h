#pragma once
// A profile: the plug-in's saved state in a file, the learnt noise levels with the
// settings. Loading refuses anything but a regular file holding a whole state of this
// build whose values are all finite (a CliError with the input exit code); a state
// with a non-finite value is never written.

#include <cstdint>
#include <string>
#include <vector>

class AtomicOutput;
class HostPlugin;

// Loads the profile at `path` into the plug-in, with "Train" off.
void LoadProfile(HostPlugin& plugin, const std::string& path);

// Writes the plug-in's state into `output`; a state holding a non-finite level is a
// CliError with the input exit code, since the training audio made it.
void SaveProfile(HostPlugin& plugin, AtomicOutput& output);

// True when every learnt level in a state of the plug-in's size is finite.
bool LevelsAreFinite(const std::vector<std::uint8_t>& state);
