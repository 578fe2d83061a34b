#include "examples/ExampleContent.h"

#include "platform/ByteOrder.h"

#include <cmath>
#include <cstddef>
#include <functional>

namespace {

constexpr double PI = 3.14159265358979323846;

struct Rgb {
    std::uint8_t r, g, b;
};

// An 8-bit BMP: palette of 256 colours, rows bottom-up, each padded to 4 bytes.
ByteVector EncodeBmp(int width, int height, const std::vector<Rgb>& palette,
                     const std::function<std::uint8_t(int x, int y)>& pixel) {
    const auto stride = static_cast<std::uint32_t>((width + 3) & ~3);
    const std::uint32_t pixelOffset = 14 + 40 + 256 * 4;
    const std::uint32_t imageSize = stride * static_cast<std::uint32_t>(height);
    ByteVector out{'B', 'M'};
    AppendLittleEndian32(out, pixelOffset + imageSize);
    AppendLittleEndian32(out, 0);
    AppendLittleEndian32(out, pixelOffset);
    for (std::uint32_t v :
         {40u, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)})
        AppendLittleEndian32(out, v);
    AppendLittleEndian16(out, 1);
    AppendLittleEndian16(out, 8);
    for (std::uint32_t v : {0u, imageSize, 2835u, 2835u, 256u, 0u})
        AppendLittleEndian32(out, v);
    for (std::size_t i = 0; i < 256; ++i) {
        const Rgb c = i < palette.size() ? palette[i] : Rgb{0, 0, 0};
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < static_cast<int>(stride); ++x)
            out.push_back(x < width ? pixel(x, y) : 0);
    }
    return out;
}

// A ramp of n colours from a to b.
std::vector<Rgb> Ramp(Rgb a, Rgb b, int n) {
    std::vector<Rgb> colours;
    for (int i = 0; i < n; ++i) {
        const double t = n > 1 ? static_cast<double>(i) / (n - 1) : 0.0;
        auto mix = [t](std::uint8_t p, std::uint8_t q) {
            return static_cast<std::uint8_t>(std::lround(p + (q - p) * t));
        };
        colours.push_back({mix(a.r, b.r), mix(a.g, b.g), mix(a.b, b.b)});
    }
    return colours;
}

double Distance(double x0, double y0, double x1, double y1) {
    return std::hypot(x1 - x0, y1 - y0);
}

} // namespace

ByteVector DrawPortrait() {
    // 0 backdrop, 1 skin, 2 hair, 3 eyes, 4 mouth
    const std::vector<Rgb> palette{
        {40, 60, 90}, {230, 190, 150}, {90, 50, 20}, {20, 20, 30}, {170, 40, 40}};
    return EncodeBmp(64, 64, palette, [](int x, int y) -> std::uint8_t {
        const double face = Distance(x, y, 32, 34);
        if (face < 22 && y < 20)
            return 2;
        if ((Distance(x, y, 24, 30) < 3) || (Distance(x, y, 40, 30) < 3))
            return 3;
        if (y >= 42 && y <= 45 && std::abs(x - 32) < 9 - (y - 42) * 2)
            return 4;
        return face < 22 ? 1 : 0;
    });
}

ByteVector DrawBackground() {
    // 0-63 sky, 64-79 hills, 80 sun
    std::vector<Rgb> palette = Ramp({30, 60, 140}, {240, 170, 110}, 64);
    const std::vector<Rgb> hills = Ramp({20, 70, 30}, {60, 120, 50}, 16);
    palette.insert(palette.end(), hills.begin(), hills.end());
    palette.push_back({255, 230, 120});
    return EncodeBmp(160, 100, palette, [](int x, int y) -> std::uint8_t {
        const double ridge = 62 + 10 * std::sin(x / 17.0) + 5 * std::sin(x / 7.0 + 1.3);
        if (y > ridge)
            return static_cast<std::uint8_t>(64 + std::min(15, (y - static_cast<int>(ridge)) / 3));
        if (Distance(x, y, 120, 40) < 11)
            return 80;
        return static_cast<std::uint8_t>(y * 63 / 99);
    });
}

ByteVector DrawOverlay() {
    // 0 transparent key, 1 frame, 2 needle
    const std::vector<Rgb> palette{{255, 0, 255}, {200, 200, 210}, {220, 40, 40}};
    return EncodeBmp(64, 32, palette, [](int x, int y) -> std::uint8_t {
        const double r = Distance(x, y, 32, 16);
        if (r > 13 && r < 15)
            return 1;
        if (std::abs(x - 32) <= 1 && y > 4 && y < 16)
            return 2;
        return (x == 0 || y == 0 || x == 63 || y == 31) ? 1 : 0;
    });
}

ByteVector SynthesizeChime() {
    constexpr std::uint32_t RATE = 11025;
    constexpr std::uint32_t SAMPLES = RATE * 6 / 10;
    ByteVector out{'R', 'I', 'F', 'F'};
    AppendLittleEndian32(out, 36 + SAMPLES);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    AppendLittleEndian32(out, 16);
    AppendLittleEndian16(out, 1);    // PCM
    AppendLittleEndian16(out, 1);    // mono
    AppendLittleEndian32(out, RATE); // samples per second
    AppendLittleEndian32(out, RATE); // bytes per second
    AppendLittleEndian16(out, 1);    // block size
    AppendLittleEndian16(out, 8);    // bits per sample
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    AppendLittleEndian32(out, SAMPLES);
    for (std::uint32_t i = 0; i < SAMPLES; ++i) {
        const double t = static_cast<double>(i) / RATE;
        const double tone = std::sin(2 * PI * 880 * t) + 0.5 * std::sin(2 * PI * 1320 * t);
        const double level = 80 * std::exp(-5 * t) * tone / 1.5;
        out.push_back(static_cast<std::uint8_t>(std::lround(128 + level)));
    }
    return out;
}
