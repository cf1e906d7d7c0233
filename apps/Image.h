#pragma once
// An 8-bit RGB picture in memory, rows from the top, and the colours drawn on it.

#include <cstdint>
#include <vector>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgb background = {})
        : width(width), height(height),
          pixels(std::size_t(width) * std::size_t(height), background) {}

    int Width() const { return width; }
    int Height() const { return height; }
    Rgb At(int x, int y) const { return pixels[Index(x, y)]; }
    void Set(int x, int y, Rgb colour) { pixels[Index(x, y)] = colour; }
    // Sets the pixel when it lies inside the picture, and ignores it otherwise.
    void Plot(int x, int y, Rgb colour) {
        if (x >= 0 && y >= 0 && x < width && y < height) Set(x, y, colour);
    }
    const std::vector<Rgb>& Pixels() const { return pixels; }

private:
    std::size_t Index(int x, int y) const {
        return std::size_t(y) * std::size_t(width) + std::size_t(x);
    }

    int width = 0;
    int height = 0;
    std::vector<Rgb> pixels;
};
