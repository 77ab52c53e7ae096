// The self-update program's log, "launcherupdate.log" in the program
// directory, rewritten at each run: one time-stamped line per step, for
// support staff and for whoever waits for the launcher it starts again.
#pragma once

#include <string>

namespace launcher_update {

inline constexpr const char kLogName[] = "launcherupdate.log";

class UpdateLog {
 public:
  // Opens `directory` + kLogName without following a link planted in its
  // place; a log that cannot be opened is left out quietly.
  explicit UpdateLog(const std::string& directory);
  ~UpdateLog();
  UpdateLog(const UpdateLog&) = delete;
  UpdateLog& operator=(const UpdateLog&) = delete;

  // Writes "<time stamp>: <text>"; control characters in `text` (such as the
  // line breaks of a path) are written escaped, so no line can be forged.
  void Write(const std::string& text);

 private:
  int fd_ = -1;
};

}  // namespace launcher_update
