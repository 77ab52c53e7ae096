// The account sign-up window: a skinned modal window (register.xml) over the
// launcher's main frame with the sign-up page in its embedded browser and a
// close button; Escape and the window manager's close close it too. The
// launcher unloads this library as soon as CreateRegisterWindow returns, so
// the window never outlives ShowAndWait.
#pragma once

#include <string>

#include "skinui/paint_manager.h"
#include "skinui/window_wnd.h"

namespace register_window {

inline constexpr const char kWindowClassName[] = "UIRegisterFrame";
inline constexpr const char kSkinFile[] = "register.xml";
// The browser control and the close button of the skin.
inline constexpr const char kBrowserControl[] = "RegisterWeb";
inline constexpr const char kCloseButton[] = "CloseBtn";

class UIRegisterWnd : public CWindowWnd, public INotifyUI {
 public:
  explicit UIRegisterWnd(std::string pageUrl);
  ~UIRegisterWnd() override;

  // Creates the window over `owner` (may be null), shows it modally and
  // returns once the player has closed it. Should the modal loop end for
  // another reason (the launcher is quitting), the window is destroyed here.
  // False when no window could be made.
  bool ShowAndWait(HWND owner);

  void Notify(TNotifyUI& msg) override;

 protected:
  const char* GetWindowClassName() const override { return kWindowClassName; }
  UINT GetClassStyle() const override;
  LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

 private:
  LRESULT OnCreate();
  void OnSize();
  LRESULT OnNcHitTest(LPARAM lParam);
  void Navigate();

  CPaintManagerUI paintManager_;
  std::string pageUrl_;
};

// The launcher's main frame when it is on screen, else null: the sign-up
// window is modal over it.
HWND FindLauncherFrame();

}  // namespace register_window
