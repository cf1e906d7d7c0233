#pragma once
// The sample formats a user can ask for in an output file.

#include <array>
#include <string_view>

enum class SampleFormat { Pcm16, Pcm24, Pcm32, Float, Double };

struct SampleFormatName {
    std::string_view name;
    SampleFormat format;
};

inline constexpr std::array<SampleFormatName, 5> sampleFormatNames{{
    {"pcm16", SampleFormat::Pcm16},
    {"pcm24", SampleFormat::Pcm24},
    {"pcm32", SampleFormat::Pcm32},
    {"float", SampleFormat::Float},
    {"double", SampleFormat::Double},
}};
