// Names as Windows finds them. Packages are made on Windows, where a name
// matches an installed file in any letter case: a package's
// "Data/Login.DAT.I" is the installed "data/login.dat.i". The installed name
// is kept; a name that is not installed keeps the package's spelling.
#pragma once

#include <map>
#include <set>
#include <string>

#include "launcher/system/run_log.h"

class InstalledNames {
 public:
  explicit InstalledNames(RunLogHandle& log) : log_(log) {}

  // The name under which `name` stands in `directory` (ending with a
  // separator): `name` itself when it stands there; else the one that
  // matches it without regard to ASCII letter case; else `name`. Where
  // several installed names differ only in case, the exact one is taken,
  // else the first in byte order, and the choice is logged. Each directory
  // is listed once.
  std::string Find(const std::string& directory, const std::string& name);

  // `relative` (either separator) below `directory`, each of its parts
  // found as Find finds it: the installed file or directory in any case,
  // with the parts that are not installed as spelled.
  std::string FindPath(const std::string& directory, const std::string& relative);

  // `name` stands in `directory` from now on (a file staged for it, a
  // directory made), or no longer (a file deleted).
  void Added(const std::string& directory, const std::string& name);
  void Removed(const std::string& directory, const std::string& name);

 private:
  // A directory's names by their lower-case form.
  using Listing = std::multimap<std::string, std::string>;
  Listing& ListingOf(const std::string& directory);

  RunLogHandle& log_;
  std::map<std::string, Listing> listings_;
  std::set<std::string> logged_;
};
