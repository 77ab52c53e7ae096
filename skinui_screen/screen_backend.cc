#include "skinui_screen/screen_backend.h"

#include <gtk/gtk.h>
#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/frame.h>
#include <wx/image.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "skinui/activex.h"
#include "skinui/container.h"
#include "skinui/paint_manager.h"
#include "skinui/thread_checker.h"
#include "skinui/window_system.h"
#include "skinui_screen/skin_painter.h"
#include "skinui_screen/web_views.h"
#include "skinui_screen/x11_screen.h"

namespace skinui {
namespace {

std::atomic<ScreenBackend*> g_screenBackend{nullptr};

constexpr int kMaxExtent = 16384;
// Web views are made this long after the session started even when no
// window has been painted by then (all hidden, say).
constexpr guint kWebViewsAtTheLatestMs = 2000;
// How long queued work waits for the first window's first paint at most.
constexpr guint kFirstPaintWaitMs = 250;
// After a caption move, where the windows stand is checked this often, for
// as long as the move runs and then at most this many times.
constexpr guint kPlaceCheckMs = 50;
constexpr int kPlaceChecks = 40;

wxRect ToWx(const RECT& r) { return wxRect(r.left, r.top, r.right - r.left, r.bottom - r.top); }

// True when the window or one of its owners is minimised: owned windows go
// with their owner.
bool OwnerChainMinimized(HWND hwnd) {
  for (HWND owner = GetOwner(hwnd); owner; owner = GetOwner(owner)) {
    if (IsMinimized(owner) || !IsWindowVisible(owner)) return true;
  }
  return false;
}

// Input is handed to the skinui loop: handlers (and the modal loops they
// may open) never run inside a toolkit callback.
void PostInput(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PostToUiThread([hwnd, message, wParam, lParam] {
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd)) return;
    SendMessage(hwnd, message, wParam, lParam);
  });
}

// A press: WM_MOUSEACTIVATE, then the hit test; the caption band starts a
// move, anything else is a button press in the client area.
void PostPress(HWND hwnd, POINT client, POINT screen, bool doubleClick) {
  PostToUiThread([=] {
    if (!IsWindow(hwnd) || !IsWindowEnabled(hwnd)) return;
    SetCursorPos(screen);
    SendMessage(hwnd, WM_MOUSEACTIVATE, 0, 0);
    if (!IsWindow(hwnd)) return;
    const LRESULT hit = SendMessage(hwnd, WM_NCHITTEST, 0, MakeLParam(screen.x, screen.y));
    if (hit == HTCAPTION) {
      if (ScreenBackend* backend = TheScreenBackend()) backend->BeginMove(hwnd, screen);
      return;
    }
    if (!IsWindow(hwnd)) return;
    SendMessage(hwnd, doubleClick ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON,
                MakeLParam(client.x, client.y));
  });
}

// Keys go to the topmost enabled window of the launcher: that is the modal
// one while a dialog runs.
void PostKey(WPARAM key) {
  PostToUiThread([key] {
    for (HWND hwnd : GetZOrder()) {
      if (IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) {
        SendMessage(hwnd, WM_KEYDOWN, key, 0);
        return;
      }
    }
  });
}

class SkinSurface;

class SkinFrame final : public wxFrame {
 public:
  SkinFrame(HWND hwnd, bool owned)
      : wxFrame(nullptr, wxID_ANY, wxString::FromUTF8(skinui::GetWindowText(hwnd)),
                wxDefaultPosition, wxSize(1, 1),
                wxBORDER_NONE | wxFRAME_SHAPED | (owned ? wxFRAME_NO_TASKBAR : 0)),
        hwnd_(hwnd) {
    Bind(wxEVT_CLOSE_WINDOW, &SkinFrame::OnClose, this);
    Bind(wxEVT_ICONIZE, &SkinFrame::OnIconize, this);
    Bind(wxEVT_MAXIMIZE, &SkinFrame::OnMaximize, this);
    Bind(wxEVT_CHAR_HOOK, &SkinFrame::OnCharHook, this);
  }

 private:
  void OnClose(wxCloseEvent& event) {
    // The window manager's close (Alt+F4, a taskbar): the window decides,
    // as for the system menu's close.
    if (event.CanVeto()) event.Veto();
    PostInput(hwnd_, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  void OnIconize(wxIconizeEvent& event) {
    const bool iconic = event.IsIconized();
    const HWND hwnd = hwnd_;
    skinui::PostToUiThread([hwnd, iconic] {
      if (skinui::IsWindow(hwnd) && skinui::IsMinimized(hwnd) != iconic) {
        skinui::SendMessage(hwnd, WM_SYSCOMMAND, iconic ? SC_MINIMIZE : SC_RESTORE, 0);
      }
    });
  }
  void OnMaximize(wxMaximizeEvent&) {
    const HWND hwnd = hwnd_;
    skinui::PostToUiThread([hwnd] {
      if (skinui::IsWindow(hwnd) && !skinui::IsMaximized(hwnd))
        skinui::SendMessage(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    });
  }
  void OnCharHook(wxKeyEvent& event) {
    switch (event.GetKeyCode()) {
      case WXK_RETURN:
      case WXK_NUMPAD_ENTER:
        PostKey(VK_RETURN);
        break;
      case WXK_ESCAPE:
        PostKey(VK_ESCAPE);
        break;
      default:
        event.Skip();
        break;
    }
  }

  HWND hwnd_;
};

// Where the pointer is on the screen, from the toolkit's event being
// handled (the window itself may be moving under it).
POINT PointerOnScreen(POINT fallback) {
  POINT point = fallback;
  if (GdkEvent* event = gtk_get_current_event()) {
    double x, y;
    if (gdk_event_get_root_coords(event, &x, &y)) {
      point = POINT{static_cast<int>(x), static_cast<int>(y)};
    }
    gdk_event_free(event);
  }
  return point;
}

// The client area: painted from the skin, source of mouse input.
class SkinSurface final : public wxWindow {
 public:
  SkinSurface(SkinFrame* frame, HWND hwnd)
      : wxWindow(frame, wxID_ANY, wxPoint(0, 0), frame->GetClientSize(),
                 wxBORDER_NONE | wxFULL_REPAINT_ON_RESIZE | wxWANTS_CHARS),
        hwnd_(hwnd) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &SkinSurface::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &SkinSurface::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &SkinSurface::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &SkinSurface::OnLeftUp, this);
    Bind(wxEVT_MOTION, &SkinSurface::OnMotion, this);
    Bind(wxEVT_LEAVE_WINDOW, &SkinSurface::OnLeave, this);
    Bind(wxEVT_MOUSEWHEEL, &SkinSurface::OnWheel, this);
  }

 private:
  void OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    SKINUI_DCHECK_ON_UI_THREAD();
    if (CPaintManagerUI* manager = CPaintManagerUI::FromWindow(hwnd_)) {
      PaintSkin(dc, *manager, GetUpdateRegion());
    } else {
      dc.SetBackground(*wxWHITE_BRUSH);
      dc.Clear();
    }
    if (ScreenBackend* backend = TheScreenBackend()) backend->WindowPainted(hwnd_);
  }
  POINT Screen(const wxPoint& client) const {
    const wxPoint at = ClientToScreen(client);
    return POINT{at.x, at.y};
  }
  void OnLeftDown(wxMouseEvent& event) {
    if (ScreenBackend* backend = TheScreenBackend()) backend->ButtonPressed();
    const POINT client{event.GetX(), event.GetY()};
    PostPress(hwnd_, client, PointerOnScreen(Screen(event.GetPosition())),
              event.GetEventType() == wxEVT_LEFT_DCLICK);
  }
  void OnLeftUp(wxMouseEvent& event) {
    if (ScreenBackend* backend = TheScreenBackend())
      backend->ButtonReleased(PointerOnScreen(Screen(event.GetPosition())));
    PostInput(hwnd_, WM_LBUTTONUP, 0, MakeLParam(event.GetX(), event.GetY()));
  }
  void OnMotion(wxMouseEvent& event) {
    ScreenBackend* backend = TheScreenBackend();
    if (backend && backend->PointerMoved(PointerOnScreen(Screen(event.GetPosition())))) return;
    PostInput(hwnd_, WM_MOUSEMOVE, event.LeftIsDown() ? MK_LBUTTON : 0,
              MakeLParam(event.GetX(), event.GetY()));
  }
  void OnLeave(wxMouseEvent&) { PostInput(hwnd_, WM_MOUSELEAVE, 0, 0); }
  void OnWheel(wxMouseEvent& event) {
    const POINT screen = Screen(event.GetPosition());
    const int steps = event.GetWheelRotation() > 0 ? 120 : -120;
    PostInput(hwnd_, WM_MOUSEWHEEL, static_cast<WPARAM>(static_cast<uint16_t>(steps)) << 16,
              MakeLParam(screen.x, screen.y));
  }

  HWND hwnd_;
};

GdkWindow* GdkOf(wxWindow* window) {
  GtkWidget* widget = window ? static_cast<GtkWidget*>(window->GetHandle()) : nullptr;
  return widget ? gtk_widget_get_window(widget) : nullptr;
}

// The web view of one browser control. It is seen only while its control
// is and once its page has loaded; until then the skin shows through.
struct BrowserView {
  HWND hwnd = nullptr;
  wxWindow* view = nullptr;
  int navigations = 0;
  wxRect rect;
  bool wanted = false;     // the control is visible and has a size
  bool pageReady = false;  // the browser has a page to show

  void ApplyVisibility() const { view->Show(wanted && pageReady); }

  static void OnPageReady(void* context, int ready) {
    auto* browser = static_cast<BrowserView*>(context);
    browser->pageReady = ready != 0;
    browser->ApplyVisibility();
  }
  // A press on a web page reaches the browser, not the surface: the window
  // still hears of it (WM_MOUSEACTIVATE), and a disabled window's page takes
  // none.
  static int OnPressed(void* context) {
    const HWND hwnd = static_cast<BrowserView*>(context)->hwnd;
    if (!IsWindowEnabled(hwnd)) return 1;
    PostInput(hwnd, WM_MOUSEACTIVATE, 0, 0);
    return 0;
  }
};

void CollectBrowsers(CControlUI* control, std::vector<CActiveXUI*>& found) {
  if (!control) return;
  if (auto* activeX = static_cast<CActiveXUI*>(control->GetInterface("ActiveX"))) {
    if (activeX->GetClsid() == CLSID_WebBrowser) found.push_back(activeX);
  }
  if (auto* container = static_cast<CContainerUI*>(control->GetInterface("Container"))) {
    for (int i = 0; i < container->GetCount(); ++i) CollectBrowsers(container->GetItemAt(i), found);
  }
}

}  // namespace

struct ScreenBackend::Native {
  HWND hwnd = nullptr;
  SkinFrame* frame = nullptr;
  SkinSurface* surface = nullptr;
  RECT rect{};
  bool sized = false;
  bool shown = false;
  bool iconic = false;
  bool classSet = false;
  // The skin was put into the X window's background for its mapping; taken
  // out again by the window's first paint.
  bool backdrop = false;
  std::optional<WindowRegion> region;
  // Keys compared only; values stay in place (hooks point at them).
  std::map<const CActiveXUI*, BrowserView> browsers;
};

ScreenBackend* TheScreenBackend() { return g_screenBackend.load(); }
void SetScreenBackend(ScreenBackend* backend) { g_screenBackend.store(backend); }

ScreenBackend::ScreenBackend() {
  deadlineSource_ = g_timeout_add(kWebViewsAtTheLatestMs, WebViewsDeadline, nullptr);
}

ScreenBackend::~ScreenBackend() {
  if (placeCheckSource_) g_source_remove(placeCheckSource_);
  if (firstPaintSource_) g_source_remove(firstPaintSource_);
  if (idleSource_) g_source_remove(idleSource_);
  if (deadlineSource_) g_source_remove(deadlineSource_);
  DestroyAll();
}

// Toolkit callbacks: they only hand over to the skinui loop. A pending one
// is removed with its backend, so the backend is there when it runs.
int ScreenBackend::ToolkitIdle(void*) {
  TheScreenBackend()->idleSource_ = 0;
  PostToUiThread([] {
    if (ScreenBackend* backend = TheScreenBackend()) backend->StartWebViews();
  });
  return G_SOURCE_REMOVE;
}

int ScreenBackend::FirstPaintWaitOver(void*) {
  TheScreenBackend()->firstPaintSource_ = 0;
  TheScreenBackend()->firstPaint_ = FirstPaint::Over;
  return G_SOURCE_REMOVE;
}

int ScreenBackend::WebViewsDeadline(void*) {
  TheScreenBackend()->deadlineSource_ = 0;
  TheScreenBackend()->WindowPainted(nullptr);
  return G_SOURCE_REMOVE;
}

void ScreenBackend::WindowPainted(HWND hwnd) {
  auto found = natives_.find(hwnd);
  if (found != natives_.end() && found->second->backdrop) {
    // Painted by the toolkit from now on: what the window uncovers later
    // waits for its own paint, as everywhere else.
    found->second->backdrop = false;
    ClearX11Background(GdkOf(found->second->frame));
  }
  if (firstPaint_ == FirstPaint::Due) {
    firstPaint_ = FirstPaint::Over;
    g_source_remove(firstPaintSource_);
    firstPaintSource_ = 0;
  }
  if (webViewsAsked_) return;
  webViewsAsked_ = true;
  if (deadlineSource_) {
    g_source_remove(deadlineSource_);
    deadlineSource_ = 0;
  }
  // Below the toolkit's redraws: every window that waits for its first
  // paint gets it before the browser starts.
  idleSource_ = g_idle_add_full(G_PRIORITY_LOW, ToolkitIdle, nullptr, nullptr);
}

void ScreenBackend::StartWebViews() {
  if (webViewsReady_) return;
  webViewsReady_ = true;
  browsersDue_ = true;
  // What was drawn reaches the screen before the browser takes its time.
  gdk_display_flush(gdk_display_get_default());
  LoadWebViews();
}

void ScreenBackend::WaitForWork(const std::function<bool()>& ready) {
  // Windows and dialogs closed since the last round are deleted here, as the
  // toolkit's own loop does when it goes idle.
  if (wxTheApp) wxTheApp->ProcessIdle();
  // The first window shown is painted before queued work goes on (the
  // frame's child windows, say): the player sees the launcher that much
  // sooner, and the rest follows as before.
  while (firstPaint_ == FirstPaint::Due) {
    gtk_main_iteration_do(TRUE);
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
  }
  while (!ready() && !woken_.load()) {
    gtk_main_iteration_do(TRUE);
    if (wxTheApp) wxTheApp->ProcessPendingEvents();
  }
}

void ScreenBackend::Wake() {
  // One wake-up per round: the flag is cleared by the next Sync.
  if (!woken_.exchange(true)) g_main_context_wakeup(nullptr);
}

void ScreenBackend::Sync() {
  SKINUI_DCHECK_ON_UI_THREAD();
  woken_.store(false);
  const unsigned long generation = ModelGeneration();
  const bool modelChanged = generation != generation_;
  if (modelChanged) {
    generation_ = generation;
    Reconcile();
  }
  const bool browsersDue = std::exchange(browsersDue_, false);
  for (auto& [hwnd, native] : natives_) {
    const std::vector<RECT> parts = TakeInvalidRects(hwnd);
    // Browser controls move with their window's layout, which marks the
    // window for a repaint; an address change bumps the model.
    if (modelChanged || browsersDue || !parts.empty()) SyncBrowsers(*native);
    for (const RECT& part : parts) native->surface->RefreshRect(ToWx(part), false);
  }
}

void ScreenBackend::Reconcile() {
  const std::vector<HWND> order = GetZOrder();  // top first
  // Gone windows first.
  for (auto it = natives_.begin(); it != natives_.end();) {
    if (std::find(order.begin(), order.end(), it->first) == order.end()) {
      for (auto& [control, browser] : it->second->browsers) browser.view->Destroy();
      it->second->frame->Destroy();
      it = natives_.erase(it);
    } else {
      ++it;
    }
  }
  // New windows, owners before the windows they own.
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    const HWND hwnd = *it;
    if (natives_.count(hwnd)) continue;
    auto native = std::make_unique<Native>();
    native->hwnd = hwnd;
    const HWND owner = GetOwner(hwnd);
    native->frame = new SkinFrame(hwnd, owner != nullptr);
    native->surface = new SkinSurface(native->frame, hwnd);
    auto ownerNative = natives_.find(owner);
    if (owner && ownerNative != natives_.end()) {
      // Owned windows stay above their owner, and only above it: managed
      // transient windows, never override-redirect popups.
      gtk_window_set_transient_for(GTK_WINDOW(native->frame->GetHandle()),
                                   GTK_WINDOW(ownerNative->second->frame->GetHandle()));
    }
    natives_[hwnd] = std::move(native);
  }
  bool stackingChanged = false;
  for (auto& [hwnd, native] : natives_) {
    SkinFrame* frame = native->frame;
    RECT rect;
    GetWindowRect(hwnd, &rect);
    if (!native->sized || !EqualRects(rect, native->rect)) {
      const bool moved =
          !native->sized || rect.left != native->rect.left || rect.top != native->rect.top;
      native->sized = true;
      native->rect = rect;
      // A skin may ask for anything; X takes 16-bit positions and sizes.
      const int x = std::clamp(rect.left, -kMaxExtent, kMaxExtent);
      const int y = std::clamp(rect.top, -kMaxExtent, kMaxExtent);
      const int width = std::clamp(RectWidth(rect), 1, kMaxExtent);
      const int height = std::clamp(RectHeight(rect), 1, kMaxExtent);
      frame->SetSize(x, y, width, height, wxSIZE_ALLOW_MINUS_ONE);
      // The toolkit moves only when its cached place differs, and that
      // place is what its last configure event said: a window manager may
      // have placed the window since without one.
      if (moved) gtk_window_move(GTK_WINDOW(frame->GetHandle()), x, y);
      native->surface->SetSize(0, 0, width, height);
    }
    const std::optional<WindowRegion> region = GetWindowRegion(hwnd);
    const bool regionChanged = region.has_value() != native->region.has_value() ||
                               (region && (!EqualRects(region->rect, native->region->rect) ||
                                           region->ellipseWidth != native->region->ellipseWidth ||
                                           region->ellipseHeight != native->region->ellipseHeight));
    if (regionChanged) {
      native->region = region;
      wxRegion shape;
      if (region) {
        for (const RECT& part : RegionRectangles(*region, std::min(RectWidth(rect), kMaxExtent),
                                                 std::min(RectHeight(rect), kMaxExtent))) {
          shape.Union(ToWx(part));
        }
      }
      frame->SetShape(shape);  // an empty region removes the shape
    }
    const bool wantShown = IsWindowVisible(hwnd) && !OwnerChainMinimized(hwnd);
    if (wantShown != native->shown) {
      native->shown = wantShown;
      stackingChanged = true;
      if (wantShown && firstPaint_ == FirstPaint::NotYet) {
        firstPaint_ = FirstPaint::Due;
        firstPaintSource_ = g_timeout_add(kFirstPaintWaitMs, FirstPaintWaitOver, nullptr);
      }
      if (wantShown) {
        Show(*native);
      } else {
        frame->Hide();
      }
    }
    const bool wantIconic = wantShown && IsMinimized(hwnd);
    if (wantIconic != native->iconic) {
      native->iconic = wantIconic;
      frame->Iconize(wantIconic);
    }
  }
  if (stackingChanged || order != stackingOrder_) {
    stackingOrder_ = order;
    Restack();
  }
}

// A window comes on screen already painted: its skin goes into the X
// window's background, which the server shows the moment it maps the
// window, however long the toolkit takes to paint it itself.
void ScreenBackend::Show(Native& native) {
  SkinFrame* frame = native.frame;
  // The place is the launcher's own (a user-given position): a window
  // manager keeps it, even where a window larger than the screen reaches
  // past its left edge.
  GdkGeometry geometry{};
  gtk_window_set_geometry_hints(GTK_WINDOW(frame->GetHandle()), nullptr, &geometry,
                                GDK_HINT_USER_POS);
  gtk_widget_realize(static_cast<GtkWidget*>(frame->GetHandle()));
  GdkWindow* gdk = GdkOf(frame);
  if (!native.classSet) {
    // The model's window class names the X window class, so tools (and
    // the GUI tests) can find each window.
    native.classSet = true;
    SetX11WindowClass(gdk, GetWindowClassName(native.hwnd));
  }
  if (CPaintManagerUI* manager = CPaintManagerUI::FromWindow(native.hwnd)) {
    wxImage picture(std::clamp(RectWidth(native.rect), 1, kMaxExtent),
                    std::clamp(RectHeight(native.rect), 1, kMaxExtent));
    PaintWholeSkin(picture, *manager);
    native.backdrop =
        SetX11Background(gdk, picture.GetData(), picture.GetWidth(), picture.GetHeight());
  }
  if (GetOwner(native.hwnd)) {
    frame->ShowWithoutActivating();
  } else {
    frame->Show();
  }
}

// Shown windows in the model's order, each placed right above the one
// below it; the lowest keeps its place among other programs' windows. Open
// message boxes go on top.
void ScreenBackend::Restack() {
  const std::vector<HWND> order = GetZOrder();
  GdkWindow* below = nullptr;
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    auto found = natives_.find(*it);
    if (found == natives_.end() || !found->second->shown) continue;
    GdkWindow* gdk = GdkOf(found->second->frame);
    if (!gdk) continue;
    if (below) gdk_window_restack(gdk, below, TRUE);
    below = gdk;
  }
  RaiseBoxes();
}

void ScreenBackend::RaiseBoxes() {
  for (wxWindow* box : boxes_) {
    if (GdkWindow* gdk = GdkOf(box)) gdk_window_raise(gdk);
  }
}

HWND ScreenBackend::MainWindow() {
  SKINUI_DCHECK_ON_UI_THREAD();
  for (HWND hwnd : GetZOrder()) {
    auto found = natives_.find(hwnd);
    if (found == natives_.end() || !found->second->shown) continue;
    HWND root = hwnd;
    while (HWND owner = GetOwner(root)) root = owner;
    auto main = natives_.find(root);
    return main != natives_.end() && main->second->shown ? root : nullptr;
  }
  return nullptr;
}

wxWindow* ScreenBackend::NativeWindow(HWND hwnd) {
  auto found = natives_.find(hwnd);
  return found != natives_.end() ? found->second->frame : nullptr;
}

void ScreenBackend::AddBox(wxWindow* box) {
  boxes_.push_back(box);
  RaiseBoxes();
}

void ScreenBackend::RemoveBox(wxWindow* box) {
  boxes_.erase(std::remove(boxes_.begin(), boxes_.end(), box), boxes_.end());
}

void ScreenBackend::SyncBrowsers(Native& native) {
  CPaintManagerUI* manager = CPaintManagerUI::FromWindow(native.hwnd);
  std::vector<CActiveXUI*> found;
  if (manager) CollectBrowsers(manager->GetRoot(), found);
  for (auto it = native.browsers.begin(); it != native.browsers.end();) {
    if (std::find(found.begin(), found.end(), it->first) == found.end()) {
      it->second.view->Destroy();
      it = native.browsers.erase(it);
    } else {
      ++it;
    }
  }
  for (CActiveXUI* control : found) {
    const int navigations = control->GetNavigationCount();
    if (navigations == 0) continue;  // nothing to show yet
    if (!webViewsReady_ && !native.browsers.count(control)) continue;
    BrowserView& browser = native.browsers[control];
    const wxRect rect = ToWx(control->GetPos());
    if (!browser.view) {
      browser.hwnd = native.hwnd;
      const VelmorWebViewHooks hooks{&browser, &BrowserView::OnPageReady, &BrowserView::OnPressed};
      browser.view = NewWebView(native.surface, rect, hooks);
      if (!browser.view) {
        native.browsers.erase(control);
        continue;
      }
      browser.rect = rect;
    }
    if (rect != browser.rect) {
      browser.rect = rect;
      browser.view->SetSize(rect);
    }
    browser.wanted = control->IsVisible() && rect.width > 0 && rect.height > 0;
    browser.ApplyVisibility();
    if (navigations != browser.navigations) {
      browser.navigations = navigations;
      LoadPage(browser.view, control->GetLastNavigatedUrl());
    }
  }
}

void ScreenBackend::DestroyAll() {
  for (auto& [hwnd, native] : natives_) {
    for (auto& [control, browser] : native->browsers) browser.view->Destroy();
    native->frame->Destroy();
  }
  natives_.clear();
}

void ScreenBackend::ButtonPressed() {
  buttonHeld_ = true;
  moving_ = nullptr;
}

void ScreenBackend::BeginMove(HWND hwnd, POINT screen) {
  // Released before the press was judged: a click on the caption band.
  if (!buttonHeld_) return;
  RECT rect;
  if (!GetWindowRect(hwnd, &rect)) return;
  moving_ = hwnd;
  movePress_ = screen;
  moveOrigin_ = POINT{rect.left, rect.top};
  // The pointer may have moved on while the press waited for its turn.
  ApplyMove();
}

bool ScreenBackend::PointerMoved(POINT) {
  if (!moving_) return false;
  // One move queued at a time; it goes to where the pointer is by then.
  if (!moveQueued_) {
    moveQueued_ = true;
    PostToUiThread([] {
      if (ScreenBackend* backend = TheScreenBackend()) backend->ApplyMove();
    });
  }
  return true;
}

void ScreenBackend::ButtonReleased(POINT root) {
  buttonHeld_ = false;
  // The move ends where the button was released.
  movePointer_ = root;
  if (moving_) PointerMoved(root);
}

void ScreenBackend::ApplyMove() {
  moveQueued_ = false;
  const HWND hwnd = moving_;
  if (!hwnd) return;
  // While the button is held the pointer is asked where it is: motion
  // events come late, and may come all before the press was judged.
  POINT pointer = movePointer_;
  if (buttonHeld_) {
    if (!X11PointerPosition(&pointer.x, &pointer.y)) return;
  } else {
    moving_ = nullptr;
  }
  RECT rect;
  if (!GetWindowRect(hwnd, &rect)) {
    moving_ = nullptr;
    return;
  }
  const int x = moveOrigin_.x + pointer.x - movePress_.x;
  const int y = moveOrigin_.y + pointer.y - movePress_.y;
  if (x == rect.left && y == rect.top) return;
  // WM_MOVE follows; the frame takes its children along.
  MoveWindow(hwnd, x, y, RectWidth(rect), RectHeight(rect));
  if (!placeCheckSource_) {
    placeChecks_ = 0;
    placeCheckSource_ = g_timeout_add(kPlaceCheckMs, CheckPlaces, nullptr);
  }
}

// A window manager may act on an older request of a quick series last (the
// toolkit sends each move on at once): after a move of ours, every window
// is made to stand where the model has it.
int ScreenBackend::CheckPlaces(void*) {
  ScreenBackend* backend = TheScreenBackend();
  bool settled = true;
  for (auto& [hwnd, native] : backend->natives_) {
    int x, y;
    if (!native->shown || !X11WindowOrigin(GdkOf(native->frame), &x, &y)) continue;
    const int wantX = std::clamp(native->rect.left, -kMaxExtent, kMaxExtent);
    const int wantY = std::clamp(native->rect.top, -kMaxExtent, kMaxExtent);
    if (x == wantX && y == wantY) continue;
    settled = false;
    gtk_window_move(GTK_WINDOW(native->frame->GetHandle()), wantX, wantY);
  }
  if ((settled && !backend->moving_) || ++backend->placeChecks_ >= kPlaceChecks) {
    backend->placeCheckSource_ = 0;
    return G_SOURCE_REMOVE;
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace skinui
