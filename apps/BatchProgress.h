#pragma once
// One progress line on stderr for a whole batch: files done and failed, hours of audio
// done, and the time left, estimated from the audio restored so far. Files end on
// several threads; each end redraws the line. It draws only when asked to.

#include <chrono>
#include <cstddef>
#include <mutex>

#include "apps/Manifest.h"

class BatchProgress {
public:
    BatchProgress(std::size_t files, double audioSeconds, bool shown);
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;
    ~BatchProgress();

    void FileEnded(FileStatus status, double audioSeconds);

private:
    void Draw();

    std::mutex mutex;
    std::size_t files;
    double totalAudio;
    bool shown;
    std::size_t ended = 0;
    std::size_t failed = 0;
    double audioEnded = 0;   // every ended file's audio
    double audioWorked = 0;  // of the files restored in this run, for the rate
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};
