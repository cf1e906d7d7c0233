#include "apps/Png.h"

#include <cstring>
#include <png.h>
#include <stdexcept>

namespace {

static_assert(sizeof(Rgb) == 3, "pixels must be packed RGB for libpng");

[[noreturn]] void Fail(png_image& image, const char* what) {
    const std::string message = std::string(what) + ": " + image.message;
    png_image_free(&image);
    throw std::runtime_error(message);
}

png_image Blank() {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    return image;
}

Image FinishRead(png_image& png) {
    png.format = PNG_FORMAT_RGB;
    Image image(int(png.width), int(png.height));
    auto* pixels = const_cast<Rgb*>(image.Pixels().data());
    if (png_image_finish_read(&png, nullptr, pixels, 0, nullptr) == 0)
        Fail(png, "cannot decode PNG");
    return image;
}

} // namespace

std::vector<std::uint8_t> EncodePng(const Image& image) {
    png_image png = Blank();
    png.width = png_uint_32(image.Width());
    png.height = png_uint_32(image.Height());
    png.format = PNG_FORMAT_RGB;
    const void* pixels = image.Pixels().data();
    png_alloc_size_t size = 0;
    if (png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr) == 0)
        Fail(png, "cannot encode PNG");
    std::vector<std::uint8_t> bytes(size);
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels, 0, nullptr) == 0)
        Fail(png, "cannot encode PNG");
    bytes.resize(size);
    return bytes;
}

Image DecodePng(const std::vector<std::uint8_t>& bytes) {
    png_image png = Blank();
    if (png_image_begin_read_from_memory(&png, bytes.data(), bytes.size()) == 0)
        Fail(png, "not a PNG");
    return FinishRead(png);
}

Image ReadPngFile(const std::string& path) {
    png_image png = Blank();
    if (png_image_begin_read_from_file(&png, path.c_str()) == 0)
        Fail(png, ("cannot read " + path).c_str());
    return FinishRead(png);
}
