// The update panel's side of the server list: the list read and chosen
// from put in place of the panel's, the popup filled with one area, the
// chosen server's name on "ServerBtn" and the press on a popup item.
// Reading the list, the choice of the current server and saving it live in
// launcher/serverlist/.
//
// Threads: all of this runs on the UI thread. The cached list at start is
// read, chosen from and saved here (SelectCurrentServer); a list the
// server-list thread downloaded was read, chosen from and saved there, and
// only its showing reaches the panel (ShowServerSelection, posted).
#include <wx/string.h>

#include "launcher/serverlist/chosen_server.h"
#include "launcher/serverlist/server_choice.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/windows/child_window_host.h"
#include "launcher/windows/server_list_wnd.h"
#include "launcher/windows/update_wnd.h"
#include "skinui/button.h"
#include "skinui/list.h"

namespace {

UIServerListWnd* Popup(const UIUpdateWnd& panel) {
  return panel.frame ? panel.frame->serverListWnd : nullptr;
}

CListUI* PopupList(const UIUpdateWnd& panel) {
  UIServerListWnd* popup = Popup(panel);
  return popup ? popup->domainList : nullptr;
}

}  // namespace

bool UIUpdateWnd::PopupListsServers() const { return PopupList(*this) != nullptr; }

ServerListReadResult UIUpdateWnd::LoadServerList() const {
  if (!frame) return {};
  return ReadServerListFile(frame->serverListFile);
}

bool UIUpdateWnd::SelectCurrentServer() {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  ServerListSelection selection = SelectServerList(LoadServerList(), areas, PopupListsServers());
  SaveSelectedServer(selection);
  return ShowServerSelection(std::move(selection));
}

bool UIUpdateWnd::ShowServerSelection(ServerListSelection selection) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
  if (curVersionTxt) curVersionTxt->SetText(InstalledVersionText().utf8_string());
  if (!selection.listRead) return false;
  if (selection.replacesList) {
    // The popup's items point at the old records: drop them first.
    if (CListUI* list = PopupList(*this)) list->RemoveAll();
    areas = std::move(selection.areas);
  }
  // A tab pressed before has filled the popup from the old list; area 0 of
  // this one goes there.
  currentArea = -1;
  if (UIServerListWnd* popup = Popup(*this); popup && popup->domainList) {
    if (!FillServerList(0)) return false;
    popup->LayoutServerListPopup();
  }
  if (!selection.chosen) return false;
  if (selection.taken && serverBtn) serverBtn->SetText(selection.takenName);
  if (!selection.strings.IsComplete()) {
    // Nothing (complete) chosen: the saved keys stay as they are.
    if (serverBtn) serverBtn->SetText("");
    if (frame) frame->SetEnterGameEnabled(false);
  }
  return true;
}

bool UIUpdateWnd::FillServerList(unsigned areaIndex) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(windowThread_);
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
  const auto* server = static_cast<const ServerInfo*>(event->pSender->GetUserPtrData());
  if (!server) return true;
  KeepPickedServer(*server);
  if (ChildWindowHost* frame = ChildWindowHost::Current()) frame->SetEnterGameEnabled(true);
  return true;
}
