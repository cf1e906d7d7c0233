#pragma once
// Taps that show a restore's audio to its report on the way through: a source that
// hands every block it reads to the report as input, and a sink that hands every block
// written to it as output, before passing it on.

#include "apps/Frames.h"
#include "apps/ReportBuilder.h"

class ReportedSource : public FrameSource {
public:
    ReportedSource(FrameSource& source, ReportBuilder& report) : source(source), report(report) {}
    int Read(int frames, float* left, float* right) override {
        const int got = source.Read(frames, left, right);
        report.AddInput(got, left, right);
        return got;
    }

private:
    FrameSource& source;
    ReportBuilder& report;
};

class ReportedSink : public FrameSink {
public:
    ReportedSink(FrameSink& sink, ReportBuilder& report) : sink(sink), report(report) {}
    void Write(int frames, const float* left, const float* right) override {
        report.AddOutput(frames, left, right);
        sink.Write(frames, left, right);
    }

private:
    FrameSink& sink;
    ReportBuilder& report;
};
