#include "apps/RepairLog.h"

#include <algorithm>

RepairLog::RepairLog(std::int64_t streamFrames, int columnCount)
    : streamFrames(std::max<std::int64_t>(streamFrames, 1)) {
    for (std::vector<Column>& lane : columns)
        lane.resize(std::size_t(std::max(columnCount, 1)));
    first.reserve(keptRepairs);
}

int RepairLog::ColumnOf(std::int64_t frame) const {
    const std::int64_t count = ColumnCount();
    const std::int64_t column =
        std::clamp<std::int64_t>(frame, 0, streamFrames - 1) * count / streamFrames;
    return int(column);
}

void RepairLog::OnRepair(const DSP::Repair& repair) noexcept {
    Totals& total = totals[Index(repair.kind)];
    ++total.count;
    total.frames += repair.length;
    total.longest = std::max(total.longest, repair.length);
    total.loudest = std::max(total.loudest, repair.peak);
    Column& column = columns[Index(repair.kind)][std::size_t(ColumnOf(repair.start))];
    ++column.count;
    column.longest = std::max(column.longest, repair.length);
    if (first.size() < keptRepairs) first.push_back(repair);
}
