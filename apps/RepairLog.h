#pragma once
// Collects what the repair stages report for the run's report, in memory that does not
// grow with the length of the stream: per kind of repair the totals (how many, how many
// frames in all, the longest, the loudest), per timeline column how many and the longest,
// and the first repairs themselves. Everything is allocated up front, so listening
// allocates nothing in the audio path.

#include <array>
#include <cstdint>
#include <vector>

#include "dsp/RepairObserver.h"

class RepairLog : public DSP::RepairObserver {
public:
    struct Totals {
        std::int64_t count = 0;
        std::int64_t frames = 0;
        int longest = 0;
        float loudest = 0.0f;
    };
    // What the repairs of one kind left in one column of the timeline.
    struct Column {
        std::uint32_t count = 0;
        int longest = 0;
    };

    static constexpr std::size_t keptRepairs = 1000;

    // A stream of `streamFrames` frames drawn as a timeline of `columns` columns.
    RepairLog(std::int64_t streamFrames, int columns);

    void OnRepair(const DSP::Repair& repair) noexcept override;

    const Totals& TotalsOf(DSP::RepairKind kind) const { return totals[Index(kind)]; }
    const std::vector<Column>& ColumnsOf(DSP::RepairKind kind) const {
        return columns[Index(kind)];
    }
    // The first keptRepairs repairs, in the order they were reported.
    const std::vector<DSP::Repair>& FirstRepairs() const { return first; }
    int ColumnCount() const { return int(columns[0].size()); }
    std::int64_t StreamFrames() const { return streamFrames; }
    // The column a frame falls in; frames past the end fall in the last one.
    int ColumnOf(std::int64_t frame) const;

private:
    static std::size_t Index(DSP::RepairKind kind) { return std::size_t(kind); }

    std::int64_t streamFrames;
    std::array<Totals, DSP::repairKindCount> totals;
    std::array<std::vector<Column>, DSP::repairKindCount> columns;
    std::vector<DSP::Repair> first;
};
