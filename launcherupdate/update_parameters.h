// The one parameter string the launcher hands its self-update program: a
// double quote, the unpacked package directory, "*", the program directory,
// both with their trailing separator and with no closing quote.
#pragma once

#include <optional>
#include <string>

namespace launcher_update {

struct UpdateParameters {
  std::string packageDir;  // ends with "/"
  std::string programDir;  // ends with "/"
};

// Splits the parameter string. Both directories must end with a separator
// (a relative one is taken from our working directory, which is the
// launcher's), and the package must lie inside the program directory
// (as the launcher always places it): of the "*" that could separate them,
// the first that gives such a pair counts, since a Linux path may itself
// hold a "*". A closing quote is tolerated. Nullopt when no pair fits.
std::optional<UpdateParameters> ParseUpdateParameters(const std::string& text);

}  // namespace launcher_update
