// The update manifest and its file lists. Input: manifest, NUL, file list,
// NUL, the bytes of every other file. The patch object's transfer routine is
// one that serves these (the manifest for its URL, the file list to the work
// file, the rest to any other target) and refuses a target outside the
// scratch directory, which counts as a fault. Every "hash" is set to the MD5
// of the served bytes first, since a mismatch ends the process by design.
#include <wx/init.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/xml/xml.h>

#include <cerrno>
#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "download/download_file.h"
#include "fuzz/fuzz_support.h"
#include "platform/desktop.h"
#include "tidewell/live_patch_imp.h"
#include "tidewell/md5.h"

namespace {

constexpr wchar_t kManifestUrl[] = L"http://127.0.0.1/m/manifest.xml";

struct Served {
  std::string manifest;
  std::string fileList;
  std::string body;
};
Served g_served;

std::string Md5Of(const std::string& bytes) {
  MD5 digest;
  digest.update(bytes.data(), bytes.size());
  digest.finalize();
  return digest.hexdigest();
}

void SetHashes(wxXmlNode* node, const wxString& hash) {
  for (; node; node = node->GetNext()) {
    if (node->GetType() != wxXML_ELEMENT_NODE) continue;
    for (wxXmlAttribute* attribute = node->GetAttributes(); attribute;
         attribute = attribute->GetNext()) {
      if (attribute->GetName() == "hash") attribute->SetValue(hash);
    }
    SetHashes(node->GetChildren(), hash);
  }
}

// The document with every hash replaced; as it is when it does not parse.
std::string WithHashes(const std::string& xml, const std::string& hash) {
  wxMemoryInputStream in(xml.data(), xml.size());
  wxXmlDocument document;
  {
    wxLogNull quiet;
    if (!document.Load(in, "UTF-8") || !document.GetRoot()) return xml;
  }
  SetHashes(document.GetRoot(), wxString(hash));
  wxMemoryOutputStream out;
  if (!document.Save(out)) return xml;
  std::string saved(out.GetSize(), '\0');
  out.CopyTo(saved.data(), saved.size());
  return saved;
}

TransferOutcome ServeInput(CURL*, const wxString& url, const wxString& path, long,
                           curl_progress_callback progress, uint64_t maxBytes,
                           long /*stallTimeout*/) {
  const std::string target = path.utf8_string();
  FUZZ_CHECK(fuzz::InsideScratch(target));
  const std::string& bytes = url == kManifestUrl ? g_served.manifest
                             : target == fuzz::Scratch() + "/data/xxurlw/test.gps"
                                 ? g_served.fileList
                                 : g_served.body;
  TransferOutcome outcome;
  FILE* file = std::fopen(target.c_str(), "wb+");
  if (!file) {
    outcome.fileError = errno;
    return outcome;
  }
  // A body over the caller's bound is cut off, as a real transfer would be.
  if (maxBytes != kNoSizeLimit && bytes.size() > maxBytes) {
    std::fclose(file);
    outcome.overBound = true;
    return outcome;
  }
  if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) outcome.fileError = EIO;
  std::fclose(file);
  if (progress)
    progress(nullptr, static_cast<double>(bytes.size()), static_cast<double>(bytes.size()), 0, 0);
  // A URL may ask for a failed transfer.
  outcome.httpStatus = url.Contains("fail") ? 404 : 200;
  return outcome;
}

void CheckStatus(const wchar_t* filePath, int32_t, int32_t total, bool, void* user, bool, bool) {
  FUZZ_CHECK(total == 1);
  const CLivePatchImp& patch = *static_cast<const CLivePatchImp*>(user);
  FUZZ_CHECK(std::wcslen(patch.statusText) < static_cast<size_t>(kStatusTextCapacity));
  if (filePath) FUZZ_CHECK(fuzz::InsideScratch(wxString(filePath).utf8_string()));
}

// Error boxes answer at once and say nothing.
class QuietDesktop : public platform::Desktop {
 public:
  platform::MessageBoxResult ShowMessageBox(const std::string&, const std::string&,
                                            platform::MessageBoxButtons) override {
    return platform::MessageBoxResult::Ok;
  }
  bool OpenUrl(const std::string&) override { return false; }
  platform::DisplayMode GetDisplayMode() override { return platform::kDefaultDisplayMode; }
  bool ChangeDisplayMode(const platform::DisplayMode&) override { return false; }
  void PostQuit(int) override {}
};

void SetUpOnce() {
  static const bool done = [] {
    static wxInitializer initializer;
    FUZZ_CHECK(initializer.IsOk());
    wxLog::EnableLogging(false);
    static QuietDesktop desktop;
    platform::SetDesktop(&desktop);
    return true;
  }();
  (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SetUpOnce();
  const std::vector<std::string> parts = fuzz::Split(data, size, '\0', 3);
  const std::string hash = Md5Of(parts[2]);
  g_served = Served{WithHashes(parts[0], hash), WithHashes(parts[1], hash), parts[2]};

  for (const char* installed : {"1.0", "0.0"}) {
    fuzz::ResetScratch();
    CLivePatchImp patch(wxString::FromUTF8(fuzz::Scratch() + "/libTidewell.so"));
    patch.transfer = &ServeInput;
    patch.statusCallback = &CheckStatus;
    patch.userData = &patch;
    if (patch.LoadManifest(kManifestUrl, L"1.0")) {
      patch.ApplyPatches(installed, installed);
      patch.ReleaseManifest();
    }
    FUZZ_CHECK(std::wcslen(patch.statusText) < static_cast<size_t>(kStatusTextCapacity));
    fuzz::CheckScratchTree();
  }
  return 0;
}
