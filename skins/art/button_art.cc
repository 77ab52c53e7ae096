// Push buttons in their normal, hover, pressed and disabled looks: the menu
// plates, the Enter-game button and the window buttons of the caption band.
#include <algorithm>
#include <string>

#include "skins/art/catalogue.h"

namespace skin_art {
namespace {

const State kPushStates[] = {State::kNormal, State::kHot, State::kPushed, State::kDisabled};

// Colours of one look of a plate button.
struct PlateLook {
  Color top, bottom, edge, light;
  float glow;
};

PlateLook MenuLook(State state) {
  switch (state) {
    case State::kHot:
      return {Hex(0x5a3c22), Hex(0x2a1b10), tone::GoldLight(), tone::GoldLight(), 0.5f};
    case State::kPushed:
      return {Hex(0x100b07), Hex(0x2a1c12), tone::Gold(), tone::Bronze(), 0};
    case State::kDisabled:
      return {Hex(0x2a2724), Hex(0x1a1816), tone::Ash(), Hex(0x6a645c), 0};
    default:
      return {Hex(0x3a2818), Hex(0x180f09), tone::Bronze(), tone::Gold(), 0};
  }
}

PlateLook EnterLook(State state) {
  switch (state) {
    case State::kHot:
      return {Hex(0xd0442a), Hex(0x6e140a), tone::GoldLight(), Hex(0xfff0c0), 0.7f};
    case State::kPushed:
      return {Hex(0x500e08), Hex(0x8c2014), tone::Gold(), tone::Gold(), 0};
    case State::kDisabled:
      return {Hex(0x4a3a36), Hex(0x241c1a), tone::Ash(), Hex(0x7a706a), 0};
    default:
      return {tone::Crimson(), tone::CrimsonDark(), tone::Gold(), tone::GoldLight(), 0.2f};
  }
}

// A plate: dark edge, gradient body, metal rim, a gloss line at the top and
// a diamond stud at each end.
Canvas PlateButton(int width, int height, float radius, const PlateLook& look, bool studs) {
  Canvas c(width, height);
  const Box b = c.Bounds();
  const float h = float(height), w = float(width);
  c.FillRoundRect(b, radius, Flat(Hex(0x000000, 0.9f)));
  c.FillRoundRect(b.Inset(1), radius - 1, VerticalGradient(1, look.top, h - 1, look.bottom));
  if (look.glow > 0) c.Glow(w / 2, h * 0.95f, w * 0.7f, WithAlpha(look.light, look.glow * 0.35f));
  c.StrokeRoundRect(b.Inset(1), radius - 1, 1.5f, VerticalGradient(1, look.light, h, look.edge));
  c.StrokeRoundRect(b.Inset(3.5f), radius - 3, 1, Flat(WithAlpha(look.edge, 0.45f)));
  c.FillRoundRect(Box{radius, 4, w - radius, 5}, 0.5f, Flat(WithAlpha(look.light, 0.35f)));
  if (studs) {
    for (float x : {7.0f, w - 7.0f}) {
      c.FillPolygon({x, h / 2 - 3, x + 3, h / 2, x, h / 2 + 3, x - 3, h / 2}, Flat(look.light));
    }
  }
  return c;
}

// The window buttons: a glyph on a plate that shows only under the mouse.
enum class Glyph { kMinimise, kMaximise, kRestore, kClose };

Canvas WindowButton(Glyph glyph, State state) {
  Canvas c(26, 22);
  const Box b = c.Bounds();
  if (state != State::kNormal) {
    const bool pushed = state == State::kPushed;
    const Color fill = glyph == Glyph::kClose ? (pushed ? Hex(0x6a120a) : tone::Crimson())
                                              : (pushed ? Hex(0x2a1c10) : Hex(0x5a3c22));
    c.FillRoundRect(b.Inset(0.5f), 3, Flat(WithAlpha(fill, 0.9f)));
    c.StrokeRoundRect(b.Inset(0.5f), 3, 1, Flat(WithAlpha(tone::Gold(), 0.8f)));
  }
  const Color ink = state == State::kNormal ? tone::Gold() : tone::GoldLight();
  const Paint pen = Flat(ink);
  switch (glyph) {
    case Glyph::kMinimise:
      c.Line(8, 15, 18, 15, 2, pen);
      break;
    case Glyph::kMaximise:
      c.StrokeRoundRect(Box{8, 6, 18, 16}, 1, 1.6f, pen);
      c.FillRoundRect(Box{8, 6, 18, 8}, 0, pen);
      break;
    case Glyph::kRestore:
      c.StrokeRoundRect(Box{10.5f, 4.5f, 19, 13}, 1, 1.4f, pen);
      c.FillRoundRect(Box{7, 8, 15.5f, 16.5f}, 1,
                      Flat(state == State::kNormal ? Hex(0, 0) : Hex(0x5a3c22)));
      c.StrokeRoundRect(Box{7, 8, 15.5f, 16.5f}, 1, 1.4f, pen);
      break;
    case Glyph::kClose:
      c.Line(8.5f, 6.5f, 17.5f, 15.5f, 2, pen);
      c.Line(17.5f, 6.5f, 8.5f, 15.5f, 2, pen);
      break;
  }
  return c;
}

std::string Name(const std::string& stem, State state) {
  return stem + "_" + StateSuffix(state) + ".png";
}

}  // namespace

const char* StateSuffix(State state) {
  switch (state) {
    case State::kHot:
      return "hot";
    case State::kPushed:
      return "pushed";
    case State::kDisabled:
      return "disabled";
    case State::kSelected:
      return "selected";
    default:
      return "normal";
  }
}

void AddButtonArt(Catalogue* pieces) {
  for (State state : kPushStates) {
    pieces->push_back({Name("btn_menu", state),
                       [state] { return PlateButton(48, 36, 5, MenuLook(state), true); }});
    pieces->push_back({Name("btn_enter", state),
                       [state] { return PlateButton(72, 60, 10, EnterLook(state), true); }});
  }
  const struct {
    const char* stem;
    Glyph glyph;
  } glyphs[] = {{"sys_min", Glyph::kMinimise},
                {"sys_max", Glyph::kMaximise},
                {"sys_restore", Glyph::kRestore},
                {"sys_close", Glyph::kClose}};
  for (const auto& g : glyphs) {
    for (State state : {State::kNormal, State::kHot, State::kPushed}) {
      const Glyph glyph = g.glyph;
      pieces->push_back(
          {Name(g.stem, state), [glyph, state] { return WindowButton(glyph, state); }});
    }
  }
}

}  // namespace skin_art
