#include "skinui/backend/skin_painter.h"

#include <wx/dcgraph.h>
#include <wx/fontenum.h>
#include <wx/graphics.h>

#include <cstring>
#include <map>
#include <optional>
#include <string>

#include "skinui/activex.h"
#include "skinui/attribute_parsing.h"
#include "skinui/backend/skin_images.h"
#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/list.h"
#include "skinui/paint_manager.h"
#include "skinui/progress.h"
#include "skinui/skin_values.h"
#include "skinui/ui_lock.h"
#include "skinui/window_system.h"

namespace skinui {
namespace {

// Families tried when a skin's font is not installed: CJK-capable sans
// fonts first, so Chinese texts always have glyphs.
const char* const kFallbackFaces[] = {"Noto Sans CJK SC", "WenQuanYi Micro Hei",
                                      "WenQuanYi Zen Hei", "Noto Sans", "DejaVu Sans"};

bool FaceInstalled(const std::string& face) {
  static auto* known = new std::map<std::string, bool>;
  auto it = known->find(face);
  if (it == known->end()) {
    it = known->emplace(face, wxFontEnumerator::IsValidFacename(wxString::FromUTF8(face))).first;
  }
  return it->second;
}

const wxFont& FontFor(const SkinFont& spec) {
  static auto* fonts = new std::map<std::string, wxFont>;
  const std::string key = spec.name + "/" + std::to_string(spec.size) + (spec.bold ? "b" : "") +
                          (spec.italic ? "i" : "") + (spec.underline ? "u" : "");
  auto it = fonts->find(key);
  if (it != fonts->end()) return it->second;
  std::string face = spec.name;
  if (face.empty() || !FaceInstalled(face)) {
    face.clear();
    for (const char* fallback : kFallbackFaces) {
      if (FaceInstalled(fallback)) {
        face = fallback;
        break;
      }
    }
  }
  wxFontInfo info(wxSize(0, spec.size));
  info.Family(wxFONTFAMILY_SWISS).Bold(spec.bold).Italic(spec.italic).Underlined(spec.underline);
  if (!face.empty()) info.FaceName(wxString::FromUTF8(face));
  return fonts->emplace(key, wxFont(info)).first->second;
}

bool Colour(const CStdString& text, wxColour* colour) {
  uint32_t argb;
  if (!ParseColour(text.c_str(), &argb)) return false;
  *colour = wxColour(argb >> 16 & 0xFF, argb >> 8 & 0xFF, argb & 0xFF, argb >> 24);
  return true;
}

// The first of `names` that the control has.
CStdString FirstOf(const CControlUI& control, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (!name) continue;
    CStdString value = control.GetAttribute(name);
    if (!value.empty()) return value;
  }
  return CStdString();
}

wxRect ToWx(const RECT& r) { return wxRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

void FillBackground(wxGCDC& dc, const wxRect& rect, const wxColour& top, const wxColour* bottom,
                    const SIZE& round) {
  wxGraphicsContext* gc = dc.GetGraphicsContext();
  wxGraphicsBrush brush = bottom ? gc->CreateLinearGradientBrush(rect.x, rect.y, rect.x,
                                                                 rect.y + rect.height, top, *bottom)
                                 : gc->CreateBrush(wxBrush(top));
  gc->SetBrush(brush);
  gc->SetPen(*wxTRANSPARENT_PEN);
  if (round.cx > 0 || round.cy > 0) {
    gc->DrawRoundedRectangle(rect.x, rect.y, rect.width, rect.height,
                             std::max(round.cx, round.cy) / 2.0);
  } else {
    gc->DrawRectangle(rect.x, rect.y, rect.width, rect.height);
  }
}

struct State {
  bool enabled = true;
  bool hot = false;
  bool pushed = false;
  bool selected = false;
};

void PaintBackground(wxGCDC& dc, const CControlUI& control, const wxRect& rect, const State& state,
                     const char* stateColour, const char* listColour, const CControlUI* list) {
  const SIZE round = ParseSize(control.GetAttribute("borderround").c_str());
  wxColour top, bottom;
  bool filled = false;
  if (stateColour && Colour(control.GetAttribute(stateColour), &top)) {
    filled = true;
  } else if (list && listColour && Colour(list->GetAttribute(listColour), &top)) {
    filled = true;
  } else if (Colour(control.GetAttribute("bkcolor"), &top)) {
    filled = true;
  }
  if (filled) {
    const bool gradient = !stateColour || !control.GetAttribute(stateColour).size()
                              ? Colour(control.GetAttribute("bkcolor2"), &bottom)
                              : false;
    FillBackground(dc, rect, top, gradient ? &bottom : nullptr, round);
  }
  const CStdString image = control.GetAttribute("bkimage");
  if (!image.empty()) DrawSkinImage(dc, ParseImageSpec(image), rect);
  (void)state;
}

void PaintBorder(wxGCDC& dc, const CControlUI& control, const wxRect& rect) {
  wxColour colour;
  const int size = ParseInt(control.GetAttribute("bordersize").c_str());
  if (size <= 0 || !Colour(control.GetAttribute("bordercolor"), &colour)) return;
  const SIZE round = ParseSize(control.GetAttribute("borderround").c_str());
  wxGraphicsContext* gc = dc.GetGraphicsContext();
  gc->SetPen(wxPen(colour, size));
  gc->SetBrush(*wxTRANSPARENT_BRUSH);
  const double inset = size / 2.0;
  if (round.cx > 0 || round.cy > 0) {
    gc->DrawRoundedRectangle(rect.x + inset, rect.y + inset, rect.width - size,
                             rect.height - size, std::max(round.cx, round.cy) / 2.0);
  } else {
    gc->DrawRectangle(rect.x + inset, rect.y + inset, rect.width - size, rect.height - size);
  }
}

void PaintText(wxGCDC& dc, CPaintManagerUI& manager, const CControlUI& control, const wxRect& rect,
               const wxColour& colour, const CStdString& fontId, bool centreByDefault) {
  const CStdString text = control.GetText();
  if (text.empty()) return;
  int padding[4] = {0, 0, 0, 0};
  ParseIntList(control.GetAttribute("textpadding").c_str(), padding, 4);
  const wxRect inner(rect.x + padding[0], rect.y + padding[1],
                     rect.width - padding[0] - padding[2], rect.height - padding[1] - padding[3]);
  if (inner.width <= 0 || inner.height <= 0) return;
  const int id = fontId.empty() ? -1 : ParseInt(fontId.c_str());
  dc.SetFont(FontFor(manager.GetFont(id)));
  dc.SetTextForeground(colour);
  const CStdString align = control.GetAttribute("align");
  const CStdString valign = control.GetAttribute("valign");
  int flags = 0;
  if (align == "center" || (align.empty() && centreByDefault)) {
    flags |= wxALIGN_CENTER_HORIZONTAL;
  } else if (align == "right") {
    flags |= wxALIGN_RIGHT;
  } else {
    flags |= wxALIGN_LEFT;
  }
  if (valign == "top") {
    flags |= wxALIGN_TOP;
  } else if (valign == "bottom") {
    flags |= wxALIGN_BOTTOM;
  } else {
    flags |= wxALIGN_CENTER_VERTICAL;
  }
  wxDCClipper clip(dc, inner);
  dc.DrawLabel(wxString::FromUTF8(text), inner, flags);
}

void PaintControl(wxGCDC& dc, CPaintManagerUI& manager, CControlUI& control,
                  const wxRegion& update);

void PaintChildren(wxGCDC& dc, CPaintManagerUI& manager, CControlUI& control,
                   const wxRegion& update, const wxRect& rect) {
  auto* container = static_cast<CContainerUI*>(control.GetInterface("Container"));
  if (!container) return;
  // A list clips its scrolled items to itself.
  const bool clips = control.GetInterface("List") != nullptr;
  std::optional<wxDCClipper> clip;
  if (clips) clip.emplace(dc, rect);
  for (int i = 0; i < container->GetCount(); ++i) {
    if (CControlUI* child = container->GetItemAt(i)) PaintControl(dc, manager, *child, update);
  }
}

void PaintControl(wxGCDC& dc, CPaintManagerUI& manager, CControlUI& control,
                  const wxRegion& update) {
  if (!control.IsOwnVisible()) return;
  const wxRect rect = ToWx(control.GetPos());
  if (rect.width <= 0 || rect.height <= 0) return;
  if (update.Contains(rect) == wxOutRegion) return;
  if (control.GetInterface("ActiveX")) return;  // a web view covers it

  State state;
  state.enabled = control.IsEnabled();
  state.hot = state.enabled && manager.GetHotControl() == &control;
  state.pushed = state.hot && manager.GetPressedControl() == &control;

  auto* option = static_cast<COptionUI*>(control.GetInterface("Option"));
  auto* item = static_cast<CListLabelElementUI*>(control.GetInterface("ListLabelElement"));
  const bool isButton = control.GetInterface("Button") != nullptr;
  if (option) state.selected = option->IsSelected();
  const CControlUI* list = item ? item->GetOwner() : nullptr;
  if (item) state.selected = item->IsSelected();

  // Background: the state's colour (button, option, list item), else bkcolor.
  const char* stateColour = nullptr;
  const char* listColour = nullptr;
  if (isButton) {
    if (!state.enabled) stateColour = "disabledbkcolor";
    else if (state.pushed) stateColour = "pushedbkcolor";
    else if (state.selected) stateColour = "selectedbkcolor";
    else if (state.hot) stateColour = "hotbkcolor";
    if (stateColour && control.GetAttribute(stateColour).empty() && state.pushed)
      stateColour = "hotbkcolor";
    if (stateColour && control.GetAttribute(stateColour).empty()) stateColour = nullptr;
  }
  if (item) {
    listColour = state.selected ? "itemselectedbkcolor" : state.hot ? "itemhotbkcolor" : "itembkcolor";
    if (list && list->GetAttribute(listColour).empty()) listColour = "itembkcolor";
  }
  PaintBackground(dc, control, rect, state, stateColour, listColour, list);

  if (isButton) {
    CStdString image;
    if (!state.enabled) image = FirstOf(control, {"disabledimage", "normalimage"});
    else if (state.pushed) image = FirstOf(control, {"pushedimage", "hotimage", option && state.selected ? "selectedimage" : nullptr, "normalimage"});
    else if (option && state.selected) image = FirstOf(control, {state.hot ? "hotimage" : nullptr, "selectedimage", "normalimage"});
    else if (state.hot) image = FirstOf(control, {"hotimage", "normalimage"});
    else image = control.GetAttribute("normalimage");
    if (option && state.selected && !state.pushed) {
      const CStdString selected = control.GetAttribute("selectedimage");
      if (!selected.empty()) image = selected;
    }
    if (!image.empty()) DrawSkinImage(dc, ParseImageSpec(image), rect);
  }

  if (auto* progress = static_cast<CProgressUI*>(control.GetInterface("Progress"))) {
    const int span = progress->GetMaxValue() - progress->GetMinValue();
    const double share =
        span > 0 ? double(progress->GetValue() - progress->GetMinValue()) / span : 0.0;
    const int width = static_cast<int>(rect.width * std::clamp(share, 0.0, 1.0) + 0.5);
    const CStdString fore = control.GetAttribute("foreimage");
    wxColour colour;
    if (!fore.empty()) {
      DrawSkinImage(dc, ParseImageSpec(fore), rect, width);
    } else if (width > 0 && Colour(control.GetAttribute("forecolor"), &colour)) {
      FillBackground(dc, wxRect(rect.x, rect.y, width, rect.height), colour, nullptr, SIZE{});
    }
  }

  // Text in the state's colour; list items take their list's colours.
  wxColour colour(0, 0, 0);
  CStdString colourText;
  CStdString font = control.GetAttribute("font");
  if (item && list) {
    colourText = state.selected ? FirstOf(*list, {"itemselectedtextcolor", "itemtextcolor"})
                 : state.hot    ? FirstOf(*list, {"itemhottextcolor", "itemtextcolor"})
                                : list->GetAttribute("itemtextcolor");
    if (font.empty()) font = list->GetAttribute("itemfont");
  }
  if (colourText.empty()) {
    if (!state.enabled) colourText = FirstOf(control, {"disabledtextcolor", "textcolor"});
    else if (isButton && state.pushed) colourText = FirstOf(control, {"pushedtextcolor", "hottextcolor", "textcolor"});
    else if (option && state.selected) colourText = FirstOf(control, {"selectedtextcolor", "textcolor"});
    else if (isButton && state.hot) colourText = FirstOf(control, {"hottextcolor", "textcolor"});
    else colourText = control.GetAttribute("textcolor");
  }
  if (!Colour(colourText, &colour) && !state.enabled) colour = wxColour(128, 128, 128);
  PaintText(dc, manager, control, rect, colour, font, isButton);

  PaintChildren(dc, manager, control, update, rect);
  PaintBorder(dc, control, rect);
}

}  // namespace

void PrepareSkinFonts() {
  for (const char* face : kFallbackFaces) FaceInstalled(face);
}

void PaintSkin(wxWindowDC& target, CPaintManagerUI& manager, const wxRegion& update) {
  UiLockGuard guard;
  const HWND hwnd = manager.GetPaintWindow();
  RECT client{};
  if (!hwnd || !GetClientRect(hwnd, &client)) return;
  wxGCDC dc(target);
  const wxRect whole = ToWx(client);
  // The window's own background from its Window element.
  wxColour top(255, 255, 255), bottom;
  Colour(manager.GetWindowAttribute("bkcolor"), &top);
  const bool gradient = Colour(manager.GetWindowAttribute("bkcolor2"), &bottom);
  FillBackground(dc, whole, top, gradient ? &bottom : nullptr, SIZE{});
  const CStdString image = manager.GetWindowAttribute("bkimage");
  if (!image.empty()) DrawSkinImage(dc, ParseImageSpec(image), whole);
  if (CControlUI* root = manager.GetRoot()) PaintControl(dc, manager, *root, update);
}

}  // namespace skinui
