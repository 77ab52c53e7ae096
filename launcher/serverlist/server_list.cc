#include "launcher/serverlist/server_list.h"

#include <wx/filefn.h>

#include <climits>
#include <cstdio>
#include <cstring>

#include "launcher/config/scrambled_file.h"
#include "launcher/system/instance_path.h"
#include "skinui/markup.h"
#include "version_order/version_order.h"

const ChosenServerString g_strServerAddr(&ChosenServer::addr);
const ChosenServerString g_strServerPort(&ChosenServer::port);
const ChosenServerString g_strChargeUrl(&ChosenServer::chargeUrl);
const ChosenServerString g_strServerSid(&ChosenServer::sid);

namespace {

// Only the first three areas take part in finding the saved server.
constexpr size_t kSearchedAreas = 3;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void ReadAreaAttributes(const CMarkupNode& node, AreaInfo& area) {
  const int count = node.GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    const char* name = node.GetAttributeName(i);
    if (std::strcmp(name, "pid") == 0)
      area.pid = ParseListInteger(node.GetAttributeValue(i));
    else if (std::strcmp(name, "name") == 0)
      area.name = node.GetAttributeValue(i);
  }
}

void ReadServerAttributes(const CMarkupNode& node, ServerInfo& server) {
  const int count = node.GetAttributeCount();
  for (int i = 0; i < count; ++i) {
    const char* name = node.GetAttributeName(i);
    const char* value = node.GetAttributeValue(i);
    if (std::strcmp(name, "sid") == 0)
      server.sid = value;
    else if (std::strcmp(name, "name") == 0)
      server.name = value;
    else if (std::strcmp(name, "address") == 0)
      server.address = value;
    else if (std::strcmp(name, "chargeIp") == 0)
      server.chargeIp = value;
    else if (std::strcmp(name, "port") == 0)
      server.port = value;
    else if (std::strcmp(name, "state") == 0)
      server.state = ParseListInteger(value);
  }
}

AreaInfo ReadArea(const CMarkupNode& node) {
  AreaInfo area;
  // An area written without attributes keeps no servers.
  if (!node.HasAttributes()) return area;
  ReadAreaAttributes(node, area);
  for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
    if (std::strcmp(child.GetName(), "server") != 0) continue;
    auto server = std::make_unique<ServerInfo>();
    ReadServerAttributes(child, *server);
    area.servers.push_back(std::move(server));
  }
  return area;
}

void RemoveFileIfPresent(const wxString& path) {
  if (wxFileExists(path)) wxRemoveFile(path);
}

// The first server of `area` that `matches`, or null.
template <typename Predicate>
const ServerInfo* FirstMatch(const AreaInfo& area, Predicate matches) {
  for (const auto& server : area.servers)
    if (matches(*server)) return server.get();
  return nullptr;
}

// Searches areas 0..2 as far as they exist; a later area's match replaces
// an earlier one's.
template <typename Predicate>
const ServerInfo* LastAreaMatch(const AreaList& areas, Predicate matches) {
  const ServerInfo* found = nullptr;
  for (size_t i = 0; i < areas.size() && i < kSearchedAreas; ++i)
    if (const ServerInfo* match = FirstMatch(areas[i], matches)) found = match;
  return found;
}

}  // namespace

int ParseListInteger(const char* text) {
  if (text == nullptr) return 0;
  while (IsBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') negative = *text++ == '-';
  long long value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    value = value * 10 + (*text - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

bool ParseServerListDocument(const CMarkup& markup, AreaList& areas) {
  const CMarkupNode root = markup.GetRoot();
  if (!root.IsValid() || std::strcmp(root.GetName(), "velmor") != 0) return false;
  AreaList parsed;
  for (CMarkupNode child = root.GetChild(); child.IsValid(); child = child.GetSibling()) {
    if (std::strcmp(child.GetName(), "area") == 0) parsed.push_back(ReadArea(child));
  }
  areas = std::move(parsed);
  return true;
}

ServerListReadResult ReadServerListFile(const wxString& requestedName) {
  if (requestedName.empty()) return ServerListReadResult();
  return ReadServerListFileIn(InstancePath(), NameInProgramDirectory(requestedName));
}

ServerListReadResult ReadServerListFileIn(const wxString& directory, const wxString& fileName) {
  ServerListReadResult result;
  if (fileName.empty()) return result;
  const std::string directoryUtf8 = directory.utf8_string();

  CMarkup markup;
  if (!markup.LoadFromFile(fileName.utf8_string(), XMLFILE_ENCODING_UTF8, directoryUtf8)) {
    // Not XML as stored: take it as scrambled.
    const wxString tmpName = fileName + ".tmp";
    const wxString tmpPath = directory + tmpName;
    RemoveFileIfPresent(tmpPath);
    // Opened for update although only read: a read-only scrambled file is
    // refused, as UnscrambleFile refuses it.
    platform::StdioFile scrambled =
        platform::OpenStdioFile((directory + fileName).utf8_str(), "rb+");
    const bool unscrambled =
        scrambled && UnscrambleStream(tmpPath.utf8_string(), std::move(scrambled),
                                      wxString(kConfigCipherKey.wc_str()).utf8_string());
    if (!unscrambled) {
      RemoveFileIfPresent(tmpPath);
      return result;
    }
    CMarkup plain;
    const bool loaded =
        plain.LoadFromFile(tmpName.utf8_string(), XMLFILE_ENCODING_UTF8, directoryUtf8);
    // The plain copy lives only while it is read, whether or not it loaded.
    RemoveFileIfPresent(tmpPath);
    if (!loaded) return result;
    result.outcome = ParseServerListDocument(plain, result.areas) ? ServerListRead::kParsed
                                                                  : ServerListRead::kOtherRoot;
    return result;
  }
  result.outcome = ParseServerListDocument(markup, result.areas) ? ServerListRead::kParsed
                                                                 : ServerListRead::kOtherRoot;
  return result;
}

wxString VersionTextToShow(const wxString& version, const wxString& launcherVersion) {
  return version_order::CompareVersions(version, launcherVersion) > 0 ? version : launcherVersion;
}

ChosenServer ChosenServerOf(const ServerInfo& server) {
  ChosenServer chosen;
  chosen.addr = server.address;
  chosen.port = server.port;
  chosen.chargeUrl = server.chargeIp;
  chosen.sid = server.sid;
  return chosen;
}

ServerChoice ChooseCurrentServer(const AreaList& areas, const SavedServerKeys& saved,
                                 const ChosenServer& previous) {
  ServerChoice choice;
  if (!saved.sid.empty()) {
    choice.taken =
        LastAreaMatch(areas, [&](const ServerInfo& server) { return server.sid == saved.sid; });
  } else if (!saved.address.empty()) {
    choice.taken = LastAreaMatch(areas, [&](const ServerInfo& server) {
      return server.address == saved.address && server.port == saved.port;
    });
  } else {
    choice.strings = previous;
    if (!areas.empty())
      choice.taken =
          FirstMatch(areas[0], [](const ServerInfo& server) { return !server.name.empty(); });
  }
  if (choice.taken) choice.strings = ChosenServerOf(*choice.taken);
  return choice;
}
