#pragma once
// The axes of the report's pictures: where a frequency, a time or a level falls in
// pixels, and the labelled ticks to print beside them. Positions are in pixels from the
// picture's left or top edge, continuous: pixel i covers [i, i + 1).

#include <string>
#include <vector>

struct Tick {
    double position;
    std::string label;
};

// Logarithmic frequency. Upward axes (a spectrogram's rows) put the highest
// frequency at position 0; the others grow to the right.
class FrequencyAxis {
public:
    FrequencyAxis(double lowHz, double highHz, int pixels, bool upward);

    double Position(double hz) const;
    double Frequency(double position) const;
    int Pixels() const { return pixels; }
    double Low() const { return low; }
    double High() const { return high; }
    // 20, 50, 100, 200, 500 Hz, 1, 2, 5, 10, 20 kHz: those inside the range.
    std::vector<Tick> Ticks() const;

private:
    double Fraction(double position) const;

    double low, high;
    int pixels;
    bool upward;
};

// Time from the start of the file to `seconds`, left to right, labelled m:ss (with
// tenths when the ticks come closer than a second).
class TimeAxis {
public:
    TimeAxis(double seconds, int pixels);

    double Position(double seconds) const { return seconds / length * pixels; }
    double Seconds(double position) const { return position / pixels * length; }
    std::vector<Tick> Ticks() const;

private:
    double length;
    int pixels;
};

// A linear scale of decibels from `top` at position 0 down to `bottom` at `pixels`.
class LevelAxis {
public:
    LevelAxis(double topDb, double bottomDb, int pixels);

    double Position(double db) const { return (top - db) / (top - bottom) * pixels; }
    double Top() const { return top; }
    double Bottom() const { return bottom; }
    // Every 10 dB, or every 20 when the range is wide.
    std::vector<Tick> Ticks() const;

private:
    double top, bottom;
    int pixels;
};

// 75.25 s as "1:15" or, with `tenths`, "1:15.2"; an hour or more as "1:02:03".
std::string MinutesSeconds(double seconds, bool tenths = false);
