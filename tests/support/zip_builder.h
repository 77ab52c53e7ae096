// Builds real zip archives for tests, with control over what update
// packages may carry: stored names as raw bytes, the system that made the
// entry, external attributes, DOS times and local extra fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct ZipEntrySpec {
  std::string name;  // stored as given (bytes)
  std::string contents;
  bool deflate = true;
  unsigned madeBy = 0;  // high byte of "version made by": 0 = MS-DOS, 3 = Unix
  uint32_t externalAttributes = 0;
  uint32_t dosDateTime = 0x52A36000;  // 2021-05-03 12:00:00
  std::string localExtra;
};

// Writes the entries in order; true when the archive was written.
bool WriteZipArchive(const std::string& path, const std::vector<ZipEntrySpec>& entries);

// Writes plain deflated entries (name -> contents, in name order), as the
// skin archive bt.dat holds them; true when the archive was written.
bool WriteDeflatedZip(const std::string& path, const std::map<std::string, std::string>& files);

// An entry made on Unix with the mode `mode` (e.g. 0100644 for a file).
ZipEntrySpec UnixEntry(const std::string& name, const std::string& contents, uint32_t mode);

// The offsets of the local headers ("PK\3\4") and central records
// ("PK\1\2") in an archive's bytes, in order.
std::vector<size_t> FindSignatures(const std::string& bytes, const char* signature);

}  // namespace testing_support
