// CMarkup / CMarkupNode: a small, strict XML reader for skin files and the
// server list.
//
// What it accepts: one root element; attributes in single or double quotes;
// the five predefined entities and numeric character references (&#65;
// &#x41;); comments, CDATA sections, processing instructions and a DOCTYPE
// (skipped; entities it declares are not expanded, so a reference to one
// makes the document not well-formed). Text is UTF-8; a UTF-8 byte-order mark
// is skipped, and a UTF-16 document (with its byte-order mark) is converted.
// Nesting is read without recursion; a document whose elements nest more
// than 64 deep is refused.
//
// Repeated attributes are kept, in document order: reading by position sees
// each of them, and GetAttributeValue(name) answers the LAST one, so that a
// reader visiting attributes in order and one asking by name agree.
//
// Any other input (a missing or extra end tag, a bad name, an unquoted value,
// '<' in a value, an unknown entity, text or a second element after the root,
// a NUL byte, an empty document, nesting beyond the limit) is not
// well-formed: Load... answers false and the markup holds nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "skinui/std_string.h"

class CMarkup;

// A position in a loaded document. Cheap to copy; valid while its CMarkup is
// alive and not reloaded. An invalid node answers "" / 0 / invalid nodes.
class CMarkupNode {
 public:
  CMarkupNode() = default;

  bool IsValid() const;
  CMarkupNode GetParent() const;
  CMarkupNode GetSibling() const;                // next element sibling
  CMarkupNode GetChild() const;                  // first child element
  CMarkupNode GetChild(const char* name) const;  // first child element named so
  bool HasSiblings() const;
  bool HasChildren() const;

  const char* GetName() const;
  // Character data directly inside the element (entities decoded).
  const char* GetValue() const;

  bool HasAttributes() const;
  bool HasAttribute(const char* name) const;
  int GetAttributeCount() const;
  // By position, 0-based, in document order; "" when out of range.
  const char* GetAttributeName(int index) const;
  const char* GetAttributeValue(int index) const;
  // By exact (case-sensitive) name: the last attribute of that name; "" when
  // there is none.
  const char* GetAttributeValue(const char* name) const;

 private:
  friend class CMarkup;
  CMarkupNode(const CMarkup* owner, int element) : owner_(owner), element_(element) {}
  const CMarkup* owner_ = nullptr;
  int element_ = -1;
};

// Encodings for Load... (the `encoding` argument). UTF-8 is the one in use;
// a byte-order mark overrides the argument.
enum {
  XMLFILE_ENCODING_UTF8 = 0,
  XMLFILE_ENCODING_UNICODE = 1,  // UTF-16 little-endian
  XMLFILE_ENCODING_ASNI = 2,     // read as UTF-8
};

class CMarkup {
 public:
  CMarkup();
  ~CMarkup();
  CMarkup(const CMarkup&) = delete;
  CMarkup& operator=(const CMarkup&) = delete;

  // Parses `xml`. False (and an empty markup) when it is not well-formed.
  bool Load(std::string_view xml);
  bool LoadFromMem(const void* data, size_t size, int encoding = XMLFILE_ENCODING_UTF8);
  // Reads the plain file `directory` + `name` (a separator is put between
  // them when `directory` lacks one; an empty `directory` takes `name` as the
  // path). False when the file is missing, unreadable, larger than 64 MiB or
  // not well-formed.
  bool LoadFromFile(const std::string& name, int encoding = XMLFILE_ENCODING_UTF8,
                    const std::string& directory = std::string());
  void Release();
  bool IsValid() const;
  CMarkupNode GetRoot() const;

  // Why the last load failed ("" after a success).
  std::string GetLastErrorMessage() const;

  struct Document;  // parsed elements; internal

 private:
  friend class CMarkupNode;
  std::unique_ptr<Document> document_;
  std::string lastError_;
};
