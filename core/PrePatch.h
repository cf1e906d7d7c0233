#pragma once
// The hook for saved states written in another format version: a converter recognises
// the header of a version it knows and tells how large the state is.

#include <cstdint>

namespace Preset {

class PrePatchBase {
public:
    virtual ~PrePatchBase() = default;
    // state starts with a 12-byte header whose magic or version differs from the
    // expected ones. True, with size set, when the state can be converted; false leaves
    // size untouched.
    virtual bool Convert(const std::uint8_t* state, std::uint32_t expectedMagic,
                         std::uint32_t expectedVersion, std::uint32_t& size) const = 0;
};

// This build reads only its own format version.
class PrePatch : public PrePatchBase {
public:
    bool Convert(const std::uint8_t* state, std::uint32_t expectedMagic,
                 std::uint32_t expectedVersion, std::uint32_t& size) const override;
};

} // namespace Preset
