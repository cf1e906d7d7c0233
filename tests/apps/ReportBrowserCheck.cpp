// Helper of report-browser-check.sh:
//   report_browser_check PAGE.html SCREENSHOT.png WIDTH HEIGHT
// checks that the browser's screenshot of the page has the window's size and shows every
// picture of the page whole, pixel for pixel: a picture that failed to load (blank, or
// the broken-image icon) is not found.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/apps/ReportPage.h"

namespace {

bool Matches(const Image& shot, const Image& picture, int x0, int y0) {
    constexpr int tolerance = 3;
    const auto near = [](int a, int b) { return std::abs(a - b) <= tolerance; };
    for (int y = 0; y < picture.Height(); y += 3) {
        for (int x = 0; x < picture.Width(); x += 3) {
            const Rgb a = shot.At(x0 + x, y0 + y), b = picture.At(x, y);
            if (!near(a.r, b.r) || !near(a.g, b.g) || !near(a.b, b.b)) return false;
        }
    }
    return true;
}

bool Shows(const Image& shot, const Image& picture) {
    for (int y = 0; y + picture.Height() <= shot.Height(); ++y)
        for (int x = 0; x + picture.Width() <= shot.Width(); ++x)
            if (Matches(shot, picture, x, y)) return true;
    return false;
}

int Check(const std::string& pagePath, const std::string& shotPath, int width, int height) {
    std::ifstream file(pagePath);
    const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const Image shot = ReadPngFile(shotPath);
    int failures = 0;
    if (shot.Width() != width || shot.Height() != height) {
        std::printf("screenshot is %dx%d, the window %dx%d\n", shot.Width(), shot.Height(), width,
                    height);
        ++failures;
    }
    const auto pictures = Pictures(page);
    for (const auto& [name, picture] : pictures) {
        const bool shown = Shows(shot, picture);
        std::printf("%-10s %4dx%-4d %s\n", name.c_str(), picture.Width(), picture.Height(),
                    shown ? "shown" : "NOT SHOWN");
        failures += !shown;
    }
    if (pictures.size() < 6) {
        std::printf("the page holds %zu pictures, expected 6\n", pictures.size());
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5) return Check(argv[1], argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: report_browser_check PAGE SHOT WIDTH HEIGHT\n");
    return 2;
}
