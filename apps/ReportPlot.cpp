#include "apps/ReportPlot.h"

#include <algorithm>
#include <cmath>

#include "apps/ColorMap.h"

namespace {

void VerticalLine(Image& image, int x, int from, int to, Rgb colour) {
    for (int y = std::min(from, to); y <= std::max(from, to); ++y)
        image.Plot(x, y, colour);
}

void HorizontalLine(Image& image, int y, Rgb colour) {
    for (int x = 0; x < image.Width(); ++x)
        image.Plot(x, y, colour);
}

// The largest level among the bins of [lowHz, highHz), or the level interpolated at
// their middle when no bin lies inside.
float LevelOver(const SpectrumCurve& curve, double lowHz, double highHz) {
    const int bins = int(curve.levelsDb.size());
    const int first = std::max(0, int(std::ceil(lowHz / curve.hzPerBin)));
    const int last = std::min(bins, int(std::ceil(highHz / curve.hzPerBin)));
    if (first < last)
        return *std::max_element(curve.levelsDb.begin() + first, curve.levelsDb.begin() + last);
    const double at = std::clamp(std::sqrt(lowHz * highHz) / curve.hzPerBin, 0.0, bins - 1.0);
    const int below = std::min(int(at), bins - 2);
    const float weight = float(at - below);
    return curve.levelsDb[std::size_t(below)] * (1.0f - weight) +
           curve.levelsDb[std::size_t(below + 1)] * weight;
}

// A mark rising from the bottom of the lane, the taller the longer the column's longest
// repair is against the longest of the file.
void MarkRepairs(Image& image, const RepairLog& log, DSP::RepairKind kind, int x, int laneTop,
                 Rgb colour) {
    const RepairLog::Column& column = log.ColumnsOf(kind)[std::size_t(x)];
    if (column.count == 0) return;
    const int height = TimelineLanes::laneHeight;
    const double share = double(column.longest) / std::max(log.TotalsOf(kind).longest, 1);
    const int rise = std::clamp(int(std::lround(height * (0.4 + 0.6 * share))), 1, height);
    VerticalLine(image, x, laneTop + height - rise, laneTop + height - 1, colour);
}

} // namespace

Image SpectrumPlot(const FrequencyAxis& x, const LevelAxis& y,
                   const std::vector<SpectrumCurve>& curves) {
    const int height = int(std::lround(y.Position(y.Bottom())));
    Image image(x.Pixels(), height, ReportColours::paper);
    for (const Tick& tick : x.Ticks())
        VerticalLine(image, int(tick.position), 0, height - 1, ReportColours::grid);
    for (const Tick& tick : y.Ticks())
        HorizontalLine(image, int(tick.position), ReportColours::grid);
    for (const SpectrumCurve& curve : curves) {
        int previous = -1;
        for (int column = 0; column < x.Pixels(); ++column) {
            const float db = LevelOver(curve, x.Frequency(column), x.Frequency(column + 1));
            const int row = std::clamp(int(y.Position(db)), 0, height - 1);
            // Two pixels wide, joined to the previous column.
            VerticalLine(image, column, previous < 0 ? row : previous, row, curve.colour);
            VerticalLine(image, column, row + 1, row + 1, curve.colour);
            previous = row;
        }
    }
    return image;
}

Image TimelinePlot(const RepairLog& log, const std::vector<float>& inputPeaks,
                   const std::vector<float>& outputPeaks, std::optional<FrameRange> noiseStretch) {
    using L = TimelineLanes;
    const int width = log.ColumnCount();
    Image image(width, L::height, ReportColours::paper);
    const int middle = L::waveTop + L::waveHeight / 2;
    const auto halfHeight = [&](float peak) {
        return int(std::lround(std::min(peak, 1.0f) * (L::waveHeight / 2 - 1)));
    };
    for (int x = 0; x < width; ++x) {
        const std::size_t i = std::size_t(x);
        if (noiseStretch && x >= log.ColumnOf(noiseStretch->first) &&
            x <= log.ColumnOf(noiseStretch->last - 1))
            VerticalLine(image, x, L::waveTop, L::waveTop + L::waveHeight - 1,
                         ReportColours::noiseStretch);
        const int in = halfHeight(inputPeaks[i]);
        const int out = halfHeight(outputPeaks[i]);
        VerticalLine(image, x, middle - in, middle + in, ReportColours::input);
        VerticalLine(image, x, middle - out, middle + out, ReportColours::output);
        MarkRepairs(image, log, DSP::RepairKind::click, x, L::clickTop, ReportColours::click);
        MarkRepairs(image, log, DSP::RepairKind::clippedRun, x, L::clipTop,
                    ReportColours::clippedRun);
    }
    for (int lane : {L::clickTop + L::laneHeight / 2, L::clipTop + L::laneHeight / 2})
        for (int x = 0; x < width; ++x)
            if (image.At(x, lane) == ReportColours::paper) image.Set(x, lane, ReportColours::grid);
    return image;
}

Image LevelLegend(int width, int height) {
    Image image(width, height);
    const ColorMap& map = ColorMap::Levels();
    for (int x = 0; x < width; ++x) {
        const Rgb colour = map((x + 0.5f) / float(width));
        for (int y = 0; y < height; ++y)
            image.Set(x, y, colour);
    }
    return image;
}
