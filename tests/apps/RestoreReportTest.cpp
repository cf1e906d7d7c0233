// The report of a restore as a user meets it: the stages' repairs heard at the input
// frame where they began, the same counts on the page `sonavel restore --report` writes,
// and `sonavel report` on two files restored earlier.

#include "CliFixture.h"

#include <cmath>
#include <cstdlib>

#include "apps/HostPlugin.h"
#include "apps/MemoryFrames.h"
#include "apps/Progress.h"
#include "apps/RepairLog.h"
#include "apps/Settings.h"
#include "apps/StreamRunner.h"

using namespace cli_test;

namespace {

constexpr std::int64_t clickFrame = 110250;  // 2.5 s
constexpr std::int64_t clippedFrame = 88200; // 2.0 s
constexpr int clippedLength = 20;

// A quiet tone over hiss with one click at 2.5 s and one flat-topped clipped run at 2 s.
StereoSignal ClickAndClip() {
    StereoSignal s;
    const std::size_t frames = 5 * 44100;
    std::srand(3);
    for (std::size_t i = 0; i < frames; ++i) {
        const float hiss = 0.002f * (float(std::rand()) / float(RAND_MAX) - 0.5f);
        s.left.push_back(0.2f * float(std::sin(2.0 * M_PI * 440.0 * double(i) / 44100.0)) + hiss);
    }
    const float click[] = {0.6f, -0.5f, 0.4f, -0.3f};
    for (int k = 0; k < 4; ++k)
        s.left[std::size_t(clickFrame + k)] += click[k];
    for (int k = 0; k < clippedLength; ++k)
        s.left[std::size_t(clippedFrame + k)] = 1.0f;
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

std::int64_t FirstStart(const RepairLog& log, DSP::RepairKind kind) {
    for (const DSP::Repair& repair : log.FirstRepairs())
        if (repair.kind == kind) return repair.start;
    return -1;
}

// The number in the repairs table's row for that stage.
long TableCount(const std::string& page, const std::string& row) {
    const std::string cell = row + "</td><td class=\"n\">";
    const std::size_t at = page.find(cell);
    if (at == std::string::npos) return -1;
    return std::strtol(page.c_str() + at + cell.size(), nullptr, 10);
}

} // namespace

TEST(RestoreReport, StagesReportEachRepairAtTheInputFrameWhereItBegan) {
    const StereoSignal s = ClickAndClip();
    for (const bool declip : {true, false}) {
        SCOPED_TRACE(declip ? "declip on" : "declip off");
        const RepairLog log = Heard(s, declip);
        const RepairLog::Totals& clicks = log.TotalsOf(DSP::RepairKind::click);
        EXPECT_GE(clicks.count, 2);
        bool clickHeard[2] = {false, false};
        for (const DSP::Repair& repair : log.FirstRepairs())
            if (repair.kind == DSP::RepairKind::click &&
                std::llabs(repair.start - clickFrame) <= 3) {
                clickHeard[repair.channel] = true;
                // At the input's level, whether or not the declipper lowered it before.
                EXPECT_NEAR(repair.peak, 0.6f, 0.05f);
            }
        EXPECT_TRUE(clickHeard[0] && clickHeard[1]);
        if (declip) {
            EXPECT_EQ(log.TotalsOf(DSP::RepairKind::clippedRun).count, 2);
            EXPECT_NEAR(double(FirstStart(log, DSP::RepairKind::clippedRun)), double(clippedFrame),
                        2.0);
            EXPECT_NEAR(log.TotalsOf(DSP::RepairKind::clippedRun).loudest, 1.0f, 1e-6f);
        } else {
            EXPECT_EQ(log.TotalsOf(DSP::RepairKind::clippedRun).count, 0);
        }
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
