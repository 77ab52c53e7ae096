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

// The version the update panel shows: the installed game or launcher
// version, as VersionTextToShow picks it.
wxString InstalledVersionText();
