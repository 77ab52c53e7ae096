#include "skinui_screen/skin_painter.h"

#include <wx/dcgraph.h>
#include <wx/fontenum.h>
#include <wx/graphics.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "skinui/activex.h"
#include "skinui/attribute_parsing.h"
#include "skinui/button.h"
#include "skinui/container.h"
#include "skinui/list.h"
#include "skinui/paint_manager.h"
#include "skinui/progress.h"
#include "skinui/skin_values.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"
#include "skinui_screen/skin_images.h"

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

// Attribute chains by state: the first one the skin has gives the look.
using Chain = std::vector<const char*>;
enum class StateKind { Disabled, Pushed, Selected, Hot, Normal };
struct LookChains {
  Chain background, image, text;
};
const LookChains kChains[] = {
    // Disabled
    {{"disabledbkcolor"}, {"disabledimage", "normalimage"}, {"disabledtextcolor", "textcolor"}},
    // Pushed
    {{"pushedbkcolor", "hotbkcolor"},
     {"pushedimage", "hotimage", "normalimage"},
     {"pushedtextcolor", "hottextcolor", "textcolor"}},
    // Selected (options)
    {{"selectedbkcolor"}, {"selectedimage", "normalimage"}, {"selectedtextcolor", "textcolor"}},
    // Hot
    {{"hotbkcolor"}, {"hotimage", "normalimage"}, {"hottextcolor", "textcolor"}},
    // Normal
    {{}, {"normalimage"}, {"textcolor"}},
};
const Chain kItemBackground{"itembkcolor"};
const Chain kItemHotBackground{"itemhotbkcolor", "itembkcolor"};
const Chain kItemSelectedBackground{"itemselectedbkcolor", "itembkcolor"};
const Chain kItemText{"itemtextcolor"};
const Chain kItemHotText{"itemhottextcolor", "itemtextcolor"};
const Chain kItemSelectedText{"itemselectedtextcolor", "itemtextcolor"};

// The first name of `chain` that the control has, nullptr for none.
const char* FirstNameOf(const CControlUI& control, const Chain& chain) {
  for (const char* name : chain) {
    if (!control.GetAttribute(name).empty()) return name;
  }
  return nullptr;
}

CStdString FirstOf(const CControlUI& control, const Chain& chain) {
  const char* name = FirstNameOf(control, chain);
  return name ? control.GetAttribute(name) : CStdString();
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

// Only buttons and options have pushed and hot looks of their own.
StateKind KindOf(const State& state, bool isButton) {
  if (!state.enabled) return StateKind::Disabled;
  if (isButton && state.pushed) return StateKind::Pushed;
  if (state.selected) return StateKind::Selected;
  if (isButton && state.hot) return StateKind::Hot;
  return StateKind::Normal;
}

void PaintBackground(wxGCDC& dc, const CControlUI& control, const wxRect& rect,
                     const char* stateColour, const char* listColour, const CControlUI* list) {
  const SIZE round = ParseSize(control.GetAttribute("borderround").c_str());
  // A state's colour or a list's item colour is flat; bkcolor may have its
  // gradient to bkcolor2.
  wxColour top, bottom;
  if ((stateColour && Colour(control.GetAttribute(stateColour), &top)) ||
      (list && listColour && Colour(list->GetAttribute(listColour), &top))) {
    FillBackground(dc, rect, top, nullptr, round);
  } else if (Colour(control.GetAttribute("bkcolor"), &top)) {
    const bool gradient = Colour(control.GetAttribute("bkcolor2"), &bottom);
    FillBackground(dc, rect, top, gradient ? &bottom : nullptr, round);
  }
  const CStdString image = control.GetAttribute("bkimage");
  if (!image.empty()) DrawSkinImage(dc, ParseImageSpec(image), rect);
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
    gc->DrawRoundedRectangle(rect.x + inset, rect.y + inset, rect.width - size, rect.height - size,
                             std::max(round.cx, round.cy) / 2.0);
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
  const wxRect inner(rect.x + padding[0], rect.y + padding[1], rect.width - padding[0] - padding[2],
                     rect.height - padding[1] - padding[3]);
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

  // Each look is the first attribute of its state's chain that the skin
  // has; a button state without a look of its own falls back along it.
  const LookChains& chains = kChains[static_cast<int>(KindOf(state, isButton))];
  const char* stateColour = isButton ? FirstNameOf(control, chains.background) : nullptr;
  const char* listColour = nullptr;
  if (item && list) {
    listColour = FirstNameOf(*list, state.selected ? kItemSelectedBackground
                                    : state.hot    ? kItemHotBackground
                                                   : kItemBackground);
  }
  PaintBackground(dc, control, rect, stateColour, listColour, list);

  if (isButton) {
    const CStdString image = FirstOf(control, chains.image);
    if (!image.empty()) DrawSkinImage(dc, ParseImageSpec(image), rect);
  }

  if (auto* progress = static_cast<CProgressUI*>(control.GetInterface("Progress"))) {
    const int span = progress->GetMaxValue() - progress->GetMinValue();
    const double share =
        span > 0 ? double(progress->GetValue() - progress->GetMinValue()) / span : 0.0;
    const int width = static_cast<int>(std::lround(rect.width * std::clamp(share, 0.0, 1.0)));
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
    colourText = FirstOf(*list, state.selected ? kItemSelectedText
                                : state.hot    ? kItemHotText
                                               : kItemText);
    if (font.empty()) font = list->GetAttribute("itemfont");
  }
  if (colourText.empty()) colourText = FirstOf(control, chains.text);
  if (!Colour(colourText, &colour) && !state.enabled) colour = wxColour(128, 128, 128);
  PaintText(dc, manager, control, rect, colour, font, isButton);

  PaintChildren(dc, manager, control, update, rect);
  PaintBorder(dc, control, rect);
}

}  // namespace

void PrepareSkinFonts() {
  for (const char* face : kFallbackFaces) FaceInstalled(face);
}

namespace {

void PaintWindow(wxGCDC& dc, CPaintManagerUI& manager, const RECT& client, const wxRegion& update) {
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

}  // namespace

void PaintSkin(wxWindowDC& target, CPaintManagerUI& manager, const wxRegion& update) {
  SKINUI_DCHECK_ON_UI_THREAD();
  const HWND hwnd = manager.GetPaintWindow();
  RECT client{};
  if (!hwnd || !GetClientRect(hwnd, &client)) return;
  wxGCDC dc(target);
  PaintWindow(dc, manager, client, update);
}

void PaintWholeSkin(wxImage& image, CPaintManagerUI& manager) {
  SKINUI_DCHECK_ON_UI_THREAD();
  const HWND hwnd = manager.GetPaintWindow();
  RECT client{};
  if (!hwnd || !GetClientRect(hwnd, &client)) return;
  // The picture reaches the image when the context goes.
  wxGCDC dc(wxGraphicsRenderer::GetDefaultRenderer()->CreateContextFromImage(image));
  PaintWindow(dc, manager, client, wxRegion(ToWx(client)));
}

}  // namespace skinui
