#include "skinui/window_system.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "platform/desktop.h"
#include "skinui/native_backend.h"
#include "skinui/thread_checker.h"
#include "skinui/window_wnd.h"

namespace skinui {
namespace {

struct Window {
  CWindowWnd* procedure = nullptr;
  HWND owner = nullptr;
  std::string className;
  std::string text;
  DWORD style = 0;
  RECT rect;
  RECT restoreRect;
  bool minimized = false;
  bool maximized = false;
  bool enabled = true;
  bool destroying = false;
  bool modal = false;  // runs in a modal loop (CWindowWnd::ShowModal)
  std::optional<WindowRegion> region;
  std::vector<RECT> invalid;  // client rectangles waiting for a repaint
};

struct QueueItem {
  HWND hwnd = nullptr;
  UINT message = WM_NULL;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  std::function<void()> task;
};

// Windows, stacking order and cursor belong to the UI thread. The queue
// has a mutex of its own, the innermost lock of the process (nothing is
// called while it is held), so that posting never waits for the UI thread;
// it also guards the set of live handles, which lets a worker's
// PostMessage tell a live window from a gone one.
struct Model {
  std::map<uintptr_t, std::unique_ptr<Window>> windows;
  std::vector<HWND> zOrder;  // top first
  uintptr_t nextId = 1;
  POINT cursor;

  std::mutex queueMutex;
  std::condition_variable queueChanged;
  std::deque<QueueItem> queue;
  std::unordered_set<uintptr_t> liveHandles;  // guarded by queueMutex
  std::atomic<int> loopDepth{0};
};

// Never destroyed: detached workers may post while the process exits.
Model& TheModel() {
  static Model* model = new Model;
  return *model;
}

uintptr_t IdOf(HWND hwnd) { return reinterpret_cast<uintptr_t>(hwnd); }
HWND HandleOf(uintptr_t id) { return reinterpret_cast<HWND>(id); }

void NoteHandleLive(uintptr_t id, bool live) {
  Model& model = TheModel();
  std::lock_guard<std::mutex> lock(model.queueMutex);
  if (live) {
    model.liveHandles.insert(id);
  } else {
    model.liveHandles.erase(id);
  }
}

Window* Find(HWND hwnd) {
  if (!hwnd) return nullptr;
  auto& windows = TheModel().windows;
  auto it = windows.find(IdOf(hwnd));
  if (it == windows.end()) return nullptr;
  return it->second.get();
}

void Enqueue(QueueItem item, bool atFront = false) {
  Model& model = TheModel();
  {
    std::lock_guard<std::mutex> lock(model.queueMutex);
    if (atFront) {
      model.queue.push_front(std::move(item));
    } else {
      model.queue.push_back(std::move(item));
    }
  }
  model.queueChanged.notify_all();
  if (NativeBackend* backend = GetNativeBackend()) backend->Wake();
}

// Wakes a waiting loop so that it re-checks its end condition.
void WakeLoop() { Enqueue(QueueItem{}); }

LRESULT Deliver(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = Find(hwnd);
  if (!window) return 0;
  if (window->procedure) return window->procedure->DispatchMessage(hwnd, message, wParam, lParam);
  return DefaultWindowProcedure(hwnd, message, wParam, lParam);
}

void RemoveFromZOrder(HWND hwnd) {
  NoteModelChanged();
  auto& order = TheModel().zOrder;
  order.erase(std::remove(order.begin(), order.end(), hwnd), order.end());
}

// How many windows of the owner chain, the window included, run modally.
int ModalDepth(HWND hwnd) {
  int depth = 0;
  for (Window* window = Find(hwnd); window; window = Find(window->owner)) {
    if (window->modal) ++depth;
  }
  return depth;
}

// A modal window stays above every window of the program but those it owns
// (which may run modally over it in turn): a window made or raised while it
// runs goes below it.
void KeepModalWindowsOnTop() {
  auto& order = TheModel().zOrder;
  std::stable_sort(order.begin(), order.end(),
                   [](HWND a, HWND b) { return ModalDepth(a) > ModalDepth(b); });
}

void Raise(HWND hwnd) {
  RemoveFromZOrder(hwnd);
  auto& order = TheModel().zOrder;
  order.insert(order.begin(), hwnd);
  KeepModalWindowsOnTop();
}

// Sets a new rectangle and tells the window what changed.
void ApplyRect(HWND hwnd, const RECT& rect, WPARAM sizeKind, bool forceSize = false) {
  Window* window = Find(hwnd);
  if (!window) return;
  const RECT before = window->rect;
  window->rect = rect;
  const bool moved = before.left != rect.left || before.top != rect.top;
  const bool resized =
      RectWidth(before) != RectWidth(rect) || RectHeight(before) != RectHeight(rect);
  if (moved || resized) NoteModelChanged();
  if (resized) window->invalid.assign(1, RECT{0, 0, RectWidth(rect), RectHeight(rect)});
  if (moved) Deliver(hwnd, WM_MOVE, 0, MakeLParam(rect.left, rect.top));
  if (resized || forceSize) {
    Deliver(hwnd, WM_SIZE, sizeKind, MakeLParam(RectWidth(rect), RectHeight(rect)));
  }
}

void SetVisible(Window* window, bool visible) {
  NoteModelChanged();
  if (visible) {
    window->style |= WS_VISIBLE;
  } else {
    window->style &= ~WS_VISIBLE;
  }
}

// The frame of a window is painted when it comes on screen: created
// visible, shown, or restored. Minimised windows have no frame to paint.
void PaintFrame(HWND hwnd) {
  Window* window = Find(hwnd);
  if (!window || (window->style & WS_VISIBLE) == 0 || window->minimized) return;
  Deliver(hwnd, WM_NCPAINT, 1, 0);
}

void Minimize(HWND hwnd) {
  Window* window = Find(hwnd);
  if (!window || window->minimized) return;
  if (!window->maximized) window->restoreRect = window->rect;
  window->minimized = true;
  window->style |= WS_MINIMIZE;
  NoteModelChanged();
  Deliver(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
}

void Maximize(HWND hwnd) {
  Window* window = Find(hwnd);
  if (!window) return;
  const RECT work = GetMonitorWorkArea(hwnd);
  MINMAXINFO info;
  info.ptMaxSize = POINT{RectWidth(work), RectHeight(work)};
  info.ptMaxPosition = POINT{0, 0};
  info.ptMaxTrackSize = info.ptMaxSize;
  Deliver(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  window = Find(hwnd);
  if (!window) return;
  if (!window->maximized && !window->minimized) window->restoreRect = window->rect;
  window->maximized = true;
  window->minimized = false;
  NoteModelChanged();
  window->style = (window->style | WS_MAXIMIZE) & ~WS_MINIMIZE;
  const RECT target{work.left + info.ptMaxPosition.x, work.top + info.ptMaxPosition.y,
                    work.left + info.ptMaxPosition.x + info.ptMaxSize.x,
                    work.top + info.ptMaxPosition.y + info.ptMaxSize.y};
  ApplyRect(hwnd, target, SIZE_MAXIMIZED, true);
}

void Restore(HWND hwnd) {
  Window* window = Find(hwnd);
  if (!window) return;
  if (window->minimized) {
    window->minimized = false;
    window->style &= ~WS_MINIMIZE;
    NoteModelChanged();
    ApplyRect(hwnd, window->rect, window->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED, true);
    PaintFrame(hwnd);
    return;
  }
  if (window->maximized) {
    window->maximized = false;
    window->style &= ~WS_MAXIMIZE;
    NoteModelChanged();
    ApplyRect(hwnd, window->restoreRect, SIZE_RESTORED, true);
    PaintFrame(hwnd);
  }
}

void Dispatch(QueueItem& item) {
  if (item.task) {
    item.task();
    return;
  }
  if (item.hwnd && Find(item.hwnd)) Deliver(item.hwnd, item.message, item.wParam, item.lParam);
}

}  // namespace

HWND CreateWindowHandle(const WindowCreateParams& params, CWindowWnd* procedure) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Model& model = TheModel();
  const uintptr_t id = model.nextId++;
  const HWND hwnd = HandleOf(id);
  auto window = std::make_unique<Window>();
  window->procedure = procedure;
  window->owner = Find(params.owner) ? params.owner : nullptr;
  window->className = params.className;
  window->text = params.text;
  window->style = params.style;
  window->rect = RECT{params.x, params.y, params.x + std::max(0, params.cx),
                      params.y + std::max(0, params.cy)};
  window->restoreRect = window->rect;
  model.windows[id] = std::move(window);
  NoteHandleLive(id, true);
  model.zOrder.insert(model.zOrder.begin(), hwnd);
  KeepModalWindowsOnTop();
  NoteModelChanged();

  // WM_NCCREATE binds the object to its handle; its answer is not examined,
  // so a window that answers 0 to everything it does not know still opens.
  Deliver(hwnd, WM_NCCREATE, 0, 0);
  if (Find(hwnd) && Deliver(hwnd, WM_CREATE, 0, 0) == -1) {
    DestroyWindow(hwnd);
    return nullptr;
  }
  Window* created = Find(hwnd);
  if (!created) return nullptr;
  const RECT rect = created->rect;
  Deliver(hwnd, WM_SIZE, SIZE_RESTORED, MakeLParam(RectWidth(rect), RectHeight(rect)));
  Deliver(hwnd, WM_MOVE, 0, MakeLParam(rect.left, rect.top));
  PaintFrame(hwnd);
  return Find(hwnd) ? hwnd : nullptr;
}

bool DestroyWindow(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || window->destroying) return false;
  window->destroying = true;

  std::vector<HWND> owned;
  for (auto& [id, other] : TheModel().windows) {
    if (other->owner == hwnd) owned.push_back(HandleOf(id));
  }
  for (HWND child : owned) DestroyWindow(child);

  Deliver(hwnd, WM_DESTROY, 0, 0);
  window = Find(hwnd);
  CWindowWnd* procedure = window ? window->procedure : nullptr;
  TheModel().windows.erase(IdOf(hwnd));
  NoteHandleLive(IdOf(hwnd), false);
  RemoveFromZOrder(hwnd);
  // WM_NCDESTROY reaches the object after the handle is dead; it runs the
  // object's final step, which may delete it.
  if (procedure) procedure->DispatchMessage(hwnd, WM_NCDESTROY, 0, 0);
  WakeLoop();
  return true;
}

void DetachWindowProcedure(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  if (Window* window = Find(hwnd)) window->procedure = nullptr;
}

bool IsWindow(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  return Find(hwnd) != nullptr;
}

HWND GetOwner(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window ? window->owner : nullptr;
}

std::string GetWindowClassName(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window ? window->className : std::string();
}

std::string GetWindowText(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window ? window->text : std::string();
}

std::vector<HWND> GetZOrder() {
  SKINUI_DCHECK_ON_UI_THREAD();
  return TheModel().zOrder;
}

DWORD GetWindowStyle(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window ? window->style : 0;
}

DWORD SetWindowStyle(HWND hwnd, DWORD style) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return 0;
  const DWORD before = window->style;
  window->style = style;
  return before;
}

bool GetWindowRect(HWND hwnd, RECT* rect) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || !rect) return false;
  *rect = window->rect;
  return true;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || !rect) return false;
  *rect = RECT{0, 0, RectWidth(window->rect), RectHeight(window->rect)};
  return true;
}

bool ScreenToClient(HWND hwnd, POINT* point) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || !point) return false;
  point->x -= window->rect.left;
  point->y -= window->rect.top;
  return true;
}

bool ClientToScreen(HWND hwnd, POINT* point) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || !point) return false;
  point->x += window->rect.left;
  point->y += window->rect.top;
  return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int cx, int cy) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return false;
  ApplyRect(hwnd, RECT{x, y, x + std::max(0, cx), y + std::max(0, cy)},
            window->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
  return true;
}

bool SetWindowPosition(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return false;
  if ((flags & SWP_NOZORDER) == 0) {
    if (insertAfter == HWND_TOP || !Find(insertAfter) || insertAfter == hwnd) {
      if (insertAfter != hwnd) Raise(hwnd);
    } else {
      RemoveFromZOrder(hwnd);
      auto& order = TheModel().zOrder;
      order.insert(std::find(order.begin(), order.end(), insertAfter) + 1, hwnd);
      KeepModalWindowsOnTop();
    }
  }
  const bool wasVisible = (window->style & WS_VISIBLE) != 0;
  if (flags & SWP_SHOWWINDOW) SetVisible(window, true);
  if (flags & SWP_HIDEWINDOW) SetVisible(window, false);
  RECT rect = window->rect;
  if ((flags & SWP_NOMOVE) == 0) {
    rect = RECT{x, y, x + RectWidth(rect), y + RectHeight(rect)};
  }
  if ((flags & SWP_NOSIZE) == 0) {
    rect.right = rect.left + std::max(0, cx);
    rect.bottom = rect.top + std::max(0, cy);
  }
  ApplyRect(hwnd, rect, window->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
  if (!wasVisible && (flags & SWP_SHOWWINDOW)) PaintFrame(hwnd);
  return true;
}

bool ShowWindowCommand(HWND hwnd, int command) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return false;
  const bool wasVisible = (window->style & WS_VISIBLE) != 0;
  switch (command) {
    case SW_HIDE:
      SetVisible(window, false);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      SetVisible(window, true);
      Minimize(hwnd);
      break;
    case SW_SHOWMAXIMIZED:
      SetVisible(window, true);
      Maximize(hwnd);
      if (!wasVisible) PaintFrame(hwnd);
      break;
    case SW_RESTORE:
      SetVisible(window, true);
      if (!wasVisible && !window->minimized && !window->maximized) PaintFrame(hwnd);
      Restore(hwnd);
      break;
    default:
      SetVisible(window, true);
      if (!wasVisible) PaintFrame(hwnd);
      break;
  }
  return wasVisible;
}

bool IsWindowVisible(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window && (window->style & WS_VISIBLE) != 0;
}

bool IsMinimized(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window && window->minimized;
}

bool IsMaximized(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window && window->maximized;
}

bool EnableWindow(HWND hwnd, bool enable) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return false;
  const bool wasDisabled = !window->enabled;
  window->enabled = enable;
  NoteModelChanged();
  if (enable) {
    window->style &= ~WS_DISABLED;
  } else {
    window->style |= WS_DISABLED;
  }
  return wasDisabled;
}

void SetWindowModal(HWND hwnd, bool modal) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || window->modal == modal) return;
  window->modal = modal;
  KeepModalWindowsOnTop();
  NoteModelChanged();
}

bool IsWindowEnabled(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  return window && window->enabled;
}

WindowRegion CreateRoundRectRegion(int left, int top, int right, int bottom, int ellipseWidth,
                                   int ellipseHeight) {
  WindowRegion region;
  region.rect = RECT{left, top, right, bottom};
  region.ellipseWidth = ellipseWidth;
  region.ellipseHeight = ellipseHeight;
  return region;
}

bool SetWindowRegion(HWND hwnd, std::optional<WindowRegion> region, bool redraw) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return false;
  window->region = region;
  NoteModelChanged();
  return true;
}

std::optional<WindowRegion> GetWindowRegion(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window) return std::nullopt;
  return window->region;
}

RECT GetMonitorWorkArea(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  const platform::DisplayMode mode = platform::CurrentDesktop().GetDisplayMode();
  return RECT{0, 0, mode.width, mode.height};
}

POINT GetCursorPos() {
  SKINUI_DCHECK_ON_UI_THREAD();
  return TheModel().cursor;
}

void SetCursorPos(POINT point) {
  SKINUI_DCHECK_ON_UI_THREAD();
  TheModel().cursor = point;
}

void InvalidateRect(HWND hwnd, const RECT* rect) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Window* window = Find(hwnd);
  if (!window || !GetNativeBackend()) return;
  const RECT whole{0, 0, RectWidth(window->rect), RectHeight(window->rect)};
  RECT part = rect ? *rect : whole;
  part = RECT{std::max(part.left, whole.left), std::max(part.top, whole.top),
              std::min(part.right, whole.right), std::min(part.bottom, whole.bottom)};
  if (part.right <= part.left || part.bottom <= part.top) return;
  // A few separate parts stay apart (a progress step repaints its bar, its
  // text and its image); beyond that they merge into one bounding box.
  constexpr size_t kMaxParts = 8;
  auto& invalid = window->invalid;
  if (invalid.size() >= kMaxParts) {
    RECT box = part;
    for (const RECT& r : invalid) {
      box = RECT{std::min(box.left, r.left), std::min(box.top, r.top), std::max(box.right, r.right),
                 std::max(box.bottom, r.bottom)};
    }
    invalid.assign(1, box);
  } else {
    invalid.push_back(part);
  }
  if (NativeBackend* backend = GetNativeBackend()) backend->Wake();
}

std::vector<RECT> TakeInvalidRects(HWND hwnd) {
  SKINUI_DCHECK_ON_UI_THREAD();
  std::vector<RECT> parts;
  if (Window* window = Find(hwnd)) parts.swap(window->invalid);
  return parts;
}

LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  SKINUI_DCHECK_ON_UI_THREAD();
  return Deliver(hwnd, message, wParam, lParam);
}

bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Model& model = TheModel();
  {
    std::lock_guard<std::mutex> lock(model.queueMutex);
    if (hwnd && model.liveHandles.count(IdOf(hwnd)) == 0) return false;
  }
  QueueItem item;
  item.hwnd = hwnd;
  item.message = message;
  item.wParam = wParam;
  item.lParam = lParam;
  Enqueue(std::move(item));
  return true;
}

void PostQuitMessage(int exitCode) {
  QueueItem item;
  item.message = WM_QUIT;
  item.wParam = static_cast<WPARAM>(static_cast<intptr_t>(exitCode));
  Enqueue(std::move(item));
}

void PostToUiThread(std::function<void()> task) {
  if (!task) return;
  QueueItem item;
  item.task = std::move(task);
  Enqueue(std::move(item));
}

LRESULT DefaultWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_NCCREATE:
      return 1;
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_MINIMIZE:
          Minimize(hwnd);
          break;
        case SC_MAXIMIZE:
          Maximize(hwnd);
          break;
        case SC_RESTORE:
          Restore(hwnd);
          break;
        case SC_CLOSE:
          Deliver(hwnd, WM_CLOSE, 0, 0);
          break;
        default:
          break;
      }
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_MOUSEACTIVATE:
      return MA_ACTIVATE;
    case WM_NCACTIVATE:
      return 1;
    default:
      return 0;
  }
}

int RunMessageLoop(const std::function<bool()>& until) {
  SKINUI_DCHECK_ON_UI_THREAD();
  Model& model = TheModel();
  ++model.loopDepth;
  int result = -1;
  auto queued = [&model] {
    std::lock_guard<std::mutex> lock(model.queueMutex);
    return !model.queue.empty();
  };
  for (;;) {
    if (until && until()) break;
    NativeBackend* backend = GetNativeBackend();
    if (backend) backend->Sync();
    QueueItem item;
    bool taken = false;
    {
      // With a backend the wait is the toolkit's own loop; it also returns
      // when the model changed, so the next Sync mirrors that change.
      if (backend) backend->WaitForWork(queued);
      std::unique_lock<std::mutex> lock(model.queueMutex);
      if (!backend) model.queueChanged.wait(lock, [&model] { return !model.queue.empty(); });
      if (!model.queue.empty()) {
        item = std::move(model.queue.front());
        model.queue.pop_front();
        taken = true;
      }
    }
    if (!taken) continue;
    if (!item.task && item.message == WM_QUIT) {
      if (until) {
        Enqueue(std::move(item), true);  // for the outer loop
      } else {
        result = static_cast<int>(static_cast<intptr_t>(item.wParam));
      }
      break;
    }
    Dispatch(item);
  }
  --model.loopDepth;
  return result;
}

int PumpPendingMessages() {
  SKINUI_DCHECK_ON_UI_THREAD();
  Model& model = TheModel();
  size_t pending;
  {
    std::lock_guard<std::mutex> lock(model.queueMutex);
    pending = model.queue.size();
  }
  int ran = 0;
  for (; pending > 0; --pending) {
    QueueItem item;
    {
      std::lock_guard<std::mutex> lock(model.queueMutex);
      if (model.queue.empty()) break;
      item = std::move(model.queue.front());
      model.queue.pop_front();
    }
    if (!item.task && item.message == WM_QUIT) {
      Enqueue(std::move(item), true);
      break;
    }
    Dispatch(item);
    ++ran;
  }
  return ran;
}

int DiscardPendingMessages() {
  Model& model = TheModel();
  std::deque<QueueItem> dropped;
  {
    std::lock_guard<std::mutex> lock(model.queueMutex);
    dropped.swap(model.queue);
  }
  // Tasks are destroyed outside the queue lock: their captures may post.
  return static_cast<int>(dropped.size());
}

bool IsMessageLoopRunning() { return TheModel().loopDepth.load() > 0; }

}  // namespace skinui
