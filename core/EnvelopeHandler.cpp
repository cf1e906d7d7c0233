#include "core/EnvelopeHandler.h"

#include <algorithm>
#include <optional>

#include "core/Component.h"

namespace DSP {

namespace {

constexpr std::int64_t unitsPerSecond = 10'000'000;
constexpr std::uint64_t longestSegment = 0x7FFFFFFF;

std::uint32_t RoundedUnsigned(float value) {
    if (!(value > 0.0f)) return 0;
    return std::uint32_t(std::min(double(value) + 0.5, 4294967295.0));
}

// Whole samples in a non-negative duration; the remainder is dropped.
std::int64_t Samples(std::int64_t duration, std::uint32_t rate) {
    return std::int64_t(std::uint64_t(duration) * rate / unitsPerSecond);
}

bool Overlaps(const EnvelopeSegment& segment, std::int64_t start, std::int64_t end) {
    return segment.startTime < end && segment.endTime > start;
}

struct BlockSpan {
    BlockSpan(std::int64_t start, std::uint32_t rate, int frames, int zipper)
        : start(start), end(start + std::int64_t(frames) * unitsPerSecond / rate), rate(rate),
          frames(frames), zipper(zipper) {}

    std::size_t Entries() const { return std::size_t((frames + zipper - 1) / zipper); }

    std::int64_t start;
    std::int64_t end;
    std::uint32_t rate;
    int frames;
    int zipper;
};

// A segment shorter than one sample is skipped in the block it falls in, as if it were
// not there: no entries, and the value held after it is the one before it. Later blocks
// find it in the past and hold its end value.
bool ShorterThanASample(const EnvelopeSegment& segment, const BlockSpan& block) {
    return Samples(segment.endTime - segment.startTime, block.rate) == 0;
}

// Sub-block entries a segment covers, first to last inclusive. A segment that ends
// at the block's first sample covers entry 0 alone.
struct EntryRange {
    std::int64_t first;
    std::int64_t last;
};

EntryRange EntriesOf(const EnvelopeSegment& segment, const BlockSpan& block) {
    const std::int64_t from =
        segment.startTime > block.start ? Samples(segment.startTime - block.start, block.rate) : 0;
    const std::int64_t to = segment.endTime < block.end
                                ? Samples(segment.endTime - block.start, block.rate)
                                : block.frames;
    return {from / block.zipper, (to - 1) / block.zipper};
}

// Segments are sorted and disjoint, so the ones that ended before the block form a
// prefix and the ones that start after it a suffix; [begin, end) overlap the block.
struct Overlap {
    std::size_t begin;
    std::size_t end;
};

Overlap FindOverlap(const Envelope& envelope, const BlockSpan& block) {
    std::size_t begin = 0;
    while (begin < envelope.size() && envelope[begin].endTime < block.start)
        ++begin;
    std::size_t end = begin;
    while (end < envelope.size() && envelope[end].startTime <= block.end)
        ++end;
    return {begin, end};
}

template <class Buffer, class V>
void Fill(Buffer& buffer, std::int64_t from, std::int64_t to, V value) {
    to = std::min(to, std::int64_t(buffer.size()));
    if (from < to) std::fill(buffer.begin() + from, buffer.begin() + to, value);
}

// The held value fills the entries before the first segment, and a gap of more than
// one entry between two segments from the earlier one's last entry on.
template <class Buffer, class V>
void FillBefore(Buffer& buffer, std::optional<std::int64_t> previousLast, std::int64_t first,
                V held) {
    if (!previousLast) {
        Fill(buffer, 0, first, held);
    } else if (first > *previousLast + 1) {
        Fill(buffer, *previousLast, first, held);
    }
}

// value(t) = t * ((t - 1) * b / 2 + a) + start, for t samples into the segment.
struct Curve {
    double a;
    double b;
};

Curve CurveOf(const EnvelopeSegment& segment, std::int64_t length) {
    const double rise = double(segment.endValue) - double(segment.startValue);
    const double n = double(length);
    // The quadratic forms need two samples at least; shorter segments run linearly.
    const bool quadratic = length > 1;
    switch (segment.curve) {
    case MP_CURVE_JUMP:
        return {0.0, 0.0};
    case MP_CURVE_SQUARE:
        if (quadratic) return {0.0, 2.0 * rise / ((n - 1.0) * n)};
        break;
    case MP_CURVE_INVSQUARE:
        if (quadratic) {
            const double c = 2.0 * rise / ((n - 1.0) * n);
            return {(n - 1.0) * c, -c};
        }
        break;
    default:
        break;
    }
    return {rise / n, 0.0};
}

void WriteCurve(const EnvelopeSegment& segment, std::int64_t length, EntryRange range,
                const BlockSpan& block, std::vector<float>& buffer) {
    const Curve curve = CurveOf(segment, length);
    double t =
        double(Samples(std::max(block.start, segment.startTime) - segment.startTime, block.rate));
    for (std::int64_t entry = range.first; entry <= range.last; ++entry, t += block.zipper) {
        buffer[std::size_t(entry)] =
            float(t * ((t - 1.0) * curve.b * 0.5 + curve.a) + segment.startValue);
    }
}

bool RenderCurves(const Envelope& envelope, const BlockSpan& block, std::vector<float>& buffer,
                  float current) {
    const auto entries = std::int64_t(block.Entries());
    buffer.resize(std::size_t(entries));
    if (envelope.empty() || block.frames == 0) {
        Fill(buffer, 0, entries, current);
        return false;
    }
    const auto [begin, end] = FindOverlap(envelope, block);
    float held = begin > 0 ? envelope[begin - 1].endValue : current;
    if (begin == end) {
        Fill(buffer, 0, entries, held);
        return false;
    }
    std::optional<std::int64_t> previousLast;
    for (std::size_t i = begin; i < end; ++i) {
        const EnvelopeSegment& segment = envelope[i];
        const std::int64_t length = Samples(segment.endTime - segment.startTime, block.rate);
        if (ShorterThanASample(segment, block)) continue;
        const EntryRange range = EntriesOf(segment, block);
        FillBefore(buffer, previousLast, range.first, held);
        WriteCurve(segment, length, range, block, buffer);
        previousLast = range.last;
        held = segment.endValue;
    }
    if (!previousLast) {
        Fill(buffer, 0, entries, held);
    } else {
        // The rest of the block keeps the last sampled value; the end value follows
        // with the next block.
        Fill(buffer, *previousLast + 1, entries, buffer[std::size_t(*previousLast)]);
    }
    return true;
}

// Bool and unsigned envelopes have no curves: a segment holds its start value and
// its end value takes over once it is over.
template <class Buffer, class V>
bool RenderSteps(const Envelope& envelope, const BlockSpan& block, Buffer& buffer, V current,
                 V EnvelopeSegment::*startOf, V EnvelopeSegment::*endOf) {
    const auto entries = std::int64_t(block.Entries());
    buffer.resize(std::size_t(entries));
    if (envelope.empty() || block.frames == 0) {
        Fill(buffer, 0, entries, current);
        return false;
    }
    const auto [begin, end] = FindOverlap(envelope, block);
    V held = begin > 0 ? envelope[begin - 1].*endOf : current;
    if (begin == end) {
        Fill(buffer, 0, entries, held);
        return false;
    }
    std::optional<std::int64_t> previousLast;
    std::int64_t lastEnd = 0;
    for (std::size_t i = begin; i < end; ++i) {
        const EnvelopeSegment& segment = envelope[i];
        if (ShorterThanASample(segment, block)) continue;
        const EntryRange range = EntriesOf(segment, block);
        FillBefore(buffer, previousLast, range.first, held);
        Fill(buffer, range.first, range.last + 1, segment.*startOf);
        previousLast = range.last;
        lastEnd = segment.endTime;
        held = segment.*endOf;
    }
    if (!previousLast) {
        Fill(buffer, 0, entries, held);
    } else if (lastEnd < block.end) {
        Fill(buffer, *previousLast, entries, held);
    }
    return true;
}

void Insert(Envelope& envelope, std::uint32_t count, const MP_ENVELOPE_SEGMENT* segments) {
    for (std::uint32_t i = 0; i < count; ++i) {
        if (segments[i].rtEnd < segments[i].rtStart) continue;
        EnvelopeSegment added(segments[i]);
        if (added.endTime <= added.startTime) added.endTime = added.startTime + 1;
        if (std::uint64_t(added.endTime) - std::uint64_t(added.startTime) > longestSegment) {
            added.endTime = added.startTime + std::int64_t(longestSegment);
        }
        std::erase_if(envelope, [&](const EnvelopeSegment& older) {
            return Overlaps(older, added.startTime, added.endTime);
        });
        envelope.push_back(added);
    }
    std::sort(envelope.begin(), envelope.end(),
              [](const EnvelopeSegment& a, const EnvelopeSegment& b) {
                  return a.startTime < b.startTime;
              });
}

} // namespace

EnvelopeSegment::EnvelopeSegment(const MP_ENVELOPE_SEGMENT& segment)
    : startTime(segment.rtStart), endTime(segment.rtEnd), startValue(segment.valStart),
      endValue(segment.valEnd), startBool(segment.valStart >= 0.5f),
      endBool(segment.valEnd >= 0.5f), startUInt(RoundedUnsigned(segment.valStart)),
      endUInt(RoundedUnsigned(segment.valEnd)), curve(std::uint32_t(segment.iCurve)) {}

EnvelopeHandler::EnvelopeHandler(const Component& component)
    : lock(SharedString("%1::EnvelopeHandler").Arg(component.Name())),
      floatEnvelopes(component.GetNumFloatParams()), boolEnvelopes(component.GetNumBoolParams()),
      uintEnvelopes(component.GetNumUIntParams()) {}

void EnvelopeHandler::AddSegments(std::vector<Envelope>& family, std::uint32_t index,
                                  std::uint32_t count, const MP_ENVELOPE_SEGMENT* segments) {
    LockHolder hold(lock);
    if (index == allParams) {
        for (auto& envelope : family)
            Insert(envelope, count, segments);
    } else if (index < family.size()) {
        Insert(family[index], count, segments);
    } else {
        return;
    }
    anyEnvelope = true;
}

void EnvelopeHandler::FlushSegments(std::vector<Envelope>& family, std::uint32_t index,
                                    std::int64_t start, std::int64_t end) {
    LockHolder hold(lock);
    auto flush = [&](Envelope& envelope) {
        std::erase_if(envelope, [&](const EnvelopeSegment& segment) {
            return Overlaps(segment, start, end);
        });
    };
    if (index == allParams) {
        for (auto& envelope : family)
            flush(envelope);
    } else if (index < family.size()) {
        flush(family[index]);
    } else {
        return;
    }
    RefreshAnyEnvelope();
}

bool EnvelopeHandler::HasEnvelope(const std::vector<Envelope>& family, std::uint32_t index,
                                  bool takeLock) {
    if (!takeLock) return !family[index].empty();
    LockHolder hold(lock);
    return !family[index].empty();
}

void EnvelopeHandler::RefreshAnyEnvelope() {
    auto empty = [](const std::vector<Envelope>& family) {
        return std::all_of(family.begin(), family.end(),
                           [](const Envelope& envelope) { return envelope.empty(); });
    };
    if (anyEnvelope && empty(floatEnvelopes) && empty(boolEnvelopes) && empty(uintEnvelopes)) {
        anyEnvelope = false;
    }
}

void EnvelopeHandler::AddFloatSegments(std::uint32_t index, std::uint32_t count,
                                       const MP_ENVELOPE_SEGMENT* segments) {
    AddSegments(floatEnvelopes, index, count, segments);
}

void EnvelopeHandler::AddBoolSegments(std::uint32_t index, std::uint32_t count,
                                      const MP_ENVELOPE_SEGMENT* segments) {
    AddSegments(boolEnvelopes, index, count, segments);
}

void EnvelopeHandler::AddUIntSegments(std::uint32_t index, std::uint32_t count,
                                      const MP_ENVELOPE_SEGMENT* segments) {
    AddSegments(uintEnvelopes, index, count, segments);
}

void EnvelopeHandler::FlushFloatSegments(std::uint32_t index, std::int64_t start,
                                         std::int64_t end) {
    FlushSegments(floatEnvelopes, index, start, end);
}

void EnvelopeHandler::FlushBoolSegments(std::uint32_t index, std::int64_t start, std::int64_t end) {
    FlushSegments(boolEnvelopes, index, start, end);
}

void EnvelopeHandler::FlushUIntSegments(std::uint32_t index, std::int64_t start, std::int64_t end) {
    FlushSegments(uintEnvelopes, index, start, end);
}

bool EnvelopeHandler::HasFloatEnvelope(std::uint32_t index, bool takeLock) {
    return HasEnvelope(floatEnvelopes, index, takeLock);
}

bool EnvelopeHandler::HasBoolEnvelope(std::uint32_t index, bool takeLock) {
    return HasEnvelope(boolEnvelopes, index, takeLock);
}

bool EnvelopeHandler::HasUIntEnvelope(std::uint32_t index, bool takeLock) {
    return HasEnvelope(uintEnvelopes, index, takeLock);
}

bool EnvelopeHandler::RenderFloatEnvelope(std::uint32_t index, std::int64_t blockStart,
                                          std::uint32_t rate, int frames,
                                          std::vector<float>& buffer, int zipper, float current) {
    LockHolder hold(lock);
    if (index >= floatEnvelopes.size()) return false;
    return RenderCurves(floatEnvelopes[index], BlockSpan(blockStart, rate, frames, zipper), buffer,
                        current);
}

bool EnvelopeHandler::RenderBoolEnvelope(std::uint32_t index, std::int64_t blockStart,
                                         std::uint32_t rate, int frames, std::vector<bool>& buffer,
                                         int zipper, bool current) {
    LockHolder hold(lock);
    if (index >= boolEnvelopes.size()) return false;
    return RenderSteps(boolEnvelopes[index], BlockSpan(blockStart, rate, frames, zipper), buffer,
                       current, &EnvelopeSegment::startBool, &EnvelopeSegment::endBool);
}

bool EnvelopeHandler::RenderUIntEnvelope(std::uint32_t index, std::int64_t blockStart,
                                         std::uint32_t rate, int frames,
                                         std::vector<std::uint32_t>& buffer, int zipper,
                                         std::uint32_t current) {
    LockHolder hold(lock);
    if (index >= uintEnvelopes.size()) return false;
    return RenderSteps(uintEnvelopes[index], BlockSpan(blockStart, rate, frames, zipper), buffer,
                       current, &EnvelopeSegment::startUInt, &EnvelopeSegment::endUInt);
}

} // namespace DSP
