#include "apps/Progress.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int barWidth = 40;
constexpr auto redrawPeriod = std::chrono::milliseconds(100);

} // namespace

Progress::Progress(std::string label, std::int64_t total, bool quiet)
    : label(std::move(label)), total(total), shown(!quiet && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    if (!shown || done == 0) return;
    Draw();
    std::fputc('\n', stderr);
}

void Progress::Advance(std::int64_t frames) {
    done += frames;
    if (!shown) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDrawn < redrawPeriod) return;
    lastDrawn = now;
    Draw();
}

void Progress::Draw() {
    const double fraction = total > 0 ? std::clamp(double(done) / double(total), 0.0, 1.0) : 1.0;
    const int filled = int(fraction * barWidth);
    std::string bar(std::size_t(filled), '#');
    bar.resize(barWidth, '.');
    std::fprintf(stderr, "\r%-10s [%s] %3d%%", label.c_str(), bar.c_str(), int(fraction * 100.0));
    std::fflush(stderr);
}
