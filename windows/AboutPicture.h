#pragma once

// The about box's picture as a JPEG file, drawn at build time by
// lumbrook-make-about-picture and embedded in the program.

#include <cstddef>

namespace lumbrook {
extern const unsigned char AboutPictureJpeg[];
extern const std::size_t AboutPictureJpegSize;
}  // namespace lumbrook
