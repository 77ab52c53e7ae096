// CStdString: the UI layer's string. It is a std::string holding UTF-8 text
// (not a wide string), with the few helpers the windows use. Convert from a
// wxString with wxString::utf8_str() and back with wxString::FromUTF8().
#pragma once

#include <string>
#include <string_view>

class CStdString : public std::string {
 public:
  CStdString() = default;
  CStdString(const char* text) : std::string(text ? text : "") {}
  CStdString(const char* text, size_t length) : std::string(text ? text : "", text ? length : 0) {}
  CStdString(const std::string& text) : std::string(text) {}
  CStdString(std::string&& text) : std::string(std::move(text)) {}
  explicit CStdString(std::string_view text) : std::string(text) {}

  bool IsEmpty() const { return empty(); }
  void Empty() { clear(); }
  // Byte-wise comparison: <0, 0 or >0 like strcmp.
  int Compare(const char* text) const { return compare(text ? text : ""); }

  // Found only for a CStdString operand, so other string types keep theirs.
  friend bool operator==(const CStdString& a, const char* b) { return a.compare(b ? b : "") == 0; }
  friend bool operator!=(const CStdString& a, const char* b) { return !(a == b); }
};
