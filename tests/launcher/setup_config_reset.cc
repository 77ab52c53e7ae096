#include "tests/launcher/setup_config_reset.h"

#include "launcher/config/setup_config.h"

namespace launcher_test {

void ClearSetupConfig() {
  class SetupConfig& setup = SetupConfig();
  auto lock = setup.Lock();
  for (wxString* field : {&setup.ServerListUrl, &setup.UpdateVersionUrl, &setup.ServerListUrl2,
                          &setup.UpdateVersionUrl2, &setup.ServerAddr, &setup.ServerPort,
                          &setup.ChargeUrl, &setup.NewUpdateVersionUrl1,
                          &setup.NewUpdateVersionUrl2, &setup.ServerSid, &setup.filePath}) {
    field->clear();
  }
}

}  // namespace launcher_test
