#include "launcher/packages/del_list.h"

#include <cctype>
#include <fstream>
#include <string>

#include "launcher/packages/contained_path.h"
#include "launcher/packages/installed_names.h"
#include "launcher/packages/launcher_records.h"
#include "launcher/system/run_log.h"
#include "platform/files.h"

namespace {

// The next white-space-separated word; false at the end of the file. A word
// longer than kDeleteListWordMax is read to its end but kept only that far
// (plus one byte, which tells it is too long).
bool NextWord(std::istream& in, std::string& word) {
  word.clear();
  char c;
  while (in.get(c)) {
    if (!std::isspace(static_cast<unsigned char>(c))) {
      word.push_back(c);
      break;
    }
  }
  if (word.empty()) return false;
  while (in.get(c) && !std::isspace(static_cast<unsigned char>(c))) {
    if (word.size() <= kDeleteListWordMax) word.push_back(c);
  }
  return true;
}

}  // namespace

void CarryOutDeleteList(const wxString& programDir, RunLogHandle& log, const wxString& listPath) {
  std::ifstream in(listPath.utf8_string(), std::ios::binary);
  if (!in) return;
  InstalledNames names(log);
  std::string dir = programDir.utf8_string();
  if (dir.empty() || dir.back() != platform::kPathSeparator) dir += platform::kPathSeparator;
  std::string word;
  while (NextWord(in, word)) {
    // A cut-off word could name another file: too long means not a name.
    if (word.size() > kDeleteListWordMax) continue;
    const wxString entry = wxString::FromUTF8(word);
    if (entry.empty()) continue;  // not UTF-8: names no file
    if (!IsContainedRelativePath(entry)) {
      RUNLOG_ERROR(log, 2230, "del.lst entry %s is outside the program directory, skipped", entry);
      continue;
    }
    if (NamesLauncherRecord(entry)) {
      RUNLOG_ERROR(log, 2231, "del.lst entry %s names a launcher record, skipped", entry);
      continue;
    }
    const std::string path = names.FindPath(dir, word);
    if (!platform::FileExists(path) || !platform::DeleteFile(path)) continue;
    const size_t slash = path.find_last_of(platform::kPathSeparator);
    names.Removed(path.substr(0, slash + 1), path.substr(slash + 1));
  }
}
