#pragma once
// Host automation of one component: per parameter, a list of time segments that run
// the value from a start to an end along a curve. The component samples them once
// per sub-block while it renders (see Component::RenderBlock).

#include <atomic>
#include <cstdint>
#include <vector>

#include "Util/NamedLock.h"
#include "platform/Win32.h"

namespace DSP {

class Component;

// Times are 100-ns units on the host's stream clock; a segment always ends after it
// starts. The bool and unsigned forms of the values are derived once, when it is made.
struct EnvelopeSegment {
    explicit EnvelopeSegment(const MP_ENVELOPE_SEGMENT& segment);

    std::int64_t startTime;
    std::int64_t endTime;
    float startValue;
    float endValue;
    bool startBool;
    bool endBool;
    std::uint32_t startUInt;
    std::uint32_t endUInt;
    std::uint32_t curve;
};

using Envelope = std::vector<EnvelopeSegment>;

class EnvelopeHandler {
public:
    // Adds to or flushes every parameter of the family at once.
    static constexpr std::uint32_t allParams = 0xFFFFFFFF;

    // One envelope per float, bool and unsigned parameter of the component.
    explicit EnvelopeHandler(const Component& component);
    EnvelopeHandler(const EnvelopeHandler&) = delete;
    EnvelopeHandler& operator=(const EnvelopeHandler&) = delete;

    NamedLock& Lock() { return lock; }

    // A new segment replaces the segments it overlaps; ones that only touch it stay.
    void AddFloatSegments(std::uint32_t index, std::uint32_t count,
                          const MP_ENVELOPE_SEGMENT* segments);
    void AddBoolSegments(std::uint32_t index, std::uint32_t count,
                         const MP_ENVELOPE_SEGMENT* segments);
    void AddUIntSegments(std::uint32_t index, std::uint32_t count,
                         const MP_ENVELOPE_SEGMENT* segments);

    // Removes the segments that overlap the span from start to end.
    void FlushFloatSegments(std::uint32_t index, std::int64_t start, std::int64_t end);
    void FlushBoolSegments(std::uint32_t index, std::int64_t start, std::int64_t end);
    void FlushUIntSegments(std::uint32_t index, std::int64_t start, std::int64_t end);

    bool HasFloatEnvelope(std::uint32_t index, bool takeLock);
    bool HasBoolEnvelope(std::uint32_t index, bool takeLock);
    bool HasUIntEnvelope(std::uint32_t index, bool takeLock);

    // Fill one entry per sub-block of `zipper` frames of the block of `frames` frames
    // that starts at blockStart. True when a segment overlaps the block; otherwise the
    // buffer holds the value the parameter keeps through the block.
    bool RenderFloatEnvelope(std::uint32_t index, std::int64_t blockStart, std::uint32_t rate,
                             int frames, std::vector<float>& buffer, int zipper, float current);
    bool RenderBoolEnvelope(std::uint32_t index, std::int64_t blockStart, std::uint32_t rate,
                            int frames, std::vector<bool>& buffer, int zipper, bool current);
    bool RenderUIntEnvelope(std::uint32_t index, std::int64_t blockStart, std::uint32_t rate,
                            int frames, std::vector<std::uint32_t>& buffer, int zipper,
                            std::uint32_t current);

    // Read without the lock at the start of every rendered block.
    bool AnyEnvelope() const { return anyEnvelope; }

private:
    void AddSegments(std::vector<Envelope>& family, std::uint32_t index, std::uint32_t count,
                     const MP_ENVELOPE_SEGMENT* segments);
    void FlushSegments(std::vector<Envelope>& family, std::uint32_t index, std::int64_t start,
                       std::int64_t end);
    bool HasEnvelope(const std::vector<Envelope>& family, std::uint32_t index, bool takeLock);
    void RefreshAnyEnvelope();

    NamedLock lock;
    std::vector<Envelope> floatEnvelopes;
    std::vector<Envelope> boolEnvelopes;
    std::vector<Envelope> uintEnvelopes;
    std::atomic<bool> anyEnvelope{false};
};

} // namespace DSP
