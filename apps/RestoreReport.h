#pragma once
// The report of a run of the command line. For `sonavel restore --report` it opens the
// page's file before anything is restored (a bad path fails at once), listens to the
// stages and taps the audio while the file is restored, then adds the noise profile and
// the settings and writes the page. `sonavel report` builds the same page from two files
// restored earlier; without the stages to listen to, its repairs are unknown.

#include <optional>
#include <string>

#include "apps/AtomicOutput.h"
#include "apps/Options.h"
#include "apps/ReportBuilder.h"

class AudioReader;
class FrameSink;
class FrameSource;
class HostPlugin;
class Progress;
class StreamRunner;

class RestoreReport {
public:
    // `noiseStretch`: the frames of the input the noise is learnt from, if it is learnt
    // from the input itself. Reads the plug-in's settings as they are now.
    RestoreReport(const RestoreOptions& options, const AudioReader& input, HostPlugin& plugin,
                  std::optional<FrameRange> noiseStretch);

    // runner.Restore with the stages listened to and the audio shown to the report,
    // timed for the processing speed.
    void Restore(StreamRunner& runner, FrameSource& source, FrameSink& sink, Progress& progress);
    // Where the noise was learnt from when --train auto found it.
    void SetNoiseSource(std::string words) { report.SetNoiseSource(std::move(words)); }
    // Adds the noise profile and the settings and commits the page.
    void Finish(const AudioReader& input, int outputFormat);

private:
    HostPlugin& plugin;
    AtomicOutput page;
    ReportBuilder report;
};

// The plug-in's side of the settings table: every parameter, the latency at `rate`, and
// the learnt noise profile when noise reduction is on.
void AddPluginSettings(ReportBuilder& report, HostPlugin& plugin, std::uint32_t rate);

// `sonavel report INPUT OUTPUT REPORT`.
void RunReport(const ReportOptions& options);

// libsndfile's container and sample codes in words, e.g. "WAV, 16 bit PCM".
std::string FormatText(int format);
