#include "core/PrePatch.h"

namespace Preset {

bool PrePatch::Convert(const std::uint8_t* /*state*/, std::uint32_t /*expectedMagic*/,
                       std::uint32_t /*expectedVersion*/, std::uint32_t& /*size*/) const {
    return false;
}

} // namespace Preset
