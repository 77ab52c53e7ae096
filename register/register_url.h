// Where the sign-up page is: the RegisterUrl of web.ini [Web] in the program
// directory, stored plain or scrambled, as the launcher reads it.
#pragma once

#include <string>

namespace register_window {

// The page when web.ini does not name one.
inline constexpr const char kDefaultRegisterUrl[] = "http://www.velmorsoft.com/reg.php";

// The RegisterUrl of `programDir` + "web.ini" (`programDir` ends with a
// separator); kDefaultRegisterUrl when the file or the key is missing. A
// file without any section is taken for scrambled; its plain text goes to a
// private temporary file that is removed again.
std::string ReadRegisterUrl(const std::string& programDir);

}  // namespace register_window
