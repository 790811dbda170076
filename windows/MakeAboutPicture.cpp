// Build tool: draws the about box's picture (a brook running through green hills
// under an evening sun), compresses it with libjpeg and writes it both as a .jpg
// file and as a C++ source that embeds its bytes.
//
// usage: lumbrook-make-about-picture OUT.jpg OUT.cpp

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {

constexpr int Width = 136;
constexpr int Height = 168;

struct Color {
    double r, g, b;
};

Color mix(Color a, Color b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Coverage of an edge at distance d (negative inside), for soft outlines.
double inside(double d) {
    return std::clamp(0.5 - d, 0.0, 1.0);
}

Color pixel(double x, double y) {
    const double horizon = 92;
    Color c = mix({62, 118, 196}, {248, 206, 150}, y / horizon);

    // The sun, low in the west, with a glow around it.
    const double sunDist = std::hypot(x - 100, y - 58);
    c = mix(c, {255, 236, 170}, 0.45 * std::exp(-sunDist / 22));
    c = mix(c, {255, 226, 110}, inside(sunDist - 13));

    // Far hills, bluish with distance.
    const double far = horizon - 14 * std::sin(x * 0.045 + 0.8) - 6 * std::sin(x * 0.12 + 2.1);
    c = mix(c, mix({104, 146, 128}, {84, 128, 100}, (y - far) / 40), inside(far - y));

    // The near meadow.
    const double nearTop = 118 - 9 * std::sin(x * 0.03 + 2.4) - 3 * std::sin(x * 0.11);
    c = mix(c, mix({98, 158, 64}, {46, 104, 40}, (y - nearTop) / 50), inside(nearTop - y));

    // The brook: it starts thin between the hills and widens towards the viewer.
    const double start = 100;
    if (y > start) {
        const double t = y - start;
        const double centre = 64 + 22 * std::sin(t * 0.065 + 0.4) + t * 0.18;
        const double half = 1.0 + t * 0.14;
        const double d = std::abs(x - centre) - half;
        Color water = mix({80, 140, 210}, {40, 92, 170}, t / 68);
        // Ripples catch the light.
        const double ripple = std::sin(y * 0.9 + std::sin(x * 0.4) * 2.0);
        if (ripple > 0.85) water = mix(water, {225, 240, 255}, 0.6);
        c = mix(c, water, inside(d));
        c = mix(c, {200, 190, 140}, 0.5 * inside(std::abs(d) - 0.8) * (d > -0.8 ? 1.0 : 0.0));
    }

    // A soft dark edge frames the picture.
    const double edge = std::min({x, y, Width - 1 - x, Height - 1 - y});
    return mix({20, 30, 40}, c, 0.55 + edge / 12);
}

std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

std::vector<std::uint8_t> draw() {
    std::vector<std::uint8_t> rgb;
    rgb.reserve(Width * Height * 3);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            // Four samples per pixel smooth the curves.
            Color sum{0, 0, 0};
            for (double dy : {0.25, 0.75}) {
                for (double dx : {0.25, 0.75}) {
                    const Color s = pixel(x + dx, y + dy);
                    sum = {sum.r + s.r / 4, sum.g + s.g / 4, sum.b + s.b / 4};
                }
            }
            rgb.push_back(channel(sum.r));
            rgb.push_back(channel(sum.g));
            rgb.push_back(channel(sum.b));
        }
    }
    return rgb;
}

std::vector<std::uint8_t> compress(std::vector<std::uint8_t>& rgb) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);  // a broken build tool may stop the build
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgb.data() + std::size_t{info.next_scanline} * Width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: " << argv[0] << " OUT.jpg OUT.cpp\n";
        return 2;
    }
    std::vector<std::uint8_t> rgb = draw();
    const std::vector<std::uint8_t> jpeg = compress(rgb);

    std::ofstream jpg(argv[1], std::ios::binary | std::ios::trunc);
    jpg.write(reinterpret_cast<const char*>(jpeg.data()),
              static_cast<std::streamsize>(jpeg.size()));

    std::ofstream cpp(argv[2], std::ios::trunc);
    cpp << "// Written by lumbrook-make-about-picture; do not edit.\n"
           "#include \"windows/AboutPicture.h\"\n\n"
           "namespace lumbrook {\n"
           "const unsigned char AboutPictureJpeg[] = {";
    for (std::size_t i = 0; i < jpeg.size(); ++i) {
        cpp << (i % 16 == 0 ? "\n    " : " ") << static_cast<unsigned>(jpeg[i]) << ',';
    }
    cpp << "\n};\nconst std::size_t AboutPictureJpegSize = sizeof AboutPictureJpeg;\n"
           "}  // namespace lumbrook\n";
    if (!jpg || !cpp) {
        std::cerr << argv[0] << ": cannot write the picture\n";
        return 1;
    }
    return 0;
}
