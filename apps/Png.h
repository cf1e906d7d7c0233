#pragma once
// PNG encoding and decoding through libpng. Errors throw std::runtime_error.

#include <cstdint>
#include <string>
#include <vector>

#include "apps/Image.h"

std::vector<std::uint8_t> EncodePng(const Image& image);
// Any PNG libpng reads, converted to 8-bit RGB (alpha composited on black).
Image DecodePng(const std::vector<std::uint8_t>& bytes);
Image ReadPngFile(const std::string& path);
