// A small RGBA raster with anti-aliased shapes, enough to draw the skin art.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace skin_art {

// Straight (not premultiplied) colour, each channel 0..1.
struct Color {
  float r = 0, g = 0, b = 0, a = 1;
};

// "#RRGGBB" style literal helper: Hex(0x1a140f) or Hex(0x1a140f, 0.5f).
Color Hex(uint32_t rgb, float alpha = 1.0f);
Color Mix(const Color& a, const Color& b, float t);
Color WithAlpha(Color c, float alpha);
Color Lighter(Color c, float amount);  // towards white by amount (0..1)
Color Darker(Color c, float amount);   // towards black by amount (0..1)

struct Box {
  float left, top, right, bottom;
  float Width() const { return right - left; }
  float Height() const { return bottom - top; }
  Box Inset(float d) const { return Box{left + d, top + d, right - d, bottom - d}; }
};

// Colour of a shape at a point, so shapes take gradients as well as flat colours.
using Paint = std::function<Color(float x, float y)>;
Paint Flat(Color c);
Paint VerticalGradient(float top, Color at_top, float bottom, Color at_bottom);
Paint HorizontalGradient(float left, Color at_left, float right, Color at_right);
Paint RadialGradient(float cx, float cy, float radius, Color inner, Color outer);

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  Box Bounds() const { return Box{0, 0, float(width_), float(height_)}; }

  // Source-over blend of `c` at pixel (x, y) with the given coverage.
  void Blend(int x, int y, Color c, float coverage);
  Color At(int x, int y) const;

  // Rounded rectangle (radius 0 = square corners), filled.
  void FillRoundRect(const Box& box, float radius, const Paint& paint);
  // Outline of width `width` lying inside `box`.
  void StrokeRoundRect(const Box& box, float radius, float width, const Paint& paint);
  void FillCircle(float cx, float cy, float radius, const Paint& paint);
  void StrokeCircle(float cx, float cy, float radius, float width, const Paint& paint);
  // Line with round caps.
  void Line(float x0, float y0, float x1, float y1, float width, const Paint& paint);
  // Polygon (any winding), even-odd, anti-aliased by supersampling.
  void FillPolygon(const std::vector<float>& xy, const Paint& paint);
  // Any region given by an inside test, anti-aliased by supersampling.
  void FillRegion(const Box& bounds, const std::function<bool(float, float)>& inside,
                  const Paint& paint);
  // A soft glow: colour fading from the centre to nothing at `radius`.
  void Glow(float cx, float cy, float radius, Color c);

  // Rows of straight RGBA bytes, top row first.
  std::vector<uint8_t> ToRgba8() const;

 private:
  // Coverage from a signed distance (negative inside) in pixels.
  void FillByDistance(const Box& bounds, const std::function<float(float, float)>& distance,
                      const Paint& paint);

  int width_, height_;
  std::vector<Color> pixels_;  // premultiplied
};

// Signed distance from (x, y) to a rounded rectangle, negative inside.
float RoundRectDistance(const Box& box, float radius, float x, float y);

// Deterministic value noise in 0..1 for terrain and texture.
float Noise1(float x, uint32_t seed);
float Fractal1(float x, uint32_t seed, int octaves);

}  // namespace skin_art
