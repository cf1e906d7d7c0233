#include "apps/BatchProgress.h"

#include <cstdio>

namespace {

std::string Clock(double seconds) {
    const long whole = long(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

} // namespace

BatchProgress::BatchProgress(std::size_t files, double audioSeconds, bool shown)
    : files(files), totalAudio(audioSeconds), shown(shown) {
    Draw();
}

BatchProgress::~BatchProgress() {
    if (shown) std::fputc('\n', stderr);
}

void BatchProgress::FileEnded(FileStatus status, double audioSeconds) {
    const std::lock_guard lock(mutex);
    ++ended;
    if (status == FileStatus::failed) ++failed;
    audioEnded += audioSeconds;
    if (status == FileStatus::done) audioWorked += audioSeconds;
    Draw();
}

void BatchProgress::Draw() {
    if (!shown) return;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::string left = "estimating";
    if (audioWorked > 0) left = Clock(elapsed / audioWorked * (totalAudio - audioEnded)) + " left";
    std::fprintf(stderr, "\rbatch: %zu/%zu files, %zu failed, %.2f of %.2f h audio, %s   ", ended,
                 files, failed, audioEnded / 3600, totalAudio / 3600, left.c_str());
    std::fflush(stderr);
}
