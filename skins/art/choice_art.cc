// Option buttons: the area tabs, the check box and radio marks, and the
// server picker that opens the popup above itself.
#include <string>

#include "skins/art/catalogue.h"

namespace skin_art {
namespace {

const State kChoiceStates[] = {State::kNormal, State::kHot, State::kSelected};

Canvas Tab(State state) {
  Canvas c(40, 22);
  const Box b = c.Bounds();
  const bool selected = state == State::kSelected, hot = state == State::kHot;
  const Color top = selected ? Hex(0x6a4422) : hot ? Hex(0x3e2a18) : Hex(0x22180f);
  const Color bottom = selected ? Hex(0x2c1a0c) : hot ? Hex(0x1c130b) : Hex(0x0e0a07);
  c.FillRoundRect(b, 3, Flat(Hex(0x000000, 0.85f)));
  c.FillRoundRect(b.Inset(1), 2, VerticalGradient(1, top, 21, bottom));
  c.StrokeRoundRect(b.Inset(1), 2, 1,
                    Flat(selected ? tone::GoldLight()
                         : hot    ? tone::Gold()
                                  : tone::BronzeDark()));
  if (selected) c.FillRoundRect(Box{4, 18, 36, 20}, 1, Flat(tone::Gold()));
  return c;
}

// A mark on the left of an option; the rest of the image stays clear so the
// text beside it shows.
Canvas Mark(bool round, State state) {
  Canvas c(24, 22);
  const bool hot = state == State::kHot, selected = state == State::kSelected;
  const Paint body = VerticalGradient(4, Hex(0x050403), 18, Hex(0x22180f));
  const Paint rim = Flat(hot || selected ? tone::GoldLight() : tone::Bronze());
  if (round) {
    c.FillCircle(10, 11, 7, body);
    c.StrokeCircle(10, 11, 7, 1.4f, rim);
    if (selected) {
      c.Glow(10, 11, 7, Hex(0xffc860, 0.5f));
      c.FillCircle(10, 11, 3.4f, RadialGradient(9, 10, 4, tone::GoldLight(), tone::Gold()));
    }
  } else {
    const Box box{3, 4, 17, 18};
    c.FillRoundRect(box, 2.5f, body);
    c.StrokeRoundRect(box, 2.5f, 1.4f, rim);
    if (selected) {
      const Paint tick = Flat(tone::GoldLight());
      c.Line(6, 11, 9, 14.5f, 2.2f, tick);
      c.Line(9, 14.5f, 15, 7, 2.2f, tick);
    }
  }
  return c;
}

// The server picker: a plate with a divider and an arrow at the right that
// points up, where the list opens; down while it is open.
Canvas Dropdown(State state) {
  Canvas c(48, 30);
  const Box b = c.Bounds();
  const bool open = state == State::kSelected, hot = state == State::kHot;
  const bool pushed = state == State::kPushed;
  const Color top = hot ? Hex(0x4a3220) : pushed || open ? Hex(0x100b07) : Hex(0x2e2016);
  const Color bottom = hot ? Hex(0x20150c) : pushed || open ? Hex(0x24180e) : Hex(0x120c08);
  c.FillRoundRect(b, 4, Flat(Hex(0x000000, 0.9f)));
  c.FillRoundRect(b.Inset(1), 3, VerticalGradient(1, top, 29, bottom));
  c.StrokeRoundRect(b.Inset(1), 3, 1.4f, Flat(hot || open ? tone::GoldLight() : tone::Bronze()));
  c.FillRoundRect(Box{27, 6, 28, 24}, 0, Flat(WithAlpha(tone::Bronze(), 0.8f)));
  const Paint arrow = Flat(hot || open ? tone::GoldLight() : tone::Gold());
  if (open) {
    c.FillPolygon({33, 12, 43, 12, 38, 18}, arrow);
  } else {
    c.FillPolygon({33, 18, 43, 18, 38, 12}, arrow);
  }
  return c;
}

std::string Name(const char* stem, State state) {
  return std::string(stem) + "_" + StateSuffix(state) + ".png";
}

}  // namespace

void AddChoiceArt(Catalogue* pieces) {
  for (State state : kChoiceStates) {
    pieces->push_back({Name("tab", state), [state] { return Tab(state); }});
    pieces->push_back({Name("check", state), [state] { return Mark(false, state); }});
    pieces->push_back({Name("radio", state), [state] { return Mark(true, state); }});
  }
  for (State state : {State::kNormal, State::kHot, State::kPushed, State::kSelected}) {
    pieces->push_back({Name("dropdown", state), [state] { return Dropdown(state); }});
  }
}

}  // namespace skin_art
