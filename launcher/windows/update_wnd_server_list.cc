// The update panel's server-list operations: parsing ServerList.xml into the
// panel's areas, choosing and remembering the current server, filling the
// popup with one area and the press on a popup item. The rules themselves
// live in launcher/server_list.*.
//
// Threads: SelectCurrentServer runs on the UI thread (cached list at start)
// and on the server-list thread (after a download); FillServerList also runs
// for the area tabs and OnServerItemEvent for item presses, both on the UI
// thread. The areas, the current area, the popup's items and the choice are
// changed only under the UI lock, so a tab or a press on the UI thread sees
// either the old list or the new one. The file is read before the lock is
// taken; SelectCurrentServer takes the lock again for the choice after
// LoadServerList has put the list in place. Lock order: the UI lock before
// SetupConfig's lock.
#include <wx/string.h>

#include "launcher/config/setup_config.h"
#include "launcher/config/version_config.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/ui_lock.h"

namespace {

CStdString ToStd(const wxString& text) { return CStdString(text.utf8_string()); }

UIServerListWnd* Popup(const UIUpdateWnd& panel) {
  return panel.frame ? panel.frame->serverListWnd : nullptr;
}

CListUI* PopupList(const UIUpdateWnd& panel) {
  UIServerListWnd* popup = Popup(panel);
  return popup ? popup->domainList : nullptr;
}

// The list file named by the frame, read without holding the UI lock.
ServerListReadResult ReadPanelList(const UIUpdateWnd& panel) {
  if (!panel.frame) return {};
  wxString fileName;
  {
    skinui::UiLockGuard guard;
    fileName = wxString(panel.frame->serverListFile.wc_str());  // own copy for this thread
  }
  return ReadServerListFile(fileName);
}

// Puts a freshly read list in place of the panel's (UI lock held). Another
// root keeps the previous list.
void InstallList(UIUpdateWnd& panel, ServerListReadResult& read) {
  if (read.outcome != ServerListRead::kParsed) return;
  // The popup's items point at the old records: drop them first.
  if (CListUI* list = PopupList(panel)) list->RemoveAll();
  panel.areas = std::move(read.areas);
}

void SaveChoice(const ChosenServer& chosen) {
  auto lock = SetupConfig().Lock();
  StoreServerInSetup(chosen, StoreSid::Yes);
  SetupConfig().Save();
}

SavedServerKeys SavedKeys() {
  auto lock = SetupConfig().Lock();
  return SavedServerKeys{ToStd(SetupConfig().ServerSid), ToStd(SetupConfig().ServerAddr),
                         ToStd(SetupConfig().ServerPort)};
}

void ShowVersion(UIUpdateWnd& panel) {
  wxString version, launcherVersion;
  {
    auto lock = VersionConfig().Lock();
    version = wxString(VersionConfig().Version.wc_str());
    launcherVersion = wxString(VersionConfig().LVersion.wc_str());
  }
  if (panel.curVersionTxt)
    panel.curVersionTxt->SetText(ToStd(VersionTextToShow(version, launcherVersion)));
}

}  // namespace

bool UIUpdateWnd::LoadServerList() {
  ServerListReadResult read = ReadPanelList(*this);
  if (read.outcome == ServerListRead::kFailed) return false;
  skinui::UiLockGuard guard;
  if (read.outcome == ServerListRead::kParsed) {
    InstallList(*this, read);
    // The popup no longer shows any area of the new list.
    currentArea = -1;
  }
  return true;
}

bool UIUpdateWnd::SelectCurrentServer() {
  ShowVersion(*this);
  if (!LoadServerList()) return false;

  // A tab pressed since the load has filled the popup from the new list
  // already; the refill below puts area 0 there again.
  ChosenServer toSave;
  {
    skinui::UiLockGuard guard;
    currentArea = -1;
    if (UIServerListWnd* popup = Popup(*this); popup && popup->domainList) {
      if (!FillServerList(0)) return false;
      popup->LayoutServerListPopup();
    }

    const ServerChoice choice = ChooseCurrentServer(areas, SavedKeys(), GetChosenServer());
    SetChosenServer(choice.strings);
    if (choice.taken && serverBtn) serverBtn->SetText(choice.taken->name);

    if (!choice.strings.IsComplete()) {
      // Nothing (complete) chosen: the saved keys stay as they are.
      if (serverBtn) serverBtn->SetText("");
      if (frame) frame->SetEnterGameEnabled(false);
      return true;
    }
    toSave = choice.strings;
  }
  // orvo.ini is written without the UI lock: the UI thread never waits for
  // the file.
  SaveChoice(toSave);
  return true;
}

bool UIUpdateWnd::FillServerList(unsigned areaIndex) {
  skinui::UiLockGuard guard;
  if (static_cast<long long>(areaIndex) == currentArea) return true;
  // Remembered before any check, so a failed fill of this area is not
  // repeated by the next call for it.
  currentArea = static_cast<int>(areaIndex);

  if (!Popup(*this)) return false;
  CListUI* list = PopupList(*this);
  if (list) list->RemoveAll();
  if (!list || areaIndex >= areas.size() || areas[areaIndex].servers.empty()) return false;

  for (const auto& server : areas[areaIndex].servers) {
    auto* item = new CListLabelElementUI;
    if (!list->Add(item)) {
      delete item;
      continue;
    }
    item->SetText(server->name);
    item->SetUserPtrData(server.get());
    item->OnEvent += MakeDelegate(&OnServerItemEvent);
  }
  return true;
}

bool OnServerItemEvent(void* param) {
  auto* event = static_cast<TEventUI*>(param);
  if (!event || event->Type != UIEVENT_BUTTONDOWN || !event->pSender) return true;
  // Normally held already by the message loop; keeps the record alive
  // against a list being replaced.
  skinui::UiLockGuard guard;
  const auto* server = static_cast<const ServerInfo*>(event->pSender->GetUserPtrData());
  if (!server) return true;
  const ChosenServer chosen = ChosenServerOf(*server);
  SetChosenServer(chosen);
  SaveChoice(chosen);
  if (ChildWindowHost* frame = ChildWindowHost::Current()) frame->SetEnterGameEnabled(true);
  return true;
}
