#include "skins/art/canvas.h"

#include <algorithm>
#include <cmath>

namespace skin_art {
namespace {

float Clamp01(float v) { return v < 0 ? 0 : v > 1 ? 1 : v; }

// Pixel range a shape within `box` can touch, one pixel of margin for the
// anti-aliased edge.
struct Span {
  int x0, y0, x1, y1;
};

Span Touched(const Box& box, int width, int height) {
  return Span{std::max(0, int(std::floor(box.left)) - 1), std::max(0, int(std::floor(box.top)) - 1),
              std::min(width, int(std::ceil(box.right)) + 1),
              std::min(height, int(std::ceil(box.bottom)) + 1)};
}

uint32_t Hash(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

}  // namespace

Color Hex(uint32_t rgb, float alpha) {
  return Color{float((rgb >> 16) & 0xff) / 255.0f, float((rgb >> 8) & 0xff) / 255.0f,
               float(rgb & 0xff) / 255.0f, alpha};
}

Color Mix(const Color& a, const Color& b, float t) {
  t = Clamp01(t);
  return Color{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
               a.a + (b.a - a.a) * t};
}

Color WithAlpha(Color c, float alpha) {
  c.a = alpha;
  return c;
}

Color Lighter(Color c, float amount) {
  return Color{c.r + (1 - c.r) * amount, c.g + (1 - c.g) * amount, c.b + (1 - c.b) * amount, c.a};
}

Color Darker(Color c, float amount) {
  return Color{c.r * (1 - amount), c.g * (1 - amount), c.b * (1 - amount), c.a};
}

Paint Flat(Color c) {
  return [c](float, float) { return c; };
}

Paint VerticalGradient(float top, Color at_top, float bottom, Color at_bottom) {
  return [=](float, float y) {
    return Mix(at_top, at_bottom, bottom > top ? (y - top) / (bottom - top) : 0);
  };
}

Paint HorizontalGradient(float left, Color at_left, float right, Color at_right) {
  return [=](float x, float) {
    return Mix(at_left, at_right, right > left ? (x - left) / (right - left) : 0);
  };
}

Paint RadialGradient(float cx, float cy, float radius, Color inner, Color outer) {
  return [=](float x, float y) {
    return Mix(inner, outer, radius > 0 ? std::hypot(x - cx, y - cy) / radius : 1);
  };
}

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(size_t(width) * size_t(height), Color{0, 0, 0, 0}) {}

void Canvas::Blend(int x, int y, Color c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const float a = Clamp01(c.a) * Clamp01(coverage);
  if (a <= 0) return;
  Color& d = pixels_[size_t(y) * size_t(width_) + size_t(x)];
  d.r = c.r * a + d.r * (1 - a);
  d.g = c.g * a + d.g * (1 - a);
  d.b = c.b * a + d.b * (1 - a);
  d.a = a + d.a * (1 - a);
}

Color Canvas::At(int x, int y) const {
  const Color& p = pixels_[size_t(y) * size_t(width_) + size_t(x)];
  if (p.a <= 0) return Color{0, 0, 0, 0};
  return Color{p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

void Canvas::FillByDistance(const Box& bounds, const std::function<float(float, float)>& distance,
                            const Paint& paint) {
  const Span span = Touched(bounds, width_, height_);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      const float px = float(x) + 0.5f, py = float(y) + 0.5f;
      const float coverage = Clamp01(0.5f - distance(px, py));
      if (coverage > 0) Blend(x, y, paint(px, py), coverage);
    }
  }
}

float RoundRectDistance(const Box& box, float radius, float x, float y) {
  const float hw = box.Width() / 2, hh = box.Height() / 2;
  radius = std::min(radius, std::min(hw, hh));
  const float qx = std::fabs(x - (box.left + hw)) - (hw - radius);
  const float qy = std::fabs(y - (box.top + hh)) - (hh - radius);
  const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
  return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

void Canvas::FillRoundRect(const Box& box, float radius, const Paint& paint) {
  FillByDistance(
      box, [&](float x, float y) { return RoundRectDistance(box, radius, x, y); }, paint);
}

void Canvas::StrokeRoundRect(const Box& box, float radius, float width, const Paint& paint) {
  FillByDistance(
      box,
      [&](float x, float y) {
        const float d = RoundRectDistance(box, radius, x, y);
        return std::max(d, -(d + width));
      },
      paint);
}

void Canvas::FillCircle(float cx, float cy, float radius, const Paint& paint) {
  FillByDistance(
      Box{cx - radius, cy - radius, cx + radius, cy + radius},
      [&](float x, float y) { return std::hypot(x - cx, y - cy) - radius; }, paint);
}

void Canvas::StrokeCircle(float cx, float cy, float radius, float width, const Paint& paint) {
  FillByDistance(
      Box{cx - radius, cy - radius, cx + radius, cy + radius},
      [&](float x, float y) {
        return std::fabs(std::hypot(x - cx, y - cy) - (radius - width / 2)) - width / 2;
      },
      paint);
}

void Canvas::Line(float x0, float y0, float x1, float y1, float width, const Paint& paint) {
  const float r = width / 2;
  const Box bounds{std::min(x0, x1) - r, std::min(y0, y1) - r, std::max(x0, x1) + r,
                   std::max(y0, y1) + r};
  const float dx = x1 - x0, dy = y1 - y0;
  const float length2 = dx * dx + dy * dy;
  FillByDistance(
      bounds,
      [&](float x, float y) {
        float t = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0;
        t = Clamp01(t);
        return std::hypot(x - (x0 + t * dx), y - (y0 + t * dy)) - r;
      },
      paint);
}

void Canvas::FillRegion(const Box& bounds, const std::function<bool(float, float)>& inside,
                        const Paint& paint) {
  constexpr int kSamples = 4;
  const Span span = Touched(bounds, width_, height_);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      int hits = 0;
      for (int sy = 0; sy < kSamples; ++sy) {
        for (int sx = 0; sx < kSamples; ++sx) {
          if (inside(float(x) + (float(sx) + 0.5f) / kSamples,
                     float(y) + (float(sy) + 0.5f) / kSamples)) {
            ++hits;
          }
        }
      }
      if (hits) {
        Blend(x, y, paint(float(x) + 0.5f, float(y) + 0.5f),
              float(hits) / float(kSamples * kSamples));
      }
    }
  }
}

void Canvas::FillPolygon(const std::vector<float>& xy, const Paint& paint) {
  if (xy.size() < 6) return;
  Box bounds{xy[0], xy[1], xy[0], xy[1]};
  for (size_t i = 0; i + 1 < xy.size(); i += 2) {
    bounds.left = std::min(bounds.left, xy[i]);
    bounds.right = std::max(bounds.right, xy[i]);
    bounds.top = std::min(bounds.top, xy[i + 1]);
    bounds.bottom = std::max(bounds.bottom, xy[i + 1]);
  }
  const size_t n = xy.size() / 2;
  FillRegion(
      bounds,
      [&](float x, float y) {
        bool in = false;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
          const float xi = xy[2 * i], yi = xy[2 * i + 1];
          const float xj = xy[2 * j], yj = xy[2 * j + 1];
          if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
      },
      paint);
}

void Canvas::Glow(float cx, float cy, float radius, Color c) {
  const Span span =
      Touched(Box{cx - radius, cy - radius, cx + radius, cy + radius}, width_, height_);
  for (int y = span.y0; y < span.y1; ++y) {
    for (int x = span.x0; x < span.x1; ++x) {
      const float t = std::hypot(float(x) + 0.5f - cx, float(y) + 0.5f - cy) / radius;
      if (t < 1) Blend(x, y, c, (1 - t) * (1 - t));
    }
  }
}

std::vector<uint8_t> Canvas::ToRgba8() const {
  std::vector<uint8_t> out;
  out.reserve(pixels_.size() * 4);
  auto byte = [](float v) { return uint8_t(std::lround(Clamp01(v) * 255.0f)); };
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const Color c = At(x, y);
      out.push_back(byte(c.r));
      out.push_back(byte(c.g));
      out.push_back(byte(c.b));
      out.push_back(byte(c.a));
    }
  }
  return out;
}

float Noise1(float x, uint32_t seed) {
  const float cell = std::floor(x);
  const float t = x - cell;
  const auto lattice = [seed](int32_t i) {
    return float(Hash(uint32_t(i) * 0x9e3779b9U ^ Hash(seed)) & 0xffffff) / float(0xffffff);
  };
  const float a = lattice(int32_t(cell)), b = lattice(int32_t(cell) + 1);
  const float s = t * t * (3 - 2 * t);
  return a + (b - a) * s;
}

float Fractal1(float x, uint32_t seed, int octaves) {
  float sum = 0, weight = 0, amplitude = 1, frequency = 1;
  for (int i = 0; i < octaves; ++i) {
    sum += Noise1(x * frequency, seed + uint32_t(i) * 101u) * amplitude;
    weight += amplitude;
    amplitude *= 0.5f;
    frequency *= 2.0f;
  }
  return weight > 0 ? sum / weight : 0;
}

}  // namespace skin_art
