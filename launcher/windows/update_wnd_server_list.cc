// The update panel's side of the server list: the parsed list put in place
// of the panel's, the popup filled with one area, the chosen server's name
// on "ServerBtn" and the press on a popup item. Reading the list, the choice
// of the current server and saving it live in launcher/serverlist/.
//
// Threads: SelectCurrentServer runs on the UI thread (cached list at start)
// and on the server-list thread (after a download); FillServerList also runs
// for the area tabs and OnServerItemEvent for item presses, both on the UI
// thread. The areas, the current area, the popup's items and the choice are
// changed only under the UI lock, so a tab or a press on the UI thread sees
// either the old list or the new one. The file is read before the lock is
// taken; SelectCurrentServer takes the lock again for the choice after the
// list is in place. Lock order: the UI lock before SetupConfig's lock.
#include <wx/string.h>

#include "launcher/serverlist/chosen_server.h"
#include "launcher/serverlist/server_choice.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"
#include "skinui/list.h"
#include "skinui/ui_lock.h"

namespace {

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

void ShowVersion(UIUpdateWnd& panel) {
  if (panel.curVersionTxt) panel.curVersionTxt->SetText(InstalledVersionText().utf8_string());
}

}  // namespace

bool UIUpdateWnd::LoadServerList() { return InstallServerList(ReadPanelList(*this)); }

bool UIUpdateWnd::InstallServerList(ServerListReadResult read) {
  if (read.outcome == ServerListRead::kFailed) return false;
  skinui::UiLockGuard guard;
  // Another root keeps the previous list.
  if (read.outcome == ServerListRead::kParsed) {
    // The popup's items point at the old records: drop them first.
    if (CListUI* list = PopupList(*this)) list->RemoveAll();
    areas = std::move(read.areas);
    // The popup no longer shows any area of the new list.
    currentArea = -1;
  }
  return true;
}

bool UIUpdateWnd::SelectCurrentServer() {
  ShowVersion(*this);
  return LoadServerList() && ChooseFromList();
}

bool UIUpdateWnd::SelectCurrentServer(ServerListReadResult read) {
  ShowVersion(*this);
  return InstallServerList(std::move(read)) && ChooseFromList();
}

bool UIUpdateWnd::ChooseFromList() {
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

    const ServerChoice choice = TakeCurrentServer(areas);
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
  SaveChosenServer(toSave);
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
  KeepPickedServer(*server);
  if (ChildWindowHost* frame = ChildWindowHost::Current()) frame->SetEnterGameEnabled(true);
  return true;
}
