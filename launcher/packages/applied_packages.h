// The index merges done since the installed game version was last
// recorded. A package is installed again when its set is applied again (a
// retry after a later file of the set failed, or the next start after a
// failed or interrupted run): its copies and deletions come out the same,
// but a merge would append its records a second time. So each merge is
// recorded with the state of its index before and after it, and is not done
// again while the installed index is in a state it led to: the one it left,
// or one that merges recorded after it made of that. A record never vouches
// for files that are not there: an index changed behind the launcher's back
// (restored from a backup, say) has its merges done again.
#pragma once

#include <wx/string.h>

#include <map>
#include <string>
#include <vector>

// Name of the record in the program directory.
inline constexpr char kAppliedPackagesFile[] = "update.applied";

// What tells a package's content apart: its size and the end of the file,
// where a zip archive keeps its central directory (names, sizes and CRC-32
// of every entry). Empty when the file cannot be read.
std::string PackageFingerprint(const wxString& packagePath);

// The state of an index file as the records know it: its size and a hash
// of its content ("-" when missing); with `dataFile`, also that file's size
// (login.dat, which a merge only ever appends to).
std::string MergeState(const std::string& indexFile, const std::string& dataFile = std::string());

struct MergeRecord {
  std::string target;  // the installed index
  std::string before;  // its state before the merge and after it
  std::string after;
  std::string merge;  // the package's fingerprint and the index's place in it
};

class AppliedMerges {
 public:
  // The merges recorded for `version` (none when the record cannot be read).
  AppliedMerges(const wxString& programDir, const wxString& version);

  // True when `merge` into `target` is done and `current` is a state it
  // led to.
  bool Done(const std::string& merge, const std::string& target, const std::string& current) const;

  // Notes a merge staged by this run; Record puts the notes on disk.
  void Add(MergeRecord record);
  // Appends the notes in one write and makes them durable (never through a
  // link); true when there were none.
  bool Record();

 private:
  wxString programDir_;
  std::string version_;
  std::map<std::string, std::vector<MergeRecord>> byTarget_;  // in the order made
  std::vector<MergeRecord> unrecorded_;
};

// Forgets every record: a new version has been recorded.
void ForgetApplied(const wxString& programDir);
