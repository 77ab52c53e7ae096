#include "launcher/config/double_backslashes.h"

void DoubleBackslashes(wxString& text) {
  wxString doubled;
  doubled.reserve(text.length());
  for (wxUniChar c : text) {
    doubled += c;
    if (c == '\\') doubled += c;
  }
  text = doubled;
}
