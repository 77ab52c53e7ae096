// File names as Windows finds them: an installation copied from Windows may
// hold "Version.ini" where the launcher asks for "version.ini".
#pragma once

#include <string>

namespace platform {

// The name under which `name` exists in `directory` (which ends with a
// separator): `name` itself when a file or directory of that exact name
// exists, else the first entry (in byte order) whose name matches it without
// regard to ASCII case, else `name` unchanged, so that a new file gets the
// name asked for.
std::string NameInAnyCase(const std::string& directory, const std::string& name);

// `relative` ("/"-separated parts below `directory`, which ends with a
// separator) with each part found as NameInAnyCase finds it: the installed
// directories and file in any case, the parts not installed as spelled.
// Empty and "." parts are dropped.
std::string PathInAnyCase(const std::string& directory, const std::string& relative);

}  // namespace platform
