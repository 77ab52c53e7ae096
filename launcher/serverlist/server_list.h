// The game-server list: the records parsed from ServerList.xml, the chosen
// server's four strings, and the rules by which the current server is chosen.
//
// ServerList.xml (plain or scrambled as a whole):
//   <velmor>
//     <area pid="1" name="...">
//       <server sid="..." name="..." address="..." chargeIp="..." port="..." state="0"/>
//     </area>
//   </velmor>
// Only these elements are read (names exact), in document order; any other
// element, text or deeper nesting is ignored. Of a repeated attribute the
// last one counts. An <area> without any attribute yields an area without
// servers.
//
// Everything here works without windows; the update panel (windows/
// update_wnd.h) drives it and owns the area list.
#pragma once

#include <wx/string.h>

#include <memory>
#include <vector>

#include "launcher/serverlist/chosen_server.h"
#include "skinui/std_string.h"

class CMarkup;

struct ServerInfo {
  CStdString name;
  CStdString sid;  // the key of the saved choice
  CStdString port;
  int state = 0;  // read, but nothing depends on it
  CStdString address;
  CStdString chargeIp;
};

struct AreaInfo {
  int pid = 0;  // read, but areas are addressed by position
  CStdString name;
  // The area owns its records; popup list items point at them.
  std::vector<std::unique_ptr<ServerInfo>> servers;
};

using AreaList = std::vector<AreaInfo>;

// The chosen server's four strings under their customary names. All four
// live in one guarded record (chosen_server.h), so a reader never sees half
// of a change; these views read one field of it. Change them only together,
// through SetChosenServer / ClearChosenServer.
class ChosenServerString {
 public:
  constexpr explicit ChosenServerString(CStdString ChosenServer::*field) : field_(field) {}
  CStdString Get() const { return GetChosenServer().*field_; }
  bool IsEmpty() const { return Get().empty(); }

 private:
  CStdString ChosenServer::*field_;
};

extern const ChosenServerString g_strServerAddr;  // Setup/ServerAddr
extern const ChosenServerString g_strServerPort;  // Setup/ServerPort
extern const ChosenServerString g_strChargeUrl;   // Setup/ChargeUrl
extern const ChosenServerString g_strServerSid;   // Setup/ServerSid

// --- Reading the list ---

// Decimal integer as the list writes pid and state: leading blanks and one
// sign allowed, reading stops at the first other character, no digits give
// 0; values beyond the int range are clamped.
int ParseListInteger(const char* text);

// Reads a loaded document. False when the root is not <velmor> (then
// `areas` is left alone); otherwise `areas` holds the new list.
bool ParseServerListDocument(const CMarkup& markup, AreaList& areas);

enum class ServerListRead {
  kFailed,     // missing, unreadable, or not XML even after unscrambling
  kOtherRoot,  // XML, but the root is not <velmor>: keep the previous list
  kParsed,     // `areas` of the result holds the new list
};

struct ServerListReadResult {
  ServerListRead outcome = ServerListRead::kFailed;
  AreaList areas;
};

// Reads InstancePath() + fileName (in any letter case), taken as scrambled when it does not load
// as XML. The scrambled form is unscrambled into fileName + ".tmp" beside
// it, which exists only while it is being read. An empty name fails.
ServerListReadResult ReadServerListFile(const wxString& fileName);

// The same for the file `fileName` (as named) in `directory`, which ends in
// a separator.
ServerListReadResult ReadServerListFileIn(const wxString& directory, const wxString& fileName);

// --- Choosing the current server ---

// The version shown in "CurVersionTxt": `version` when it compares greater
// than `launcherVersion` (UTF-16 unit by unit; a proper prefix is
// smaller), else `launcherVersion`. So "1.9" wins over "1.10".
wxString VersionTextToShow(const wxString& version, const wxString& launcherVersion);

// The saved choice from orvo.ini [Setup].
struct SavedServerKeys {
  CStdString sid;
  CStdString address;
  CStdString port;
};

struct ServerChoice {
  ChosenServer strings;               // the four strings after the choice
  const ServerInfo* taken = nullptr;  // the server taken, if any
};

// The choice, by the first rule that applies (never falling back to the
// next one):
//  1. a saved sid: the first server with that sid in each of the areas 0, 1
//     and 2, the last area's match winning; the strings are cleared first;
//  2. else a saved address: the same search for address and port;
//  3. else the first server of area 0 with a name; the strings are NOT
//     cleared, so without such a server `previous` stays.
ServerChoice ChooseCurrentServer(const AreaList& areas, const SavedServerKeys& saved,
                                 const ChosenServer& previous);

// The four strings of one server record.
ChosenServer ChosenServerOf(const ServerInfo& server);
