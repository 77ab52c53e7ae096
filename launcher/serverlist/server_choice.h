// Choosing and remembering the current server: the choice made from a list
// by the keys saved in orvo.ini, or a server the player picks, kept in the
// chosen-server strings and saved to orvo.ini [Setup]. The windows show what
// is chosen; the choice itself is made here.
#pragma once

#include <wx/string.h>

#include "launcher/serverlist/server_list.h"

// The saved choice, Setup/ServerSid, ServerAddr and ServerPort.
SavedServerKeys SavedServerChoice();

// Chooses the current server from `areas` by the saved keys
// (ChooseCurrentServer) and makes it the chosen server; orvo.ini is not
// written (SaveChosenServer, once the choice is complete).
ServerChoice TakeCurrentServer(const AreaList& areas);

// Writes `server` (id included) into [Setup] and saves orvo.ini.
void SaveChosenServer(const ChosenServer& server);

// A server the player picked: chosen and saved, complete or not.
void KeepPickedServer(const ServerInfo& server);

// A list read for the windows with the current server chosen from it: what
// showing the list comes to, worked out without windows, so that the
// server-list thread reads, chooses and saves, and hands only the showing
// to the UI thread.
struct ServerListSelection {
  // False: the list could not be read; the windows keep what they show.
  bool listRead = false;
  // The list read takes the shown one's place (another root keeps it).
  bool replacesList = false;
  AreaList areas;  // the list read, when it takes the place
  // False when the popup lists servers and area 0 has none: nothing is
  // chosen.
  bool chosen = false;
  bool taken = false;  // a server was taken, named `takenName`
  CStdString takenName;
  ChosenServer strings;  // the four strings after the choice
};

// Works out what showing `read` comes to while the windows show `shown`,
// with a server-list popup that has its list when `popupListsServers`: the
// list to show and the current server chosen from it (TakeCurrentServer).
// Nothing is saved.
ServerListSelection SelectServerList(ServerListReadResult read, const AreaList& shown,
                                     bool popupListsServers);

// Saves a selection's choice to orvo.ini when it is complete; anything else
// leaves the saved keys as they are.
void SaveSelectedServer(const ServerListSelection& selection);

// A copy of `areas`, records and all.
AreaList CopyAreaList(const AreaList& areas);

// The version the update panel shows: the installed game or launcher
// version, as VersionTextToShow picks it.
wxString InstalledVersionText();
