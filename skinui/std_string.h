// CStdString: the UI layer's string. It is a std::string holding UTF-8 text
// (not a wide string). Convert from a wxString with wxString::utf8_str() and
// back with wxString::FromUTF8().
#pragma once

#include <string>
#include <utility>

class CStdString : public std::string {
 public:
  CStdString() = default;
  CStdString(const char* text) : std::string(text ? text : "") {}
  CStdString(const std::string& text) : std::string(text) {}
  CStdString(std::string&& text) : std::string(std::move(text)) {}

  // Found only for a CStdString operand, so other string types keep theirs.
  friend bool operator==(const CStdString& a, const char* b) { return a.compare(b ? b : "") == 0; }
  friend bool operator!=(const CStdString& a, const char* b) { return !(a == b); }
};
