#pragma once
// The report's drawn pictures besides the spectrograms: spectra as lines over a
// logarithmic frequency axis, the timeline of the file with its repairs, and the colour
// scale's legend. Labels are not drawn here: the page prints them beside the pictures at
// the positions the axes give.

#include <cstdint>
#include <optional>
#include <vector>

#include "apps/Image.h"
#include "apps/RepairLog.h"
#include "apps/ReportAxes.h"
#include "apps/RestoreAnalysis.h"

namespace ReportColours {
inline constexpr Rgb paper{255, 255, 255};
inline constexpr Rgb grid{225, 225, 225};
inline constexpr Rgb input{150, 150, 150};
inline constexpr Rgb output{31, 94, 168};
inline constexpr Rgb profile{214, 39, 40};
inline constexpr Rgb click{214, 39, 40};
inline constexpr Rgb clippedRun{230, 140, 0};
inline constexpr Rgb noiseStretch{214, 238, 214};
} // namespace ReportColours

// Levels in dB per bin, bin k lying at k * hzPerBin.
struct SpectrumCurve {
    std::vector<float> levelsDb;
    double hzPerBin;
    Rgb colour;
};

// The curves drawn in order (later ones on top) over grid lines at the axes' ticks;
// each pixel column shows the largest level among the bins it covers.
Image SpectrumPlot(const FrequencyAxis& x, const LevelAxis& y,
                   const std::vector<SpectrumCurve>& curves);

// Lanes of the timeline, in pixel rows from the top.
struct TimelineLanes {
    static constexpr int waveTop = 0, waveHeight = 64;
    static constexpr int clickTop = 70, clipTop = 96, laneHeight = 20;
    static constexpr int height = clipTop + laneHeight;
};

// The peaks of the input (grey) and the output (blue) per column with the noise-only
// stretch shaded, then a lane marking every column with a repaired click and one marking
// every column with a rebuilt clipped run; a mark's height grows with the longest repair
// in its column.
Image TimelinePlot(const RepairLog& log, const std::vector<float>& inputPeaks,
                   const std::vector<float>& outputPeaks, std::optional<FrameRange> noiseStretch);

// The colour scale as a horizontal bar, darkest at the left.
Image LevelLegend(int width, int height);
