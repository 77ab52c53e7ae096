#include "launcher/system/instance_path.h"

#include <mutex>

#include "platform/files.h"
#include "platform/name_in_any_case.h"
#include "platform/program.h"

namespace {

std::mutex g_instancePathMutex;
bool g_instancePathSet = false;
wxString g_instancePath;

}  // namespace

wxString InstancePath() {
  std::lock_guard<std::mutex> lock(g_instancePathMutex);
  if (!g_instancePathSet) {
    g_instancePath = wxString::FromUTF8(platform::ProgramDirectory());
    g_instancePathSet = true;
  }
  // A deep copy: wxString caches conversions inside the object, so callers on
  // other threads must never share this one.
  return wxString(g_instancePath.wc_str());
}

void SetInstancePath(const wxString& directory) {
  wxString path(directory.wc_str());
  if (!path.empty() && path.Last() != platform::kPathSeparator) path += platform::kPathSeparator;
  std::lock_guard<std::mutex> lock(g_instancePathMutex);
  g_instancePath = path;
  g_instancePathSet = true;
}

wxString NameInProgramDirectory(const wxString& name) {
  const std::string found =
      platform::NameInAnyCase(InstancePath().utf8_string(), wxString(name.wc_str()).utf8_string());
  return wxString::FromUTF8(found);
}

wxString ProgramFilePath(const wxString& name) {
  return InstancePath() + NameInProgramDirectory(name);
}
