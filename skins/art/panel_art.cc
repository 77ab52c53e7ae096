// Frames, panels and the progress bar: nine-slice images whose corners keep
// their size while the middle stretches.
#include <algorithm>
#include <cmath>

#include "skins/art/catalogue.h"

namespace skin_art {
namespace {

// Gold corner brackets with a diamond at the corner point, `inset` from the
// canvas edge and `arm` long.
void CornerBrackets(Canvas& c, float inset, float arm, Color color) {
  const float w = float(c.width()), h = float(c.height());
  const float xs[] = {inset, w - inset}, ys[] = {inset, h - inset};
  for (float x : xs) {
    for (float y : ys) {
      const float sx = x < w / 2 ? 1.0f : -1.0f, sy = y < h / 2 ? 1.0f : -1.0f;
      c.Line(x, y, x + sx * arm, y, 1.4f, Flat(color));
      c.Line(x, y, x, y + sy * arm, 1.4f, Flat(color));
      c.FillPolygon({x, y - 3.2f, x + 3.2f, y, x, y + 3.2f, x - 3.2f, y},
                    Flat(Lighter(color, 0.3f)));
    }
  }
}

// Two-line metal border: a dark edge, bronze, then a thin gold light inside.
void MetalBorder(Canvas& c, float radius, float goldAlpha) {
  const Box b = c.Bounds();
  c.StrokeRoundRect(b, radius, 1, Flat(Hex(0x000000, 0.85f)));
  c.StrokeRoundRect(b.Inset(1), std::max(0.0f, radius - 1), 2,
                    VerticalGradient(0, tone::Bronze(), b.bottom, tone::BronzeDark()));
  c.StrokeRoundRect(b.Inset(4), std::max(0.0f, radius - 3), 1,
                    Flat(WithAlpha(tone::Gold(), goldAlpha)));
}

// The frame's outline over its whole window; the middle stays clear.
Canvas FrameBorder() {
  Canvas c(64, 64);
  MetalBorder(c, 5, 0.55f);
  CornerBrackets(c, 6, 7, tone::Gold());
  return c;
}

// The caption band: dark glass with a gold rule at its foot.
Canvas TitleBar() {
  Canvas c(32, 30);
  c.FillRoundRect(Box{0, 0, 32, 29}, 0,
                  VerticalGradient(0, Hex(0x050403, 0.92f), 29, WithAlpha(tone::Umber(), 0.82f)));
  c.FillRoundRect(Box{0, 28, 32, 29}, 0, Flat(WithAlpha(tone::Gold(), 0.8f)));
  c.FillRoundRect(Box{0, 29, 32, 30}, 0, Flat(Hex(0x000000, 0.6f)));
  return c;
}

// The board that the news pages and the banner lie on.
Canvas Board() {
  Canvas c(48, 48);
  c.FillRoundRect(c.Bounds(), 6, Flat(Hex(0x080605, 0.94f)));
  c.StrokeRoundRect(c.Bounds(), 6, 1, Flat(Hex(0x000000, 0.9f)));
  c.StrokeRoundRect(c.Bounds().Inset(1), 5, 1.5f,
                    VerticalGradient(0, tone::Bronze(), 48, tone::BronzeDark()));
  CornerBrackets(c, 3, 8, tone::Gold());
  return c;
}

// A see-through plate behind the menu buttons.
Canvas Plate() {
  Canvas c(40, 40);
  c.FillRoundRect(c.Bounds(), 6,
                  VerticalGradient(0, Hex(0x0a0806, 0.70f), 40, Hex(0x0a0806, 0.50f)));
  c.StrokeRoundRect(c.Bounds(), 6, 1, Flat(WithAlpha(tone::Bronze(), 0.7f)));
  return c;
}

// Opaque panel of a window of its own (update panel, settings dialog).
Canvas WindowPanel(int size, float radius) {
  Canvas c(size, size);
  const float s = float(size);
  c.FillRoundRect(c.Bounds(), radius, VerticalGradient(0, Hex(0x241a12), s, Hex(0x0e0a07)));
  MetalBorder(c, radius, 0.45f);
  CornerBrackets(c, 7, float(size) / 4, tone::Gold());
  return c;
}

Canvas UpdatePanel() { return WindowPanel(48, 0); }
Canvas DialogPanel() { return WindowPanel(64, 4); }

// The server popup: a plain dark list with a gold edge.
Canvas Popup() {
  Canvas c(32, 32);
  c.FillRoundRect(c.Bounds(), 0, VerticalGradient(0, Hex(0x1a120c), 32, Hex(0x0c0907)));
  c.StrokeRoundRect(c.Bounds(), 0, 1, Flat(tone::Gold()));
  c.StrokeRoundRect(c.Bounds().Inset(1), 0, 1, Flat(tone::BronzeDark()));
  return c;
}

// Progress bar: the sunken track and the gold fill drawn over it.
Canvas ProgressTrack() {
  Canvas c(24, 12);
  const Box b = c.Bounds();
  c.FillRoundRect(b, 6, VerticalGradient(0, Hex(0x030202), 12, Hex(0x1c140e)));
  c.StrokeRoundRect(b, 6, 1, VerticalGradient(0, tone::BronzeDark(), 12, tone::Bronze()));
  return c;
}

Canvas ProgressFill() {
  Canvas c(24, 12);
  const Box b = c.Bounds().Inset(1);
  c.FillRoundRect(b, 5, [](float, float y) {
    const float t = (y - 1) / 10;
    if (t < 0.45f) return Mix(Hex(0xfff0b0), Hex(0xe6a838), t / 0.45f);
    return Mix(Hex(0xe6a838), Hex(0x8a4a12), (t - 0.45f) / 0.55f);
  });
  c.FillRoundRect(Box{4, 2, 20, 3.4f}, 0.7f, Flat(Hex(0xffffff, 0.45f)));
  return c;
}

// The spark that rides on the bar's filled end. The panel places the image
// 5 pixels left of that end, so the spark's centre is 5 pixels in; the rest
// is a faint trail.
Canvas ProgressSpark() {
  Canvas c(20, 24);
  c.FillRoundRect(Box{5, 9, 20, 15}, 3,
                  HorizontalGradient(5, Hex(0xffd070, 0.35f), 20, Hex(0xffd070, 0)));
  c.Glow(5, 12, 6, Hex(0xffc860, 0.9f));
  c.Line(5, 1, 5, 12, 1.2f, VerticalGradient(1, Hex(0xfff2c0, 0), 12, Hex(0xfff2c0, 0.9f)));
  c.Line(5, 12, 5, 23, 1.2f, VerticalGradient(12, Hex(0xfff2c0, 0.9f), 23, Hex(0xfff2c0, 0)));
  c.FillPolygon({5, 5, 8, 12, 5, 19, 2, 12}, VerticalGradient(5, Hex(0xfffbe8), 19, Hex(0xf0b040)));
  c.FillCircle(5, 12, 1.6f, Flat(Hex(0xffffff)));
  return c;
}

}  // namespace

void AddPanelArt(Catalogue* pieces) {
  pieces->push_back({"frame_border.png", FrameBorder});
  pieces->push_back({"title_bar.png", TitleBar});
  pieces->push_back({"board.png", Board});
  pieces->push_back({"plate.png", Plate});
  pieces->push_back({"panel.png", UpdatePanel});
  pieces->push_back({"dialog.png", DialogPanel});
  pieces->push_back({"popup.png", Popup});
  pieces->push_back({"progress_track.png", ProgressTrack});
  pieces->push_back({"progress_fill.png", ProgressFill});
  pieces->push_back({"progress_spark.png", ProgressSpark});
}

}  // namespace skin_art
