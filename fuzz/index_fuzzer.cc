// The ".i" index files: the input holds an installed index, its data file,
// a package index and the package's data file (three 16-bit little-endian
// lengths, then the parts). Each loader reads them, then each merge runs on
// fresh copies; after a merge the installed index is its header and whole
// records, with the patch records' values in them.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "launcher/packages/index_file.h"
#include "launcher/packages/index_merge.h"
#include "launcher/system/run_log.h"

namespace {

struct Input {
  std::string installedIndex;
  std::string installedData;
  std::string packageIndex;
  std::string packageData;
};

Input Parse(const uint8_t* data, size_t size) {
  Input input;
  std::string* parts[] = {&input.installedIndex, &input.installedData, &input.packageIndex};
  size_t at = 6;
  for (int i = 0; i < 3; ++i) {
    const size_t wanted = size >= 6 ? (data[2 * i] | (data[2 * i + 1] << 8)) : 0;
    const size_t taken = at < size ? std::min(wanted, size - at) : 0;
    if (taken) parts[i]->assign(reinterpret_cast<const char*>(data + at), taken);
    at += taken;
  }
  if (at < size) input.packageData.assign(reinterpret_cast<const char*>(data + at), size - at);
  return input;
}

std::string Path(const std::string& name) { return fuzz::Scratch() + "/" + name; }
wxString W(const std::string& name) { return wxString::FromUTF8(Path(name)); }

// The loaders agree with the file's size.
void CheckLoaders(const std::string& name, const std::string& bytes) {
  IndexFile installed(W(name));
  IndexFile patch(W(name));
  const bool loaded = installed.LoadInstalled();
  FUZZ_CHECK(loaded == patch.LoadPatch());
  FUZZ_CHECK(loaded == (bytes.size() >= kIndexHeaderSize));
  if (!loaded) return;
  const size_t body = bytes.size() - kIndexHeaderSize;
  FUZZ_CHECK(installed.count == static_cast<int32_t>(body / kInstalledRecordSize));
  FUZZ_CHECK(installed.Installed().size() == body / kInstalledRecordSize);
  FUZZ_CHECK(patch.count == static_cast<int32_t>(body / kPatchRecordSize));
  FUZZ_CHECK(patch.Patch().size() == body / kPatchRecordSize);
}

std::vector<IndexRecord24> PatchRecords(const std::string& path) {
  IndexFile patch(wxString::FromUTF8(path));
  return patch.LoadPatch() ? patch.Patch() : std::vector<IndexRecord24>();
}

// After a merge into an existing installed index: the header stays, the
// records are whole, the new ones were added and every target holds the
// values of the last patch record for it.
void CheckMergedIndex(const std::string& before, const std::vector<IndexRecord24>& records,
                      bool detached) {
  const std::string after = fuzz::ReadBytes(Path("login.dat.i"));
  FUZZ_CHECK(after.compare(0, kIndexHeaderSize, before, 0, kIndexHeaderSize) == 0);
  const uint32_t count =
      static_cast<uint32_t>((before.size() - kIndexHeaderSize) / kInstalledRecordSize);
  uint32_t appended = 0;
  std::map<uint32_t, IndexRecord24> last;
  for (const IndexRecord24& record : records) {
    if (record.targetIndex < count) {
      last[record.targetIndex] = record;
    } else {
      last[count + appended++] = record;
    }
  }
  IndexFile merged(W("login.dat.i"));
  FUZZ_CHECK(merged.LoadInstalled());
  FUZZ_CHECK(merged.Installed().size() >= count + appended);
  if (appended)
    FUZZ_CHECK(after.size() == kIndexHeaderSize + (count + appended) * kInstalledRecordSize);
  for (const auto& [at, record] : last) {
    const IndexRecord20& installed = merged.Installed()[at];
    FUZZ_CHECK(installed.length == record.length && installed.extraA == record.extraA &&
               installed.extraB == record.extraB && installed.extraC == record.extraC &&
               installed.extraD == record.extraD);
    if (detached) FUZZ_CHECK(installed.offset == kDetachedOffset);
  }
}

void Lay(const Input& input, bool withInstalledIndex, bool withInstalledData) {
  fuzz::ResetScratch();
  fuzz::WriteBytes(Path("pkg.dat.i"), input.packageIndex);
  fuzz::WriteBytes(Path("pkg.dat"), input.packageData);
  if (withInstalledIndex) fuzz::WriteBytes(Path("login.dat.i"), input.installedIndex);
  if (withInstalledData) fuzz::WriteBytes(Path("login.dat"), input.installedData);
}

RunLogHandle& NoLog() {
  static RunLogHandle log{nullptr};  // never opened
  return log;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Input input = Parse(data, size);
  const std::vector<IndexRecord24> records = [&] {
    Lay(input, true, true);
    CheckLoaders("login.dat.i", input.installedIndex);
    CheckLoaders("pkg.dat.i", input.packageIndex);
    return PatchRecords(Path("pkg.dat.i"));
  }();

  // Index only: into an existing index, and as a new one.
  Lay(input, true, false);
  if (MergeIndexFile(W("login.dat.i"), W("pkg.dat.i"))) {
    CheckMergedIndex(input.installedIndex, records, true);
  }
  Lay(input, false, false);
  if (MergeIndexFile(W("login.dat.i"), W("pkg.dat.i")) &&
      input.packageIndex.size() >= kIndexHeaderSize) {
    IndexFile installed(W("login.dat.i"));
    FUZZ_CHECK(installed.LoadInstalled() && installed.Installed().size() == records.size());
    for (const IndexRecord20& record : installed.Installed()) {
      FUZZ_CHECK(record.offset == kDetachedOffset);
    }
  }

  // Index and data: into existing files; and with no installed data, which
  // takes the package's as it is.
  Lay(input, true, true);
  if (MergeLoginData(W("pkg.dat.i"), NoLog(), W("login.dat.i"))) {
    CheckMergedIndex(input.installedIndex, records, false);
    const std::string merged = fuzz::ReadBytes(Path("login.dat"));
    FUZZ_CHECK(merged.size() >= input.installedData.size());
    // Nothing is written after the last record's bytes.
    if (!records.empty()) {
      IndexFile installed(W("login.dat.i"));
      FUZZ_CHECK(installed.LoadInstalled());
      const IndexRecord24& lastRecord = records.back();
      const uint32_t target =
          lastRecord.targetIndex <
                  static_cast<uint32_t>((input.installedIndex.size() - kIndexHeaderSize) /
                                        kInstalledRecordSize)
              ? lastRecord.targetIndex
              : static_cast<uint32_t>(installed.Installed().size() - 1);
      const IndexRecord20& placed = installed.Installed()[target];
      FUZZ_CHECK(merged.compare(placed.offset, placed.length, input.packageData, lastRecord.offset,
                                lastRecord.length) == 0);
    }
  }
  Lay(input, true, false);
  if (MergeLoginData(W("pkg.dat.i"), NoLog(), W("login.dat.i"))) {
    FUZZ_CHECK(fuzz::ReadBytes(Path("login.dat")) == input.packageData);
  }
  fuzz::CheckScratchTree();
  return 0;
}
