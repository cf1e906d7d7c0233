#include "apps/Options.h"

#include <charconv>
#include <cmath>

#include "apps/CliError.h"

namespace {

[[noreturn]] void Fail(const std::string& reason) {
    throw CliError(ExitCode::usage, reason);
}

std::optional<double> ToNumber(std::string_view text) {
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double ParseNumber(std::string_view text, const std::string& what) {
    const std::optional<double> value = ToNumber(text);
    if (!value) Fail(what + ": '" + std::string(text) + "' is not a number");
    return *value;
}

} // namespace

double ParseTime(std::string_view text) {
    const std::string original(text);
    double seconds = 0.0;
    for (int field = 0;; ++field) {
        const std::size_t colon = text.find(':');
        const bool last = colon == std::string_view::npos;
        const std::optional<double> value = ToNumber(text.substr(0, colon));
        if (!value || field > 2 || *value < 0.0 || (!last && *value != std::floor(*value)) ||
            (field > 0 && *value >= 60.0))
            Fail("'" + original + "' is not a time (seconds, m:ss.s or h:mm:ss.s)");
        seconds = seconds * 60.0 + *value;
        if (last) return seconds;
        text.remove_prefix(colon + 1);
    }
}

TimeRange ParseTimeRange(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos || dash == 0)
        Fail("'" + std::string(text) + "' is not a range START-END");
    TimeRange range{ParseTime(text.substr(0, dash)), std::nullopt};
    if (dash + 1 < text.size()) range.end = ParseTime(text.substr(dash + 1));
    if (range.end && *range.end <= range.start)
        Fail("the range '" + std::string(text) + "' ends before it starts");
    return range;
}

float ParseUnit(std::string_view option, std::string_view text) {
    const std::string name(option);
    const double value = ParseNumber(text, name);
    if (value < 0.0 || value > 1.0)
        Fail(name + " wants a value from 0 to 1, not " + std::string(text));
    return float(value);
}

std::uint32_t ParseRate(std::string_view text) {
    const double value = ParseNumber(text, "--rate");
    if (value != std::floor(value) || value < 1000.0 || value > 1000000.0)
        Fail("--rate wants a whole number of Hz from 1000 to 1000000, not " + std::string(text));
    return std::uint32_t(value);
}

SampleFormat ParseFormat(std::string_view text) {
    for (const SampleFormatName& entry : sampleFormatNames) {
        if (entry.name == text) return entry.format;
    }
    Fail("--format wants pcm16, pcm24, pcm32, float or double, not '" + std::string(text) + "'");
}

bool ParseHighQuality(std::string_view text) {
    if (text == "high") return true;
    if (text == "standard") return false;
    Fail("--quality wants high or standard, not '" + std::string(text) + "'");
}

double ParseGainDb(std::string_view option, std::string_view text) {
    const std::string name(option);
    const double value = ParseNumber(text, name);
    if (std::fabs(value) > 40.0)
        Fail(name + " wants a gain in dB from -40 to 40, not " + std::string(text));
    return value;
}
