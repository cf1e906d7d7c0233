#pragma once
// A progress bar on stderr for one pass over a file, redrawn at most ten times a second
// and ended with a newline. It draws only when stderr is a terminal and the user did not
// ask for quiet.

#include <chrono>
#include <cstdint>
#include <string>

class Progress {
public:
    Progress(std::string label, std::int64_t total, bool quiet);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    void Advance(std::int64_t frames);

private:
    void Draw();

    std::string label;
    std::int64_t total;
    std::int64_t done = 0;
    bool shown;
    std::chrono::steady_clock::time_point lastDrawn;
};
