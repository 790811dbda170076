#pragma once

// JPEG pictures of the window decorations, decoded through libjpeg's decompression
// interface. No Qt here: the caller wraps the pixels in whatever image it shows.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumbrook {

struct JpegPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // Width * Height * 3 bytes, rows top to bottom
};

// Decodes a JPEG held in memory. A damaged or foreign file gives false and the
// library's message in Error; the process never ends over a bad picture.
bool decodeJpeg(const std::uint8_t* data, std::size_t size, JpegPicture& picture,
                std::string& error);

}  // namespace lumbrook
