// The settings record SetupConfig is process-wide: tests that load or fill
// it leave it as they found it.
#pragma once

namespace launcher_test {

// Empties every field of SetupConfig (its URLs, server, charge URL and file
// path), under its lock.
void ClearSetupConfig();

}  // namespace launcher_test
