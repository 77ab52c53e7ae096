// Doubles every backslash of a string in place ("a\b" becomes "a\\b").
#pragma once

#include <wx/string.h>

void DoubleBackslashes(wxString& text);
