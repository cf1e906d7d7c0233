// The report judged by what it shows: pictures decoded from the page and read against
// the tick labels printed beside them, and the numbers in its tables; then the report of
// a restore as a user meets it: the stages' repairs heard at the input frame where they
// began, the same counts on the page `sonavel restore --report` writes, and `sonavel
// report` on two files restored earlier.

#include <cstdlib>
#include <numbers>

#include "apps/ColorMap.h"
#include "apps/HostPlugin.h"
#include "apps/MemoryFrames.h"
#include "apps/Png.h"
#include "apps/Progress.h"
#include "apps/RepairLog.h"
#include "apps/ReportBuilder.h"
#include "apps/ReportPlot.h"
#include "apps/Settings.h"
#include "apps/StreamRunner.h"
#include "dsp/Decibels.h"
#include "dsp/Denoise.h"
#include "primitives/Vec.h"
#include "tests/apps/CliFixture.h"
#include "tests/apps/ReportPage.h"

namespace {

using namespace cli_test;

constexpr std::uint32_t rate = 44100;

using Mono = std::vector<float>;

Mono Sine(double hz, float amplitude, double seconds) {
    Mono m;
    for (int i = 0; i < int(seconds * rate); ++i)
        m.push_back(amplitude * float(std::sin(2.0 * std::numbers::pi * hz * i / rate)));
    return m;
}

// The page of a mono restore from `input` to `output`, fed in host-sized blocks with the
// output `lag` frames behind the input, as a restore delivers it.
std::string Report(ReportBuilder& builder, const Mono& input, const Mono& output, int lag = 0) {
    const int block = 4410, frames = int(input.size());
    for (int at = 0; at < frames + lag; at += block) {
        if (at < frames) builder.AddInput(std::min(block, frames - at), input.data() + at, nullptr);
        const int from = at - lag, end = std::min(frames, from + block);
        if (end > std::max(from, 0))
            builder.AddOutput(end - std::max(from, 0), output.data() + std::max(from, 0), nullptr);
    }
    return builder.Page();
}

ReportSetup MonoSetup(std::size_t frames, double outputGainDb = 0.0) {
    return {"test", rate, 1, std::int64_t(frames), outputGainDb, {}, ""};
}

Image Picture(const std::string& page, const std::string& id) {
    for (auto& [alt, image] : Pictures(page))
        if (alt == id) return image;
    ADD_FAILURE() << "no picture " << id;
    return {};
}

// The labelled ticks of a figure's axis ("y" or "x"): position of the picture's pixel
// edge (the page puts a one-pixel border around it) and the label.
std::vector<std::pair<double, std::string>> Ticks(const std::string& page, const std::string& id,
                                                  const std::string& axis) {
    const std::string figure = LabelsOf(page, id), marker = "class=\"" + axis + "\" style=\"";
    std::vector<std::pair<double, std::string>> ticks;
    for (std::size_t at = figure.find(marker); at != std::string::npos;
         at = figure.find(marker, at + 1)) {
        const std::size_t number = figure.find(':', at + marker.size()) + 1;
        const std::size_t label = figure.find('>', number) + 1;
        ticks.emplace_back(std::stod(figure.substr(number)) - 1.0,
                           figure.substr(label, figure.find('<', label) - label));
    }
    return ticks;
}

double Hertz(const std::string& label) {
    return std::stod(label) * (label.find("kHz") != std::string::npos ? 1000.0 : 1.0);
}

double Seconds(const std::string& label) {
    return 60.0 * std::stod(label) + std::stod(label.substr(label.find(':') + 1));
}

// Reads a position off a labelled axis by interpolating between the ticks around it,
// on a log scale (frequency) or a linear one (time).
template <class Value>
double ReadAxis(const std::vector<std::pair<double, std::string>>& ticks, double position,
                Value value, bool logarithmic) {
    for (std::size_t i = 0; i + 1 < ticks.size(); ++i) {
        const double a = ticks[i].first, b = ticks[i + 1].first;
        if ((position - a) * (position - b) > 0.0) continue;
        const double t = (position - a) / (b - a);
        const double from = value(ticks[i].second), to = value(ticks[i + 1].second);
        return logarithmic ? from * std::pow(to / from, t) : from + (to - from) * t;
    }
    ADD_FAILURE() << "position " << position << " lies outside the labelled ticks";
    return 0.0;
}

// Relative luminance of an sRGB colour, 0 to 255.
double Luma(Rgb c) {
    const auto linear = [](std::uint8_t v) {
        const double x = v / 255.0;
        return x <= 0.04045 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
    };
    return 255.0 * (0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b));
}

double Brightest(const Image& image) {
    double brightest = 0.0;
    for (const Rgb& pixel : image.Pixels())
        brightest = std::max(brightest, Luma(pixel));
    return brightest;
}

TEST(ReportTest, ColourScaleGrowsInLightnessSoItReadsInGrey) {
    const ColorMap& map = ColorMap::Levels();
    for (int i = 1; i < ColorMap::steps; ++i)
        EXPECT_GT(Luma(map(i / 255.0f)), Luma(map((i - 1) / 255.0f))) << i;
    EXPECT_LT(Luma(map(0.0f)), 2.0);
    EXPECT_GT(Luma(map(1.0f)), 200.0);
}

// The output of a clean tone is the input 6 dB down (the declipper's headroom) and later
// by the latency; once both are undone nothing shows as removed.
TEST(ReportTest, ToneAppearsAtItsFrequencyAndACleanFileRemovesNothing) {
    for (double hz : {250.0, 1000.0, 6000.0}) {
        const Mono tone = Sine(hz, 0.5f, 3.0);
        Mono quieter = tone;
        VecMulC(int(quieter.size()), quieter.data(), DSP::DbToAmplitude(-6.0f));
        ReportBuilder builder(MonoSetup(tone.size(), -6.0));
        const std::string page = Report(builder, tone, quieter, 12345);
        const Image input = Picture(page, "input");
        for (int column : {5, input.Width() / 2, input.Width() - 5}) {
            int brightest = 0;
            for (int row = 1; row < input.Height(); ++row)
                if (Luma(input.At(column, row)) > Luma(input.At(column, brightest)))
                    brightest = row;
            const double read = ReadAxis(Ticks(page, "input", "y"), brightest + 0.5, Hertz, true);
            EXPECT_NEAR(read / hz, 1.0, 0.03) << hz << " Hz, column " << column;
        }
        EXPECT_GT(Brightest(input), Luma(ColorMap::Levels()(0.9f))) << hz;
        EXPECT_LT(Brightest(Picture(page, "removed")), Luma(ColorMap::Levels()(0.15f))) << hz;
    }
}

TEST(ReportTest, RemovedClickShowsAtItsTimeInSpectrogramAndTimeline) {
    const Mono hiss = WhiteNoise(5 * rate, 0.001f, 1);
    Mono clicked = hiss;
    const int at = int(2.5 * rate);
    for (int i = 0; i < 4; ++i)
        clicked[std::size_t(at + i)] += 0.8f * (i % 2 ? -1.0f : 1.0f);
    ReportBuilder builder(MonoSetup(hiss.size()));
    builder.Observer().OnRepair({DSP::RepairKind::click, 0, at, 4, 0.8f});
    const std::string page = Report(builder, clicked, hiss, 3000);

    const Image removed = Picture(page, "removed");
    int loudest = 0;
    std::vector<double> brightness(std::size_t(removed.Width()), 0.0);
    for (int x = 0; x < removed.Width(); ++x) {
        for (int y = 0; y < removed.Height(); ++y)
            brightness[std::size_t(x)] += Luma(removed.At(x, y)) / removed.Height();
        if (brightness[std::size_t(x)] > brightness[std::size_t(loudest)]) loudest = x;
    }
    EXPECT_NEAR(ReadAxis(Ticks(page, "removed", "x"), loudest + 0.5, Seconds, false), 2.5, 0.012);
    // Away from the click nothing was removed: the columns stay at the darkest colour.
    const double dark = Luma(ColorMap::Levels()(0.0f));
    for (int x = 0; x < removed.Width(); ++x)
        if (std::abs(x - loudest) > 3) {
            ASSERT_NEAR(brightness[std::size_t(x)], dark, 2.0) << x;
        }
    EXPECT_GT(brightness[std::size_t(loudest)], dark + 20.0);

    const Image timeline = Picture(page, "timeline");
    std::vector<int> marked;
    for (int x = 0; x < timeline.Width(); ++x)
        if (timeline.At(x, TimelineLanes::clickTop + TimelineLanes::laneHeight - 1) ==
            ReportColours::click)
            marked.push_back(x);
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_NEAR(ReadAxis(Ticks(page, "timeline", "x"), marked[0] + 0.5, Seconds, false), 2.5,
                0.012);
    EXPECT_EQ(timeline.At(marked[0], TimelineLanes::clipTop + TimelineLanes::laneHeight - 1),
              ReportColours::paper);
}

TEST(ReportTest, TablesGiveTheRepairsAndLevelsMeasured) {
    const Mono tone = Sine(1000.0, 0.5f, 4.0);
    Mono halved = tone;
    VecMulC(2 * rate, halved.data(), 0.5f);
    ReportBuilder builder({"test", rate, 1, std::int64_t(tone.size()), 0.0, FrameRange{0, 2 * rate},
                           "0:00-0:02 of the input"});
    for (int i = 0; i < 7; ++i)
        builder.Observer().OnRepair({DSP::RepairKind::click, 0, 10000 * i, 3 + i, 0.25f});
    builder.Observer().OnRepair({DSP::RepairKind::clippedRun, 0, 90000, 441, 1.0f});
    builder.AddSetting("declick sensitivity", "0.5");
    builder.SetProcessingSeconds(0.5);
    const std::string page = Report(builder, tone, halved);

    const auto has = [&](const std::string& text) {
        EXPECT_NE(page.find(text), std::string::npos) << text;
    };
    // 42 frames are 0.95 ms, 9 frames 0.20 ms, the 0.25 peak is -12 dBFS.
    has("<td>declick: clicks repaired</td><td class=\"n\">7</td><td class=\"n\">1.0 ms</td>"
        "<td class=\"n\">0.2 ms</td><td class=\"n\">-12.0 dBFS</td>");
    has("<td>declip: clipped runs rebuilt</td><td class=\"n\">1</td><td class=\"n\">10.0 ms</td>");
    // A sine of 0.5 is at -9.0 dBFS RMS; halved over the stretch, -15.1; the file's mean of
    // both halves -11.1.
    has("<td>whole file</td><td class=\"n\">-9.0 dBFS</td><td class=\"n\">-11.1 dBFS</td>");
    has("<td>noise-only stretch</td><td class=\"n\">-9.0 dBFS</td><td class=\"n\">-15.1 dBFS</td>");
    has("<td>processing speed</td><td>8.0 x real time</td>");
    has("<td>declick sensitivity</td><td>0.5</td>");
    // Each repair listed: the second click at 10000 frames, 0.227 s, 4 frames long.
    has("The first 8 repairs");
    has("<td>0:00.227</td><td class=\"n\">click</td><td class=\"n\">mono</td>"
        "<td class=\"n\">0.09 ms</td><td class=\"n\">-12.0 dBFS</td>");
    has("<td>noise learnt from</td><td>0:00-0:02 of the input</td>");
}

TEST(ReportTest, ProfileOfNoiseLiesOnTheLongTermLevelsOfThatNoise) {
    const Mono hiss = WhiteNoise(3 * rate, 0.01f, 1);
    LongTermLevels measured(Denoise::FrameSizeForRate(rate), std::int64_t(hiss.size()));
    while (measured.NextStart() + measured.Size() <= std::int64_t(hiss.size()))
        measured.Add({hiss.data() + measured.NextStart()});
    ReportBuilder builder(MonoSetup(hiss.size()));
    builder.SetNoiseProfile({measured.LevelsDb()});
    const Image plot = Picture(Report(builder, hiss, hiss), "spectra");
    // The profile (drawn last) covers the input's and output's lines wherever they agree.
    int profileColumns = 0;
    for (int x = 0; x < plot.Width(); ++x) {
        bool profile = false, input = false;
        for (int y = 0; y < plot.Height(); ++y) {
            profile |= plot.At(x, y) == ReportColours::profile;
            input |= plot.At(x, y) == ReportColours::input;
        }
        profileColumns += profile;
        EXPECT_FALSE(input && x > 200) << x;
    }
    EXPECT_EQ(profileColumns, plot.Width());
}

constexpr std::int64_t clickFrame = 110250;  // 2.5 s
constexpr std::int64_t clippedFrame = 88200; // 2.0 s
constexpr int clippedLength = 20;

// A quiet tone over hiss with one click at 2.5 s and one flat-topped clipped run at 2 s.
StereoSignal ClickAndClip() {
    StereoSignal s;
    s.left = Sine(440.0, 0.2f, 5.0);
    VecAdd(int(s.left.size()), WhiteNoise(s.left.size(), 0.0006f, 3).data(), s.left.data());
    const float click[] = {0.6f, -0.5f, 0.4f, -0.3f};
    VecAdd(4, click, &s.left[clickFrame]);
    VecSet(clippedLength, &s.left[clippedFrame], 1.0f);
    s.right = s.left;
    return s;
}

// What the stages report while the command line's stream runner restores `s` in high
// quality, the default of `restore`.
RepairLog Heard(const StereoSignal& s, bool declip) {
    HostPlugin plugin;
    plugin.SetHighQuality(true);
    BoolParamRef(plugin, ParamName::enableDeclipping).Set(declip);
    RepairLog log(std::int64_t(s.Frames()), 900);
    StreamRunner runner(plugin, 2, s.rate);
    plugin.ListenForRepairs(&log);
    MemorySource play(s);
    DiscardSink discard;
    Progress silent("", 0, true);
    runner.Restore(play, discard, silent);
    plugin.ListenForRepairs(nullptr);
    return log;
}

// The number in the repairs table's row for that stage.
long TableCount(const std::string& page, const std::string& row) {
    const std::string cell = row + "</td><td class=\"n\">";
    const std::size_t at = page.find(cell);
    if (at == std::string::npos) return -1;
    return std::strtol(page.c_str() + at + cell.size(), nullptr, 10);
}

TEST(RestoreReport, StagesReportEachRepairAtTheInputFrameWhereItBegan) {
    const StereoSignal s = ClickAndClip();
    for (const bool declip : {true, false}) {
        SCOPED_TRACE(declip ? "declip on" : "declip off");
        const RepairLog log = Heard(s, declip);
        EXPECT_GE(log.TotalsOf(DSP::RepairKind::click).count, 2);
        bool clickHeard[2] = {false, false};
        for (const DSP::Repair& repair : log.FirstRepairs()) {
            const bool clipped = repair.kind == DSP::RepairKind::clippedRun;
            EXPECT_TRUE(!clipped || std::llabs(repair.start - clippedFrame) <= 2) << repair.start;
            if (clipped || std::llabs(repair.start - clickFrame) > 3) continue;
            clickHeard[repair.channel] = true;
            // At the input's level, whether or not the declipper lowered it before.
            EXPECT_NEAR(repair.peak, 0.6f, 0.05f);
        }
        EXPECT_TRUE(clickHeard[0] && clickHeard[1]);
        const RepairLog::Totals& clipped = log.TotalsOf(DSP::RepairKind::clippedRun);
        EXPECT_EQ(clipped.count, declip ? 2 : 0);
        EXPECT_NEAR(clipped.loudest, declip ? 1.0f : 0.0f, 1e-6f);
    }
}

TEST_F(Cli, RestoreReportCountsWhatTheStagesReportedAndReportComparesTwoFiles) {
    const StereoSignal s = ClickAndClip();
    Write(At("in.wav"), s);
    const RepairLog heard = Heard(s, true);

    // A report path that cannot be written fails before anything is restored.
    const RunResult bad =
        Sonavel({"restore", At("in.wav"), At("out.wav"), "--report", At("no/such/r.html")});
    EXPECT_EQ(bad.code, 4) << bad.err;
    EXPECT_FALSE(fs::exists(At("out.wav")));

    Ok({"restore", At("in.wav"), At("out.wav"), "--report", At("r.html"), "--quiet"});
    const std::string page = ReadText(At("r.html"));
    EXPECT_EQ(TableCount(page, "declick: clicks repaired"),
              heard.TotalsOf(DSP::RepairKind::click).count);
    EXPECT_EQ(TableCount(page, "declip: clipped runs rebuilt"), 2);
    EXPECT_NE(page.find("0:02.500</td><td class=\"n\">click"), std::string::npos);
    EXPECT_NE(page.find("Declick Sensitivity</td><td>0.50"), std::string::npos);

    // Two files alone: the repairs are unknown and the declipper's gain is found, or given.
    Ok({"report", At("in.wav"), At("out.wav"), At("later.html")});
    const std::string later = ReadText(At("later.html"));
    EXPECT_NE(later.find("Not known"), std::string::npos);
    EXPECT_NE(later.find("-6.00 dB (estimated)"), std::string::npos);
    Ok({"restore", At("in.wav"), At("plain.wav"), "--no-declip", "--no-denoise", "--quiet"});
    Ok({"report", At("in.wav"), At("plain.wav"), At("plain.html")});
    EXPECT_NE(ReadText(At("plain.html")).find("0.00 dB (estimated)"), std::string::npos);
    Ok({"report", At("in.wav"), At("in.wav"), At("x.html"), "--declip-gain", "-6"});
    EXPECT_NE(ReadText(At("x.html")).find("-6.00 dB (given)"), std::string::npos);
}

} // namespace
