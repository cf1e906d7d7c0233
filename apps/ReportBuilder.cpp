#include "apps/ReportBuilder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "apps/AtomicOutput.h"
#include "apps/ReportHtml.h"
#include "apps/ReportPlot.h"
#include "dsp/Denoise.h"

namespace {

std::string Decibels(double db) {
    if (db < -200.0) return "silence";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", db);
    return text;
}

std::string Fixed(double value, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void Append(std::vector<float>& queue, const float* samples, int frames) {
    if (samples != nullptr) queue.insert(queue.end(), samples, samples + frames);
}

// A level from the noise reducer's units (a sine of amplitude a reads a * N) to dB
// relative to a full-scale sine.
std::vector<float> RelativeToFullScale(std::vector<float> levels, int frameSize) {
    const float offset = 20.0f * std::log10(float(frameSize));
    for (float& level : levels)
        level -= offset;
    return levels;
}

// The queue from frame `at` on; null for an absent channel.
const float* At(const std::vector<float>& queue, std::size_t at) {
    return queue.empty() ? nullptr : queue.data() + at;
}

void DropPaired(std::vector<float> (&queues)[2], std::size_t& paired) {
    if (2 * paired < queues[0].size()) return;
    for (std::vector<float>& queue : queues)
        queue.erase(queue.begin(), queue.begin() + std::ptrdiff_t(std::min(paired, queue.size())));
    paired = 0;
}

} // namespace

ReportBuilder::ReportBuilder(const ReportSetup& setup)
    : setup(setup), noiseFrameSize(Denoise::FrameSizeForRate(int(setup.rate))),
      log(setup.frames, width),
      analysis(AnalysisSetup{setup.rate, setup.channels, setup.frames, noiseFrameSize,
                             setup.outputGainDb, setup.noiseStretch, width, spectrogramHeight}) {}

void ReportBuilder::AddInput(int frames, const float* left, const float* right) {
    Append(pendingInput[0], left, frames);
    Append(pendingInput[1], right, frames);
    Pair();
}

void ReportBuilder::AddOutput(int frames, const float* left, const float* right) {
    Append(pendingOutput[0], left, frames);
    Append(pendingOutput[1], right, frames);
    Pair();
}

// The paired frames are dropped only once they make up half a queue, so that each frame
// is moved at most once on average however small the blocks and long the latency.
void ReportBuilder::Pair() {
    const std::size_t ready =
        std::min(pendingInput[0].size() - pairedInput, pendingOutput[0].size() - pairedOutput);
    if (ready == 0) return;
    const float* input[2] = {At(pendingInput[0], pairedInput), At(pendingInput[1], pairedInput)};
    const float* output[2] = {At(pendingOutput[0], pairedOutput),
                              At(pendingOutput[1], pairedOutput)};
    analysis.Add(int(ready), input, output);
    pairedInput += ready;
    pairedOutput += ready;
    DropPaired(pendingInput, pairedInput);
    DropPaired(pendingOutput, pairedOutput);
}

void ReportBuilder::SetNoiseProfile(const std::vector<std::vector<float>>& rowsDb) {
    const std::size_t bins = std::size_t(noiseFrameSize / 2 + 1);
    profileDb.assign(bins, 0.0f);
    if (rowsDb.empty()) return profileDb.clear();
    // The mean amplitude over the channels, as the long-term spectra average them.
    for (std::size_t k = 0; k < bins; ++k) {
        double amplitude = 0.0;
        for (const std::vector<float>& row : rowsDb)
            amplitude += std::pow(10.0, row[k] / 20.0);
        profileDb[k] =
            float(20.0 * std::log10(amplitude / double(rowsDb.size())) - setup.outputGainDb);
    }
}

void ReportBuilder::AddSetting(std::string name, std::string value) {
    settings.emplace_back(std::move(name), std::move(value));
}

std::string ReportBuilder::Duration(double frames) const {
    return MinutesSeconds(frames / setup.rate, true) + " (" + Fixed(frames, "%.0f") + " frames)";
}

std::vector<std::vector<std::string>> ReportBuilder::RepairRows() const {
    std::vector<std::vector<std::string>> rows{
        {"stage", "repairs", "total length", "longest", "loudest sample replaced"}};
    const auto milliseconds = [&](double frames) {
        return Fixed(1000.0 * frames / setup.rate, "%.1f ms");
    };
    for (auto [kind, name] :
         {std::pair{DSP::RepairKind::click, "declick: clicks repaired"},
          std::pair{DSP::RepairKind::clippedRun, "declip: clipped runs rebuilt"}}) {
        const RepairLog::Totals& totals = log.TotalsOf(kind);
        rows.push_back(
            {name, std::to_string(totals.count), milliseconds(double(totals.frames)),
             milliseconds(totals.longest),
             totals.count ? Decibels(20.0 * std::log10(std::max(totals.loudest, 1e-15f))) : "-"});
    }
    return rows;
}

void ReportBuilder::AddTables(HtmlPage& page) const {
    page.Heading("The run");
    std::vector<std::vector<std::string>> run{
        {"duration", Duration(double(setup.frames))},
        {"audio",
         std::to_string(setup.rate) + " Hz, " + (setup.channels == 2 ? "stereo" : "mono")}};
    for (const auto& [name, value] : settings)
        run.push_back({name, value});
    if (processingSeconds && *processingSeconds > 0.0)
        run.push_back(
            {"processing speed",
             Fixed(double(setup.frames) / setup.rate / *processingSeconds, "%.1f x real time")});
    run.push_back({"noise learnt from", setup.noiseSource.empty() ? "-" : setup.noiseSource});
    page.Table(run, false);

    page.Heading("Levels (RMS)");
    const LevelPair whole = analysis.WholeLevels();
    std::vector<std::vector<std::string>> levels{
        {"", "input", "output"}, {"whole file", Decibels(whole.inputDb), Decibels(whole.outputDb)}};
    if (const auto noise = analysis.NoiseStretchLevels())
        levels.push_back(
            {"noise-only stretch", Decibels(noise->inputDb), Decibels(noise->outputDb)});
    page.Table(levels, true);

    page.Heading("Repairs");
    if (setup.repairsObserved) {
        page.Table(RepairRows(), true);
        AddRepairList(page);
    } else {
        page.Paragraph("Not known: these files were restored earlier, so the stages could not "
                       "report their repairs; the timeline shows none.");
    }
}

void ReportBuilder::AddRepairList(HtmlPage& page) const {
    const std::vector<DSP::Repair>& repairs = log.FirstRepairs();
    if (repairs.empty()) return;
    std::vector<std::vector<std::string>> rows{
        {"time", "repair", "channel", "length", "loudest sample"}};
    for (const DSP::Repair& repair : repairs) {
        const long long ms = std::llround(1000.0 * double(repair.start) / setup.rate);
        rows.push_back({MinutesSeconds(double(ms / 1000)) + Fixed(double(ms % 1000), ".%03.0f"),
                        repair.kind == DSP::RepairKind::click ? "click" : "clipped run",
                        setup.channels == 1   ? "mono"
                        : repair.channel == 0 ? "left"
                                              : "right",
                        Fixed(1000.0 * repair.length / setup.rate, "%.2f ms"),
                        Decibels(20.0 * std::log10(std::max(repair.peak, 1e-15f)))});
    }
    const std::string summary =
        "The first " + std::to_string(repairs.size()) + " repairs, one by one";
    page.Table(rows, true, summary);
}

void ReportBuilder::AddTimeline(HtmlPage& page) const {
    using L = TimelineLanes;
    const Image timeline =
        TimelinePlot(log, analysis.InputPeaks(), analysis.OutputPeaks(), setup.noiseStretch);
    page.Key({{ReportColours::input, "input peaks"},
              {ReportColours::output, "output peaks (level-matched)"},
              {ReportColours::noiseStretch, "noise-only stretch"},
              {ReportColours::click, "click repaired"},
              {ReportColours::clippedRun, "clipped run rebuilt"}});
    page.AddFigure({"timeline",
                    "",
                    timeline,
                    {{L::waveTop + L::waveHeight / 2.0, "waveform"},
                     {L::clickTop + L::laneHeight / 2.0, "clicks"},
                     {L::clipTop + L::laneHeight / 2.0, "clipped"}},
                    TimeAxis(double(setup.frames) / setup.rate, width).Ticks(),
                    ""});
}

void ReportBuilder::AddSpectrograms(HtmlPage& page) const {
    constexpr int legendWidth = 300;
    std::vector<Tick> legendTicks;
    for (float db = lowestDb; db <= highestDb; db += 20.0f)
        legendTicks.push_back(
            {(db - lowestDb) / (highestDb - lowestDb) * legendWidth, Fixed(db, "%.0f dB")});
    const Image legend = LevelLegend(legendWidth, 14);
    page.AddFigure(
        {"legend", "Colour scale (0 dB: a full-scale sine)", legend, {}, legendTicks, ""});
    const std::vector<Tick> frequencies = analysis.Axis().Ticks();
    const std::vector<Tick> times = TimeAxis(double(setup.frames) / setup.rate, width).Ticks();
    const std::string matched =
        setup.outputGainDb != 0.0
            ? Fixed(-setup.outputGainDb, " (raised %+.1f dB to match the input)")
            : "";
    const struct {
        const char* id;
        std::string title;
        const Sonogram& spectrogram;
    } pictures[] = {{"input", "Input", analysis.Input()},
                    {"output", "Output" + matched, analysis.Output()},
                    {"removed", "Removed: input minus output" + matched, analysis.Removed()}};
    for (const auto& picture : pictures) {
        const Image image = picture.spectrogram.Render(lowestDb, highestDb);
        page.AddFigure({picture.id, picture.title, image, frequencies, times, ""});
    }
}

void ReportBuilder::AddSpectra(HtmlPage& page) const {
    const double nyquist = setup.rate / 2.0;
    const double hzPerBin = double(setup.rate) / noiseFrameSize;
    std::vector<SpectrumCurve> curves{
        {RelativeToFullScale(analysis.InputSpectrumDb(), noiseFrameSize), hzPerBin,
         ReportColours::input},
        {RelativeToFullScale(analysis.OutputSpectrumDb(), noiseFrameSize), hzPerBin,
         ReportColours::output}};
    if (!profileDb.empty())
        curves.push_back(
            {RelativeToFullScale(profileDb, noiseFrameSize), hzPerBin, ReportColours::profile});
    float loudest = -200.0f;
    for (const SpectrumCurve& curve : curves)
        loudest =
            std::max(loudest, *std::max_element(curve.levelsDb.begin() + 1, curve.levelsDb.end()));
    const double top = std::ceil(loudest / 10.0) * 10.0 + 10.0;
    const LevelAxis levels(top, top - 120.0, spectrumHeight);
    const FrequencyAxis frequencies(RestoreAnalysis::lowestHz, nyquist, width, false);
    const Image plot = SpectrumPlot(frequencies, levels, curves);
    std::vector<KeyEntry> key{{ReportColours::input, "input, long-term mean"},
                              {ReportColours::output, "output, long-term mean (level-matched)"}};
    if (!profileDb.empty())
        key.push_back(
            {ReportColours::profile, std::string("learnt noise profile") +
                                         (setup.outputGainDb != 0.0 ? " (level-matched)" : "")});
    page.Key(key);
    page.AddFigure({"spectra", "", plot, levels.Ticks(), frequencies.Ticks(),
                    "Mean amplitude per band of " + std::to_string(noiseFrameSize) +
                        " samples (the noise reducer's resolution); 0 dB: a full-scale sine." +
                        (profileDb.empty() ? " No noise profile was used." : "")});
}

std::string ReportBuilder::Page() {
    if (!finished) {
        analysis.Finish();
        finished = true;
    }
    HtmlPage page(setup.title);
    AddTables(page);
    page.Heading("Timeline");
    AddTimeline(page);
    page.Heading("Spectrograms");
    AddSpectrograms(page);
    page.Heading("Noise profile and long-term spectra");
    AddSpectra(page);
    return page.Text();
}

void ReportBuilder::WriteHtml(const std::string& path, bool replace) {
    AtomicOutput output(path, replace);
    WriteHtml(output);
}

void ReportBuilder::WriteHtml(AtomicOutput& output) {
    const std::string text = Page();
    output.WriteAll(text.data(), text.size());
    output.Commit();
}

std::vector<std::vector<float>> NoiseProfileFromState(const std::vector<std::uint8_t>& state) {
    constexpr std::size_t rows = 2;
    const std::size_t bins = Denoise::profileBins;
    std::vector<std::vector<float>> profile(rows, std::vector<float>(bins));
    if (state.size() < rows * bins * 4) return {};
    const std::uint8_t* at = state.data() + state.size() - rows * bins * 4;
    for (std::vector<float>& row : profile) {
        for (float& level : row) {
            const std::uint32_t bits = std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 |
                                       std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
            level = std::bit_cast<float>(bits);
            at += 4;
        }
    }
    return profile;
}
