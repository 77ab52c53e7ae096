#include "launcher/frame/game_start.h"

#include "launcher/config/setup_config.h"
#include "platform/desktop.h"
#include "platform/files.h"
#include "platform/name_in_any_case.h"
#include "platform/program.h"

namespace {

const char kGameExecutable[] = "orvo.exe";
const char kGameParameters[] = "ws";
const char kMissingGameText[] = "游戏无法启动，缺少 orvo.exe 文件或重新安装游戏！";
const char kErrorCaption[] = "错误";

}  // namespace

void StartGame(const wxString& programDir) {
  SetupConfig().Save();  // the result does not change what follows

  platform::Desktop& desktop = platform::CurrentDesktop();
  // Converted from a private copy: wxString caches conversions inside the
  // object, and the update thread converts programDir at the same time.
  const std::string dir = wxString(programDir.wc_str()).utf8_string();
  const std::string gamePath = dir + platform::NameInAnyCase(dir, kGameExecutable);
  // A game file that is there but cannot be started (not executable, not a
  // program) gets the same notice as a missing one: the player must know
  // why nothing happens.
  if (!platform::FileExists(gamePath) || !platform::StartProgram(gamePath, kGameParameters))
    desktop.ShowMessageBox(kMissingGameText, kErrorCaption, platform::MessageBoxButtons::Ok);
  desktop.PostQuit(0);
}
