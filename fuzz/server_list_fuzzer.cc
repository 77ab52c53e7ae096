// The server list: the input read as ServerList.xml, plain and scrambled,
// then the choice of server by each rule.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "launcher/config/scrambled_file.h"
#include "launcher/serverlist/server_list.h"
#include "launcher/system/instance_path.h"
#include "skinui/markup.h"

namespace {

std::string Scrambled(const std::string& plain) {
  const std::string key = kConfigCipherKey.utf8_string().substr(0, 8);
  std::string stored = plain;
  for (size_t n = 0; n < stored.size(); ++n) {
    stored[n] = static_cast<char>(static_cast<unsigned char>(stored[n]) +
                                  static_cast<unsigned char>(key[n % key.size()]));
  }
  return stored;
}

bool SameStrings(const ChosenServer& a, const ChosenServer& b) {
  return a.addr == b.addr && a.port == b.port && a.chargeUrl == b.chargeUrl && a.sid == b.sid;
}

bool SameLists(const AreaList& a, const AreaList& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name || a[i].pid != b[i].pid ||
        a[i].servers.size() != b[i].servers.size()) {
      return false;
    }
    for (size_t s = 0; s < a[i].servers.size(); ++s) {
      if (!SameStrings(ChosenServerOf(*a[i].servers[s]), ChosenServerOf(*b[i].servers[s])) ||
          a[i].servers[s]->name != b[i].servers[s]->name) {
        return false;
      }
    }
  }
  return true;
}

// Whether `server` is one of the records of the first `areas` areas.
bool IsAmong(const AreaList& list, const ServerInfo* server, size_t areas) {
  for (size_t i = 0; i < list.size() && i < areas; ++i) {
    for (const auto& candidate : list[i].servers) {
      if (candidate.get() == server) return true;
    }
  }
  return false;
}

void CheckChoices(const AreaList& areas) {
  ChosenServer previous;
  previous.addr = "previous";
  // The saved keys of every server of the first areas, and none at all.
  SavedServerKeys none;
  ServerChoice choice = ChooseCurrentServer(areas, none, previous);
  if (choice.taken) {
    FUZZ_CHECK(IsAmong(areas, choice.taken, 1) && !choice.taken->name.empty());
    FUZZ_CHECK(SameStrings(choice.strings, ChosenServerOf(*choice.taken)));
  } else {
    FUZZ_CHECK(SameStrings(choice.strings, previous));
  }
  for (size_t a = 0; a < areas.size() && a < 3; ++a) {
    for (const auto& server : areas[a].servers) {
      SavedServerKeys saved;
      saved.sid = server->sid;
      saved.address = server->address;
      saved.port = server->port;
      choice = ChooseCurrentServer(areas, saved, previous);
      if (!choice.taken) continue;
      FUZZ_CHECK(IsAmong(areas, choice.taken, 3));
      FUZZ_CHECK(SameStrings(choice.strings, ChosenServerOf(*choice.taken)));
      if (!saved.sid.empty()) FUZZ_CHECK(choice.taken->sid == saved.sid);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::ResetScratch();
  SetInstancePath(wxString::FromUTF8(fuzz::Scratch()));
  const std::string plain(reinterpret_cast<const char*>(data), size);
  fuzz::WriteBytes(fuzz::Scratch() + "/ServerList.xml", plain);
  const ServerListReadResult asStored = ReadServerListFile("ServerList.xml");

  const std::string scrambled = Scrambled(plain);
  fuzz::WriteBytes(fuzz::Scratch() + "/Scrambled.xml", scrambled);
  const ServerListReadResult unscrambled = ReadServerListFile("Scrambled.xml");
  // The plain copy is gone once read.
  FUZZ_CHECK(fuzz::CheckScratchTree().size() == 2);

  // Unscrambling writes line breaks as CR LF; without any, a plain list
  // reads the same when scrambled (unless its stored bytes are XML too).
  CMarkup plainAsXml;
  CMarkup scrambledAsXml;
  if (plainAsXml.LoadFromMem(plain.data(), plain.size()) &&
      plain.find_first_of("\r\n") == std::string::npos &&
      !scrambledAsXml.LoadFromMem(scrambled.data(), scrambled.size())) {
    FUZZ_CHECK(unscrambled.outcome == asStored.outcome);
    FUZZ_CHECK(SameLists(unscrambled.areas, asStored.areas));
  }
  CheckChoices(asStored.areas);
  CheckChoices(unscrambled.areas);
  return 0;
}
