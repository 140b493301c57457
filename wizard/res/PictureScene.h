#pragma once

// The small renderer the picture generators draw with: filled shapes shaded top to bottom,
// sampled 4 x 4 per pixel, written as 24-bit BMP files and 32-bit icons with alpha.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace pictures {

struct Rgba {
    float r, g, b, a;
};

inline Rgba Hex(uint32_t rgb, float a = 1.0f) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, a};
}

inline Rgba Mix(const Rgba& p, const Rgba& q, float t) {
    return {p.r + (q.r - p.r) * t, p.g + (q.g - p.g) * t, p.b + (q.b - p.b) * t,
            p.a + (q.a - p.a) * t};
}

// One filled shape, shaded from `top` to `bottom` over its own height.
struct Shape {
    enum Kind { RoundRect, Circle, Triangle } kind;
    float x0, y0, x1, y1; // bounds; for a triangle, the first two corners
    float r;              // corner radius, or the circle's radius
    float x2, y2;         // a triangle's third corner
    Rgba top, bottom;

    bool Contains(float x, float y) const {
        switch (kind) {
        case RoundRect: {
            if (x < x0 || x > x1 || y < y0 || y > y1)
                return false;
            const float cx = std::fmin(std::fmax(x, x0 + r), x1 - r);
            const float cy = std::fmin(std::fmax(y, y0 + r), y1 - r);
            return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
        }
        case Circle:
            return (x - x0) * (x - x0) + (y - y0) * (y - y0) <= r * r;
        case Triangle: {
            auto side = [](float ax, float ay, float bx, float by, float px, float py) {
                return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
            };
            const float d1 = side(x0, y0, x1, y1, x, y);
            const float d2 = side(x1, y1, x2, y2, x, y);
            const float d3 = side(x2, y2, x0, y0, x, y);
            return !((d1 < 0 || d2 < 0 || d3 < 0) && (d1 > 0 || d2 > 0 || d3 > 0));
        }
        }
        return false;
    }

    Rgba ColourAt(float y) const {
        const float h0 = kind == Circle ? y0 - r : y0;
        const float h1 = kind == Circle ? y0 + r : (kind == Triangle ? std::fmax(y1, y2) : y1);
        const float t = h1 > h0 ? (y - h0) / (h1 - h0) : 0.0f;
        return Mix(top, bottom, std::fmin(std::fmax(t, 0.0f), 1.0f));
    }
};

class Scene {
public:
    Scene(int width, int height, Rgba backgroundTop, Rgba backgroundBottom)
        : m_width(width), m_height(height), m_top(backgroundTop), m_bottom(backgroundBottom) {}

    void Box(float x0, float y0, float x1, float y1, float r, Rgba top, Rgba bottom) {
        m_shapes.push_back({Shape::RoundRect, x0, y0, x1, y1, r, 0, 0, top, bottom});
    }
    void Box(float x0, float y0, float x1, float y1, float r, Rgba colour) {
        Box(x0, y0, x1, y1, r, colour, colour);
    }
    void Disc(float cx, float cy, float r, Rgba top, Rgba bottom) {
        m_shapes.push_back({Shape::Circle, cx, cy, 0, 0, r, 0, 0, top, bottom});
    }
    void Disc(float cx, float cy, float r, Rgba colour) { Disc(cx, cy, r, colour, colour); }
    void Tri(float ax, float ay, float bx, float by, float cx, float cy, Rgba colour) {
        m_shapes.push_back({Shape::Triangle, ax, ay, bx, by, 0, cx, cy, colour, colour});
    }

    // Premultiplied RGBA rows, top row first, each pixel averaged over 4 x 4 samples.
    std::vector<Rgba> Render() const {
        const int n = 4;
        std::vector<Rgba> pixels(static_cast<size_t>(m_width) * m_height);
        for (int py = 0; py < m_height; ++py)
            for (int px = 0; px < m_width; ++px) {
                Rgba sum = {0, 0, 0, 0};
                for (int sy = 0; sy < n; ++sy)
                    for (int sx = 0; sx < n; ++sx) {
                        const Rgba c = Sample(px + (sx + 0.5f) / n, py + (sy + 0.5f) / n);
                        sum.r += c.r * c.a;
                        sum.g += c.g * c.a;
                        sum.b += c.b * c.a;
                        sum.a += c.a;
                    }
                const float k = 1.0f / (n * n);
                pixels[static_cast<size_t>(py) * m_width + px] = {sum.r * k, sum.g * k, sum.b * k,
                                                                  sum.a * k};
            }
        return pixels;
    }

    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    Rgba Sample(float x, float y) const {
        Rgba c = Mix(m_top, m_bottom, y / m_height);
        for (const Shape& s : m_shapes) {
            if (!s.Contains(x, y))
                continue;
            const Rgba f = s.ColourAt(y);
            const float a = f.a + c.a * (1 - f.a);
            if (a <= 0)
                continue;
            c = {(f.r * f.a + c.r * c.a * (1 - f.a)) / a, (f.g * f.a + c.g * c.a * (1 - f.a)) / a,
                 (f.b * f.a + c.b * c.a * (1 - f.a)) / a, a};
        }
        return c;
    }

    int m_width, m_height;
    Rgba m_top, m_bottom;
    std::vector<Shape> m_shapes;
};

inline uint8_t Byte(float v) {
    const float c = std::fmin(std::fmax(v, 0.0f), 1.0f);
    return static_cast<uint8_t>(std::lround(c * 255.0f));
}

inline void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
inline void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

inline void PutInfoHeader(std::vector<uint8_t>& out, int width, int height, int bits,
                          uint32_t imageBytes) {
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(width));
    Put32(out, static_cast<uint32_t>(height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0); // BI_RGB
    Put32(out, imageBytes);
    Put32(out, 2835); // 72 dpi
    Put32(out, 2835);
    Put32(out, 0);
    Put32(out, 0);
}

inline bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// An opaque 24-bit bottom-up BMP.
inline std::vector<uint8_t> Bmp(const Scene& scene) {
    const int w = scene.Width(), h = scene.Height();
    const std::vector<Rgba> px = scene.Render();
    const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    const uint32_t imageBytes = stride * static_cast<uint32_t>(h);
    std::vector<uint8_t> out;
    Put16(out, 0x4D42);
    Put32(out, 14 + 40 + imageBytes);
    Put32(out, 0);
    Put32(out, 14 + 40);
    PutInfoHeader(out, w, h, 24, imageBytes);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            const Rgba& p = px[static_cast<size_t>(y) * w + x];
            out.push_back(Byte(p.b));
            out.push_back(Byte(p.g));
            out.push_back(Byte(p.r));
        }
        out.resize(out.size() + (stride - static_cast<uint32_t>(w) * 3));
    }
    return out;
}

// An icon file holding each scene as a 32-bit image with alpha and its mask.
inline std::vector<uint8_t> Ico(const std::vector<Scene>& sizes) {
    std::vector<std::vector<uint8_t>> images;
    for (const Scene& scene : sizes) {
        const int s = scene.Width();
        const std::vector<Rgba> px = scene.Render();
        const uint32_t maskStride = ((static_cast<uint32_t>(s) + 31) / 32) * 4;
        std::vector<uint8_t> image;
        PutInfoHeader(image, s, s * 2, 32, static_cast<uint32_t>(s * s * 4));
        for (int y = s - 1; y >= 0; --y)
            for (int x = 0; x < s; ++x) {
                const Rgba& p = px[static_cast<size_t>(y) * s + x];
                const float a = p.a > 0 ? p.a : 1.0f; // rendered premultiplied
                image.push_back(Byte(p.b / a));
                image.push_back(Byte(p.g / a));
                image.push_back(Byte(p.r / a));
                image.push_back(Byte(p.a));
            }
        for (int y = s - 1; y >= 0; --y) {
            std::vector<uint8_t> row(maskStride, 0);
            for (int x = 0; x < s; ++x)
                if (px[static_cast<size_t>(y) * s + x].a < 0.5f)
                    row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            image.insert(image.end(), row.begin(), row.end());
        }
        images.push_back(image);
    }
    std::vector<uint8_t> out;
    Put16(out, 0);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(images.size()));
    uint32_t offset = 6 + 16 * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int s = sizes[i].Width();
        out.push_back(static_cast<uint8_t>(s));
        out.push_back(static_cast<uint8_t>(s));
        out.push_back(0);
        out.push_back(0);
        Put16(out, 1);
        Put16(out, 32);
        Put32(out, static_cast<uint32_t>(images[i].size()));
        Put32(out, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const auto& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

} // namespace pictures
