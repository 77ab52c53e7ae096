#include "launcher/chosen_server.h"

#include <mutex>

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
