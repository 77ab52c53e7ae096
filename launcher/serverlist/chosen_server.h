// The chosen game server: address, port, charge address and server id, set
// by the server picker and read by Enter game and the update road. Shared by
// the UI thread and the server-list thread, so it is read and written whole
// under its own lock.
#pragma once

#include "skinui/std_string.h"

struct ChosenServer {
  CStdString addr;       // Setup/ServerAddr
  CStdString port;       // Setup/ServerPort
  CStdString chargeUrl;  // Setup/ChargeUrl
  CStdString sid;        // Setup/ServerSid

  // A server counts as chosen only when all four are non-empty.
  bool IsComplete() const {
    return !addr.empty() && !port.empty() && !chargeUrl.empty() && !sid.empty();
  }
};

// A copy of the current choice (all empty at start).
ChosenServer GetChosenServer();
void SetChosenServer(const ChosenServer& server);
void ClearChosenServer();

// Whether StoreServerInSetup writes the server id too: starting the game
// keeps the id saved before.
enum class StoreSid { No, Yes };

// Copies `server` into the [Setup] record under its lock; saving the file is
// left to the caller.
void StoreServerInSetup(const ChosenServer& server, StoreSid sid);
