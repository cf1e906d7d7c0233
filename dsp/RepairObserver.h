#pragma once
// How a repair stage tells whoever listens what it repaired: one call per click taken
// out or clipped run rebuilt, at the moment the repair is made. A stage holds a plain
// pointer, null unless a listener was attached, so with no listener the cost is one
// pointer test per repair; the listener only reads and never changes the audio.
// Calls come from the thread that processes the audio; a listener that shares what it
// collects with another thread must synchronise itself.

#include <cstdint>

namespace DSP {

enum class RepairKind { click, clippedRun };
inline constexpr int repairKindCount = 2;

struct Repair {
    RepairKind kind;
    int channel;
    // First repaired frame, counted in input frames from the start of the stream
    // (before any latency), and how many consecutive frames were rebuilt.
    std::int64_t start;
    int length;
    // Largest magnitude among the samples replaced, 0 to 1 for full scale.
    float peak;
};

class RepairObserver {
public:
    virtual ~RepairObserver() = default;
    // Must not throw and should not block: it runs inside the audio path.
    virtual void OnRepair(const Repair& repair) noexcept = 0;
};

// What a stage calls; a null observer is the common case and costs a test.
inline void ReportRepair(RepairObserver* observer, const Repair& repair) {
    if (observer != nullptr) observer->OnRepair(repair);
}

} // namespace DSP
