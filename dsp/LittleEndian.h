#pragma once
// Reading and writing numbers in little-endian byte order, whatever the machine's own
// order: saved states move between machines byte for byte.

#include <bit>
#include <cstdint>

namespace LittleEndian {

inline void PutU32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        at[i] = std::uint8_t(value >> (8 * i));
}

inline std::uint32_t GetU32(const std::uint8_t* at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i)
        value |= std::uint32_t(at[i]) << (8 * i);
    return value;
}

inline void PutFloat(std::uint8_t* at, float value) {
    PutU32(at, std::bit_cast<std::uint32_t>(value));
}

inline float GetFloat(const std::uint8_t* at) {
    return std::bit_cast<float>(GetU32(at));
}

} // namespace LittleEndian
