// Build tool: draws the about box's picture (a brook running through green hills
// under an evening sun) and writes it as a PNG file, which the program carries
// among its resources.
//
// usage: lumbrook-make-about-picture OUT.png

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>

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

QImage draw() {
    QImage image(Width, Height, QImage::Format_RGB32);
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
            image.setPixel(x, y, qRgb(channel(sum.r), channel(sum.g), channel(sum.b)));
        }
    }
    return image;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUT.png\n";
        return 2;
    }
    if (!draw().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::cerr << argv[0] << ": cannot write the picture\n";
        return 1;
    }
    return 0;
}
