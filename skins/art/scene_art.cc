// The frame's backdrop (a dusk landscape with a castle), the crest and the
// ornaments around the title and the Enter-game button.
#include <algorithm>
#include <cmath>

#include "skins/art/catalogue.h"

namespace skin_art {
namespace {

constexpr int kSceneWidth = 500;
constexpr int kSceneHeight = 345;

// Height of a mountain ridge at x, as a y coordinate.
float Ridge(float x, float base, float amplitude, float scale, uint32_t seed) {
  return base - amplitude * Fractal1(x / scale, seed, 5);
}

void DrawCastle(Canvas& c, float groundX, float groundY, Color stone, Color light) {
  struct Tower {
    float dx, width, height, roof;
  };
  const Tower towers[] = {
      {-34, 9, 34, 12}, {-22, 14, 52, 18}, {-6, 10, 70, 22}, {6, 16, 46, 14}, {22, 8, 30, 10}};
  // Curtain wall between the towers.
  c.FillRoundRect(Box{groundX - 38, groundY - 22, groundX + 32, groundY + 4}, 0, Flat(stone));
  for (int i = 0; i < 7; ++i) {
    const float x = groundX - 37 + float(i) * 10;
    c.FillRoundRect(Box{x, groundY - 26, x + 5, groundY - 21}, 0, Flat(stone));
  }
  for (const Tower& t : towers) {
    const float left = groundX + t.dx, right = left + t.width, top = groundY - t.height;
    c.FillRoundRect(Box{left, top, right, groundY + 2}, 0, Flat(stone));
    c.FillPolygon(
        {left - 1.5f, top + 0.5f, right + 1.5f, top + 0.5f, (left + right) / 2, top - t.roof},
        Flat(stone));
    // One lit window a tower.
    const float wx = (left + right) / 2;
    c.FillRoundRect(Box{wx - 1.2f, top + 7, wx + 1.2f, top + 11}, 0.5f, Flat(light));
    c.Glow(wx, top + 9, 5, WithAlpha(light, 0.35f));
  }
}

Canvas FrameScene() {
  Canvas c(kSceneWidth, kSceneHeight);
  const float w = float(kSceneWidth), h = float(kSceneHeight);
  // Sky from night to an ember horizon.
  c.FillRoundRect(c.Bounds(), 0, [h](float, float y) {
    const float t = y / h;
    if (t < 0.40f) return Mix(Hex(0x0c0a14), Hex(0x2a1620), t / 0.40f);
    if (t < 0.62f) return Mix(Hex(0x2a1620), Hex(0x7a3a1c), (t - 0.40f) / 0.22f);
    return Mix(Hex(0x7a3a1c), Hex(0x120c0a), (t - 0.62f) / 0.38f);
  });
  c.Glow(w * 0.5f, h * 0.63f, w * 0.55f, Hex(0xb8602a, 0.30f));

  // A few fixed stars in the upper sky.
  for (uint32_t i = 0; i < 70; ++i) {
    const float x = Noise1(float(i) * 7.31f + 0.5f, 11) * w;
    const float y = Noise1(float(i) * 3.17f + 0.5f, 23) * h * 0.38f;
    const float bright = 0.25f + 0.6f * Noise1(float(i) * 1.7f + 0.5f, 5);
    c.FillCircle(x, y, 0.6f, Flat(WithAlpha(tone::Parchment(), bright)));
  }

  // The moon with its halo.
  c.Glow(w * 0.78f, h * 0.2f, 90, Hex(0xf0d8a0, 0.22f));
  c.FillCircle(w * 0.78f, h * 0.2f, 17,
               RadialGradient(w * 0.78f - 5, h * 0.2f - 5, 24, Hex(0xfff4dc), Hex(0xe0c890)));

  // Three ridges, far to near, with fog between them.
  struct Layer {
    float base, amplitude, scale;
    uint32_t seed;
    Color color;
  };
  const Layer layers[] = {{h * 0.60f, h * 0.16f, 70, 3, Hex(0x3a2228)},
                          {h * 0.72f, h * 0.13f, 55, 7, Hex(0x22141a)},
                          {h * 0.86f, h * 0.10f, 40, 13, Hex(0x0e0a0a)}};
  for (size_t i = 0; i < 3; ++i) {
    const Layer& l = layers[i];
    c.FillRegion(
        Box{0, l.base - l.amplitude - 1, w, h},
        [&l](float x, float y) { return y >= Ridge(x, l.base, l.amplitude, l.scale, l.seed); },
        VerticalGradient(l.base - l.amplitude, l.color, h, Darker(l.color, 0.6f)));
    if (i == 1)
      DrawCastle(c, w * 0.83f, Ridge(w * 0.83f, l.base, l.amplitude, l.scale, l.seed) + 3, l.color,
                 Hex(0xf2c060));
    c.FillRoundRect(Box{0, l.base - 10, w, l.base + 12}, 0, [&l](float, float y) {
      const float t = std::fabs(y - (l.base + 1)) / 11;
      return WithAlpha(Hex(0x8a5a4a), 0.16f * (1 - t) * (1 - t));
    });
  }

  // Darker towards the edges, so panels and text over it stand out.
  c.FillRoundRect(c.Bounds(), 0, [w, h](float x, float y) {
    const float dx = (x - w / 2) / (w / 2), dy = (y - h * 0.4f) / (h * 0.6f);
    const float t = std::min(1.0f, std::sqrt(dx * dx * 0.6f + dy * dy * 0.8f));
    return WithAlpha(tone::Ink(), 0.75f * t * t);
  });
  return c;
}

// The crest in the title band: a gold ring around a four-pointed star.
Canvas Crest() {
  Canvas c(24, 24);
  const Paint gold = VerticalGradient(2, tone::GoldLight(), 22, tone::Bronze());
  c.StrokeCircle(12, 12, 11, 1.6f, gold);
  c.FillPolygon({12, 2.5f, 14, 10, 21.5f, 12, 14, 14, 12, 21.5f, 10, 14, 2.5f, 12, 10, 10}, gold);
  c.FillCircle(12, 12, 2, Flat(tone::Crimson()));
  return c;
}

// A gold rule with a diamond in its middle, under the game's title.
Canvas TitleOrnament() {
  Canvas c(240, 14);
  const Paint rule = [](float x, float) {
    const float t = std::fabs(x - 120) / 120;
    return WithAlpha(tone::Gold(), 1 - t * t);
  };
  c.FillRoundRect(Box{4, 6.4f, 116, 7.6f}, 0.5f, rule);
  c.FillRoundRect(Box{124, 6.4f, 236, 7.6f}, 0.5f, rule);
  c.FillPolygon({120, 1, 126, 7, 120, 13, 114, 7},
                VerticalGradient(1, tone::GoldLight(), 13, tone::Bronze()));
  c.FillPolygon({120, 4.5f, 122.5f, 7, 120, 9.5f, 117.5f, 7}, Flat(tone::Crimson()));
  return c;
}

// The warm light behind the Enter-game button.
Canvas EnterGlow() {
  Canvas c(110, 48);
  c.FillRoundRect(c.Bounds(), 0, [](float x, float y) {
    const float dx = (x - 55) / 55, dy = (y - 24) / 24;
    const float t = std::min(1.0f, std::sqrt(dx * dx + dy * dy));
    return WithAlpha(Hex(0xe08a30), 0.55f * (1 - t) * (1 - t));
  });
  return c;
}

}  // namespace

void AddSceneArt(Catalogue* pieces) {
  pieces->push_back({"frame_scene.png", FrameScene});
  pieces->push_back({"crest.png", Crest});
  pieces->push_back({"title_ornament.png", TitleOrnament});
  pieces->push_back({"enter_glow.png", EnterGlow});
}

}  // namespace skin_art
