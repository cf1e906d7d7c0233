#include "apps/ReportAxes.h"

#include <array>
#include <cmath>
#include <cstdio>

FrequencyAxis::FrequencyAxis(double lowHz, double highHz, int pixels, bool upward)
    : low(lowHz), high(highHz), pixels(pixels), upward(upward) {}

double FrequencyAxis::Fraction(double position) const {
    const double fraction = position / pixels;
    return upward ? 1.0 - fraction : fraction;
}

double FrequencyAxis::Frequency(double position) const {
    return low * std::pow(high / low, Fraction(position));
}

double FrequencyAxis::Position(double hz) const {
    const double fraction = std::log(hz / low) / std::log(high / low);
    return (upward ? 1.0 - fraction : fraction) * pixels;
}

std::vector<Tick> FrequencyAxis::Ticks() const {
    std::vector<Tick> ticks;
    for (double decade = 10.0; decade <= 100000.0; decade *= 10.0) {
        for (double step : {1.0, 2.0, 5.0}) {
            const double hz = decade * step;
            if (hz < low || hz > high) continue;
            char text[32];
            if (hz >= 1000.0)
                std::snprintf(text, sizeof text, "%g kHz", hz / 1000.0);
            else
                std::snprintf(text, sizeof text, "%g Hz", hz);
            ticks.push_back({Position(hz), text});
        }
    }
    return ticks;
}

TimeAxis::TimeAxis(double seconds, int pixels)
    : length(seconds > 0.0 ? seconds : 1.0), pixels(pixels) {}

std::vector<Tick> TimeAxis::Ticks() const {
    // The smallest step that leaves at least 80 pixels between labels.
    constexpr std::array<double, 17> steps{0.1, 0.2, 0.5, 1,   2,   5,    10,   15,  30,
                                           60,  120, 300, 600, 900, 1800, 3600, 7200};
    double step = steps.back();
    for (double candidate : steps) {
        if (Position(candidate) >= 80.0) {
            step = candidate;
            break;
        }
    }
    std::vector<Tick> ticks;
    for (int i = 0; i * step <= length + 1e-9; ++i)
        ticks.push_back({Position(i * step), MinutesSeconds(i * step, step < 1.0)});
    return ticks;
}

LevelAxis::LevelAxis(double topDb, double bottomDb, int pixels)
    : top(topDb), bottom(bottomDb), pixels(pixels) {}

std::vector<Tick> LevelAxis::Ticks() const {
    const double step = top - bottom > 80.0 ? 20.0 : 10.0;
    std::vector<Tick> ticks;
    for (double db = std::floor(top / step) * step; db >= bottom - 1e-9; db -= step) {
        char text[32];
        std::snprintf(text, sizeof text, "%g dB", db);
        ticks.push_back({Position(db), text});
    }
    return ticks;
}

std::string MinutesSeconds(double seconds, bool tenths) {
    const long long whole = tenths ? std::llround(seconds * 10.0) : std::llround(seconds);
    const long long totalSeconds = tenths ? whole / 10 : whole;
    const long long hours = totalSeconds / 3600;
    const long long minutes = totalSeconds / 60 % 60;
    const long long secs = totalSeconds % 60;
    char text[48];
    int length = hours > 0
                     ? std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", hours, minutes, secs)
                     : std::snprintf(text, sizeof text, "%lld:%02lld", minutes, secs);
    if (tenths)
        std::snprintf(text + length, sizeof text - std::size_t(length), ".%lld", whole % 10);
    return text;
}
