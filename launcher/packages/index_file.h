// ".i" index files: a 136-byte header that is never interpreted, then
// fixed-size records. The installed index (kept beside its data file in the
// program directory) has 20-byte records; the patch index carried in ".upd"
// packages has 24-byte records that also name the installed record they
// replace. All numbers are little-endian.
#pragma once

#include <wx/string.h>

#include <cstdint>
#include <variant>
#include <vector>

#include "platform/error.h"

inline constexpr uint32_t kIndexHeaderSize = 136;
inline constexpr uint32_t kInstalledRecordSize = 20;
inline constexpr uint32_t kPatchRecordSize = 24;
// No index of the game comes near this size; a larger file is refused
// rather than read into memory.
inline constexpr uint64_t kLargestIndexFile = 256ull * 1024 * 1024;
// The offset written into every record that an index-only merge installs.
inline constexpr uint32_t kDetachedOffset = 0xFFFFFFFF;

// Field offsets inside a record (both kinds share the first six).
namespace index_field {
inline constexpr uint32_t kOffset = 0;
inline constexpr uint32_t kLength = 4;
inline constexpr uint32_t kExtraA = 8;
inline constexpr uint32_t kExtraB = 10;
inline constexpr uint32_t kExtraC = 12;
inline constexpr uint32_t kExtraD = 16;
inline constexpr uint32_t kTargetIndex = 20;
}  // namespace index_field

// A record of an installed index, with the file position of each field so a
// merge can rewrite single fields in place.
struct IndexRecord20 {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint16_t extraA = 0;
  uint16_t extraB = 0;
  uint32_t extraC = 0;
  uint32_t extraD = 0;
  int64_t offsetPos = 0;
  int64_t extraAPos = 0;
  int64_t extraBPos = 0;
  int64_t lengthPos = 0;
  int64_t extraCPos = 0;
  int64_t extraDPos = 0;
};

// A record of a patch index.
struct IndexRecord24 {
  uint32_t offset = 0;
  uint32_t length = 0;
  uint16_t extraA = 0;
  uint16_t extraB = 0;
  uint32_t extraC = 0;
  uint32_t extraD = 0;
  uint32_t targetIndex = 0;
};

class IndexFile {
 public:
  explicit IndexFile(const wxString& name) : name(name), indexPath(name + ".i") {}
  // A data file whose index is known by its own path (its ".i" suffix may
  // differ in letter case, which matters on this file system).
  IndexFile(const wxString& name, const wxString& indexPath) : name(name), indexPath(indexPath) {}

  // Each loader reads the whole file; false (and the object unchanged) when
  // it cannot be opened, is shorter than the header or larger than
  // kLargestIndexFile, or its records do not fit in memory. Trailing bytes
  // that fill no whole record are ignored.
  bool LoadInstalledForData();  // installed index at indexPath (name + ".i")
  bool LoadInstalled();         // installed index at name
  bool LoadPatchForData();      // patch index at indexPath (name + ".i")
  bool LoadPatch();             // patch index at name

  // The loaders' work on the index file at `path`: a failure says why
  // ("<path> is shorter than the 136-byte header").
  platform::Status LoadInstalledFrom(const wxString& path);
  platform::Status LoadPatchFrom(const wxString& path);

  // The records of the kind loaded last (empty for the other kind).
  const std::vector<IndexRecord20>& Installed() const;
  const std::vector<IndexRecord24>& Patch() const;
  std::vector<IndexRecord20>& MutableInstalled();

  std::variant<std::vector<IndexRecord20>, std::vector<IndexRecord24>> entries;
  int32_t count = 0;   // records read by the last successful load
  wxString name;       // the data file's path, or the index file's own
  wxString indexPath;  // the index of the data file `name`
};

// Little-endian encodings of whole records, for writers of index files.
void EncodeInstalledRecord(const IndexRecord20& record, unsigned char out[kInstalledRecordSize]);
