#pragma once

// JPEG pictures of the window decorations, decoded through libjpeg's decompression
// interface. No Qt here: the caller wraps the pixels in whatever image it shows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumbrook {

struct TJpegPicture {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgb;  // Width * Height * 3 bytes, rows top to bottom
};

// Decodes a JPEG held in memory. A damaged or foreign file gives false and the
// library's message in Error; the process never ends over a bad picture.
bool DecodeJpeg(const std::uint8_t* Data, std::size_t Size, TJpegPicture& Picture,
                std::string& Error);

}  // namespace lumbrook
