#include "launcher/settings_file.h"

#include <wx/strconv.h>
#include <wx/wfstream.h>

namespace {

const wxMBConvUTF8& SettingsConverter() {
  static const wxMBConvUTF8 converter(wxMBConvUTF8::MAP_INVALID_UTF8_TO_PUA);
  return converter;
}

}  // namespace

std::unique_ptr<wxFileConfig> ReadSettingsFile(const wxString& path) {
  wxFileInputStream input(path);
  if (!input.IsOk()) return nullptr;
  // Built from a stream, not a file name, so destroying it writes nothing:
  // WriteSettingsFile is the only write.
  return std::make_unique<wxFileConfig>(input, SettingsConverter());
}

bool WriteSettingsFile(wxFileConfig& config, const wxString& path) {
  wxFileOutputStream output(path);
  if (!output.IsOk()) return false;
  const bool saved = config.Save(output, SettingsConverter());
  return output.Close() && saved;
}
