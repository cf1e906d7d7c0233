#include "apps/Sonogram.h"

#include <algorithm>
#include <cmath>

#include "apps/ColorMap.h"

namespace {

// The level of a column with no power at all, far below any colour scale.
constexpr float silentDb = -300.0f;

} // namespace

Sonogram::Sonogram(std::int64_t streamFrames, double rate, int bins, int columns,
                         const FrequencyAxis& axis)
    : streamFrames(std::max<std::int64_t>(streamFrames, 1)), bins(bins), columns(columns),
      rows(axis.Pixels()), columnPower(std::size_t(bins), 0.0f), filled(std::size_t(columns)),
      levels(std::size_t(rows) * std::size_t(columns), silentDb) {
    const double hzPerBin = rate / (2.0 * (bins - 1));
    for (int row = 0; row < rows; ++row) {
        const double top = axis.Frequency(row) / hzPerBin;
        const double bottom = axis.Frequency(row + 1) / hzPerBin;
        const int first = std::clamp(int(std::ceil(bottom)), 0, bins);
        const int last = std::clamp(int(std::floor(top)) + 1, first, bins);
        bands.push_back({first, last, axis.Frequency(row + 0.5) / hzPerBin});
    }
}

void Sonogram::Add(std::int64_t centre, const float* power) {
    const std::int64_t clamped = std::clamp<std::int64_t>(centre, 0, streamFrames - 1);
    const int target = int(clamped * columns / streamFrames);
    if (target != column) {
        FlushColumn();
        column = target;
    }
    for (int k = 0; k < bins; ++k)
        columnPower[std::size_t(k)] = std::max(columnPower[std::size_t(k)], power[k]);
}

float Sonogram::RowPower(const RowBand& band) const {
    const int below = std::clamp(int(band.centreBin), 0, bins - 1);
    const int above = std::min(below + 1, bins - 1);
    const float weight = float(std::clamp(band.centreBin - below, 0.0, 1.0));
    float power = columnPower[std::size_t(below)] * (1.0f - weight) +
                  columnPower[std::size_t(above)] * weight;
    for (int k = band.first; k < band.last; ++k)
        power = std::max(power, columnPower[std::size_t(k)]);
    return power;
}

void Sonogram::FlushColumn() {
    if (column < 0) return;
    for (int row = 0; row < rows; ++row) {
        const float power = RowPower(bands[std::size_t(row)]);
        levels[std::size_t(row) * std::size_t(columns) + std::size_t(column)] =
            power < 1e-30f ? silentDb : 10.0f * std::log10(power);
    }
    filled[std::size_t(column)] = true;
    std::fill(columnPower.begin(), columnPower.end(), 0.0f);
}

void Sonogram::Finish() {
    FlushColumn();
    column = -1;
    for (int c = 1; c < columns; ++c) {
        if (filled[std::size_t(c)] || !filled[std::size_t(c - 1)]) continue;
        for (int row = 0; row < rows; ++row) {
            const std::size_t at = std::size_t(row) * std::size_t(columns) + std::size_t(c);
            levels[at] = levels[at - 1];
        }
        filled[std::size_t(c)] = true;
    }
}

Image Sonogram::Render(float lowDb, float highDb) const {
    Image image(columns, rows);
    const ColorMap& map = ColorMap::Levels();
    for (int row = 0; row < rows; ++row)
        for (int c = 0; c < columns; ++c)
            image.Set(c, row, map((LevelDb(c, row) - lowDb) / (highDb - lowDb)));
    return image;
}
