#include "tidewell/error_box.h"

#include "platform/desktop.h"

namespace tidewell {

void ShowErrorBox(const char* text) {
  platform::CurrentDesktop().ShowMessageBox(text, "错误", platform::MessageBoxButtons::Ok);
}

}  // namespace tidewell
