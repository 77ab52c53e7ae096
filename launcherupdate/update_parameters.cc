#include "launcherupdate/update_parameters.h"

namespace launcher_update {
namespace {

// Absolute, or relative to the working directory the launcher gave us (its
// own): a program directory whose name is not UTF-8 is named "./".
bool IsDirectoryPath(const std::string& path) { return path.size() > 1 && path.back() == '/'; }

}  // namespace

std::optional<UpdateParameters> ParseUpdateParameters(const std::string& text) {
  if (text.size() < 2 || text.front() != '"') return std::nullopt;
  std::string body = text.substr(1);
  if (!body.empty() && body.back() == '"') body.pop_back();
  for (size_t star = body.find('*'); star != std::string::npos; star = body.find('*', star + 1)) {
    UpdateParameters parameters{body.substr(0, star), body.substr(star + 1)};
    if (IsDirectoryPath(parameters.packageDir) && IsDirectoryPath(parameters.programDir) &&
        parameters.packageDir.size() > parameters.programDir.size() &&
        parameters.packageDir.compare(0, parameters.programDir.size(), parameters.programDir) == 0)
      return parameters;
  }
  return std::nullopt;
}

}  // namespace launcher_update
