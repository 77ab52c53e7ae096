#include "launcher/serverlist/chosen_server.h"

#include <mutex>

#include "launcher/config/setup_config.h"

namespace {

std::mutex g_chosenServerMutex;
ChosenServer g_chosenServer;

}  // namespace

ChosenServer GetChosenServer() {
  std::lock_guard<std::mutex> lock(g_chosenServerMutex);
  return g_chosenServer;
}

void SetChosenServer(const ChosenServer& server) {
  std::lock_guard<std::mutex> lock(g_chosenServerMutex);
  g_chosenServer = server;
}

void ClearChosenServer() { SetChosenServer(ChosenServer{}); }

void StoreServerInSetup(const ChosenServer& server, StoreSid sid) {
  const auto wide = [](const CStdString& text) {
    return wxString::FromUTF8(text.data(), text.size());
  };
  auto lock = SetupConfig().Lock();
  SetupConfig().ServerAddr = wide(server.addr);
  SetupConfig().ServerPort = wide(server.port);
  SetupConfig().ChargeUrl = wide(server.chargeUrl);
  if (sid == StoreSid::Yes) SetupConfig().ServerSid = wide(server.sid);
}
