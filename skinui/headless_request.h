// The one check of VELMOR_HEADLESS, shared by the launcher program (which
// then leaves the screen module unloaded) and the screen module itself.
#pragma once

#include <cstdlib>
#include <cstring>

namespace skinui {

inline constexpr const char kHeadlessVariable[] = "VELMOR_HEADLESS";

// True when VELMOR_HEADLESS asks for the headless model (set, not "0").
inline bool HeadlessAsked() {
  const char* value = std::getenv(kHeadlessVariable);
  return value && *value && std::strcmp(value, "0") != 0;
}

}  // namespace skinui
