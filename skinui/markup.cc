#include "skinui/markup.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

#include "platform/utf8.h"

struct CMarkup::Document {
  struct Element {
    std::string name;
    std::string value;
    std::vector<std::pair<std::string, std::string>> attributes;
    int parent = -1;
    int firstChild = -1;
    int lastChild = -1;
    int nextSibling = -1;
  };
  std::vector<Element> elements;  // elements[0] is the root
};

namespace {

// Documents are skins and server lists: a few hundred kilobytes at most.
// Both bounds keep a hostile download from taking the process's memory
// (an element costs far more in memory than its few bytes of text).
constexpr size_t kMaxFileSize = 16u * 1024u * 1024u;
constexpr size_t kMaxElements = 250000;
constexpr size_t kMaxAttributes = 1000000;
// Skins nest a few levels and a server list three; anything far deeper is
// hostile, and the code that walks a document need not take it.
constexpr size_t kMaxDepth = 64;

using platform::AppendUtf8;

// UTF-16 (either byte order) to UTF-8; false on a broken surrogate pair.
bool Utf16ToUtf8(const unsigned char* data, size_t size, bool bigEndian, std::string& out) {
  if (size % 2 != 0) return false;
  for (size_t i = 0; i < size; i += 2) {
    uint32_t unit = bigEndian ? (data[i] << 8 | data[i + 1]) : (data[i + 1] << 8 | data[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= size) return false;
      const uint32_t low =
          bigEndian ? (data[i + 2] << 8 | data[i + 3]) : (data[i + 3] << 8 | data[i + 2]);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return false;
    }
    AppendUtf8(out, unit);
  }
  return true;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameStart(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }

// A single pass over the text with an explicit stack of open elements.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Parse(CMarkup::Document& document) {
    doc_ = &document;
    if (text_.find('\0') != std::string_view::npos) return Fail("NUL byte in document");
    bool rootSeen = false;
    std::vector<int> open;
    while (pos_ < text_.size()) {
      if (text_[pos_] != '<') {
        const size_t start = pos_;
        const size_t end = text_.find('<', pos_);
        pos_ = end == std::string_view::npos ? text_.size() : end;
        if (open.empty()) {
          for (size_t i = start; i < pos_; ++i) {
            if (!IsSpace(text_[i])) return Fail("text outside the root element");
          }
          continue;
        }
        std::string decoded;
        if (!Decode(text_.substr(start, pos_ - start), decoded)) return false;
        doc_->elements[open.back()].value += decoded;
        continue;
      }
      if (Starts("<!--")) {
        const size_t end = text_.find("-->", pos_ + 4);
        if (end == std::string_view::npos) return Fail("unterminated comment");
        pos_ = end + 3;
      } else if (Starts("<![CDATA[")) {
        if (open.empty()) return Fail("CDATA outside the root element");
        const size_t end = text_.find("]]>", pos_ + 9);
        if (end == std::string_view::npos) return Fail("unterminated CDATA section");
        doc_->elements[open.back()].value += std::string(text_.substr(pos_ + 9, end - pos_ - 9));
        pos_ = end + 3;
      } else if (Starts("<?")) {
        const size_t end = text_.find("?>", pos_ + 2);
        if (end == std::string_view::npos) return Fail("unterminated processing instruction");
        pos_ = end + 2;
      } else if (Starts("<!DOCTYPE")) {
        if (rootSeen) return Fail("DOCTYPE after the root element");
        if (!SkipDoctype()) return false;
      } else if (Starts("</")) {
        pos_ += 2;
        std::string name;
        if (!ReadName(name)) return false;
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '>') return Fail("bad end tag");
        ++pos_;
        if (open.empty() || doc_->elements[open.back()].name != name) {
          return Fail("end tag does not match: " + name);
        }
        open.pop_back();
      } else {
        if (open.empty() && rootSeen) return Fail("second root element");
        ++pos_;
        const int index = static_cast<int>(doc_->elements.size());
        if (doc_->elements.size() >= kMaxElements) return Fail("too many elements");
        doc_->elements.emplace_back();
        if (!ReadName(doc_->elements[index].name)) return false;
        bool selfClosing = false;
        if (!ReadAttributes(index, selfClosing)) return false;
        const int parent = open.empty() ? -1 : open.back();
        Link(index, parent);
        rootSeen = true;
        if (!selfClosing) {
          if (open.size() >= kMaxDepth) return Fail("elements nested too deeply");
          open.push_back(index);
        }
      }
    }
    if (!open.empty()) return Fail("unclosed element: " + doc_->elements[open.back()].name);
    if (!rootSeen) return Fail("no root element");
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool Starts(const char* prefix) const {
    return text_.compare(pos_, std::strlen(prefix), prefix) == 0;
  }

  bool Fail(const std::string& message) {
    error_ = message;
    return false;
  }

  void SkipSpace() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }

  bool ReadName(std::string& name) {
    if (pos_ >= text_.size() || !IsNameStart(text_[pos_])) return Fail("bad name");
    const size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    name.assign(text_.substr(start, pos_ - start));
    return true;
  }

  bool ReadAttributes(int index, bool& selfClosing) {
    for (;;) {
      const size_t before = pos_;
      SkipSpace();
      if (pos_ >= text_.size()) return Fail("unterminated start tag");
      if (text_[pos_] == '>') {
        ++pos_;
        return true;
      }
      if (Starts("/>")) {
        pos_ += 2;
        selfClosing = true;
        return true;
      }
      if (pos_ == before) return Fail("missing blank between attributes");
      std::string name;
      if (!ReadName(name)) return false;
      SkipSpace();
      if (pos_ >= text_.size() || text_[pos_] != '=') return Fail("attribute without value");
      ++pos_;
      SkipSpace();
      if (pos_ >= text_.size() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
        return Fail("unquoted attribute value");
      }
      const char quote = text_[pos_++];
      const size_t end = text_.find(quote, pos_);
      if (end == std::string_view::npos) return Fail("unterminated attribute value");
      const std::string_view raw = text_.substr(pos_, end - pos_);
      if (raw.find('<') != std::string_view::npos) return Fail("'<' in attribute value");
      std::string value;
      if (!Decode(raw, value)) return false;
      pos_ = end + 1;
      if (++attributeCount_ > kMaxAttributes) return Fail("too many attributes");
      doc_->elements[index].attributes.emplace_back(std::move(name), std::move(value));
    }
  }

  // Skips "<!DOCTYPE ...>" including an internal subset in brackets.
  bool SkipDoctype() {
    int depth = 0;
    char quote = 0;
    for (pos_ += 9; pos_ < text_.size(); ++pos_) {
      const char c = text_[pos_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        --depth;
      } else if (c == '>' && depth <= 0) {
        ++pos_;
        return true;
      }
    }
    return Fail("unterminated DOCTYPE");
  }

  bool Decode(std::string_view raw, std::string& out) {
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '&') {
        out += raw[i];
        continue;
      }
      const size_t end = raw.find(';', i);
      if (end == std::string_view::npos || end - i > 12) return Fail("bad entity");
      const std::string_view entity = raw.substr(i + 1, end - i - 1);
      if (entity == "lt") {
        out += '<';
      } else if (entity == "gt") {
        out += '>';
      } else if (entity == "amp") {
        out += '&';
      } else if (entity == "apos") {
        out += '\'';
      } else if (entity == "quot") {
        out += '"';
      } else if (entity.size() > 1 && entity[0] == '#') {
        const bool hex = entity[1] == 'x';
        const std::string digits(entity.substr(hex ? 2 : 1));
        if (digits.empty()) return Fail("bad character reference");
        uint32_t code = 0;
        for (char c : digits) {
          int digit;
          if (c >= '0' && c <= '9') {
            digit = c - '0';
          } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
          } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
          } else {
            return Fail("bad character reference");
          }
          code = code * (hex ? 16 : 10) + static_cast<uint32_t>(digit);
          if (code > 0x10FFFF) return Fail("character reference out of range");
        }
        if (code == 0 || (code >= 0xD800 && code <= 0xDFFF)) {
          return Fail("character reference out of range");
        }
        AppendUtf8(out, code);
      } else {
        return Fail("unknown entity");
      }
      i = end;
    }
    return true;
  }

  void Link(int index, int parent) {
    auto& elements = doc_->elements;
    elements[index].parent = parent;
    if (parent < 0) return;
    if (elements[parent].lastChild >= 0) {
      elements[elements[parent].lastChild].nextSibling = index;
    } else {
      elements[parent].firstChild = index;
    }
    elements[parent].lastChild = index;
  }

  std::string_view text_;
  size_t pos_ = 0;
  size_t attributeCount_ = 0;
  CMarkup::Document* doc_ = nullptr;
  std::string error_;
};

}  // namespace

// ---- CMarkupNode ----

bool CMarkupNode::IsValid() const {
  return owner_ && owner_->document_ && element_ >= 0 &&
         element_ < static_cast<int>(owner_->document_->elements.size());
}

CMarkupNode CMarkupNode::GetParent() const {
  if (!IsValid()) return CMarkupNode();
  return CMarkupNode(owner_, owner_->document_->elements[element_].parent);
}

CMarkupNode CMarkupNode::GetSibling() const {
  if (!IsValid()) return CMarkupNode();
  return CMarkupNode(owner_, owner_->document_->elements[element_].nextSibling);
}

CMarkupNode CMarkupNode::GetChild() const {
  if (!IsValid()) return CMarkupNode();
  return CMarkupNode(owner_, owner_->document_->elements[element_].firstChild);
}

CMarkupNode CMarkupNode::GetChild(const char* name) const {
  for (CMarkupNode child = GetChild(); child.IsValid(); child = child.GetSibling()) {
    if (name && std::strcmp(child.GetName(), name) == 0) return child;
  }
  return CMarkupNode();
}

bool CMarkupNode::HasSiblings() const { return GetSibling().IsValid(); }
bool CMarkupNode::HasChildren() const { return GetChild().IsValid(); }

const char* CMarkupNode::GetName() const {
  return IsValid() ? owner_->document_->elements[element_].name.c_str() : "";
}

const char* CMarkupNode::GetValue() const {
  return IsValid() ? owner_->document_->elements[element_].value.c_str() : "";
}

bool CMarkupNode::HasAttributes() const { return GetAttributeCount() > 0; }

bool CMarkupNode::HasAttribute(const char* name) const {
  if (!IsValid() || !name) return false;
  for (const auto& [key, value] : owner_->document_->elements[element_].attributes) {
    if (key == name) return true;
  }
  return false;
}

int CMarkupNode::GetAttributeCount() const {
  return IsValid() ? static_cast<int>(owner_->document_->elements[element_].attributes.size()) : 0;
}

const char* CMarkupNode::GetAttributeName(int index) const {
  if (index < 0 || index >= GetAttributeCount()) return "";
  return owner_->document_->elements[element_].attributes[index].first.c_str();
}

const char* CMarkupNode::GetAttributeValue(int index) const {
  if (index < 0 || index >= GetAttributeCount()) return "";
  return owner_->document_->elements[element_].attributes[index].second.c_str();
}

const char* CMarkupNode::GetAttributeValue(const char* name) const {
  if (!IsValid() || !name) return "";
  const auto& attributes = owner_->document_->elements[element_].attributes;
  for (auto it = attributes.rbegin(); it != attributes.rend(); ++it) {
    if (it->first == name) return it->second.c_str();
  }
  return "";
}

// ---- CMarkup ----

CMarkup::CMarkup() = default;

CMarkup::~CMarkup() = default;

bool CMarkup::Load(std::string_view xml) { return LoadFromMem(xml.data(), xml.size()); }

bool CMarkup::LoadFromMem(const void* data, size_t size, int encoding) {
  Release();
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (!bytes) size = 0;
  std::string text;
  if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    text.assign(reinterpret_cast<const char*>(bytes + 3), size - 3);
  } else if (size >= 2 &&
             ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF))) {
    if (!Utf16ToUtf8(bytes + 2, size - 2, bytes[0] == 0xFE, text)) {
      lastError_ = "broken UTF-16 text";
      return false;
    }
  } else if (encoding == XMLFILE_ENCODING_UNICODE) {
    if (!Utf16ToUtf8(bytes, size, false, text)) {
      lastError_ = "broken UTF-16 text";
      return false;
    }
  } else if (size > 0) {
    text.assign(reinterpret_cast<const char*>(bytes), size);
  }
  auto document = std::make_unique<Document>();
  Parser parser(text);
  if (!parser.Parse(*document)) {
    lastError_ = parser.error();
    return false;
  }
  document_ = std::move(document);
  return true;
}

bool CMarkup::LoadFromFile(const std::string& name, int encoding, const std::string& directory) {
  Release();
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    lastError_ = "cannot open " + path;
    return false;
  }
  file.seekg(0, std::ios::end);
  const std::streamoff size = file.tellg();
  if (size < 0 || static_cast<unsigned long long>(size) > kMaxFileSize) {
    lastError_ = "file too large or unreadable: " + path;
    return false;
  }
  file.seekg(0, std::ios::beg);
  std::string contents(static_cast<size_t>(size), '\0');
  if (size > 0 && !file.read(&contents[0], size)) {
    lastError_ = "cannot read " + path;
    return false;
  }
  return LoadFromMem(contents.data(), contents.size(), encoding);
}

void CMarkup::Release() {
  document_.reset();
  lastError_.clear();
}

bool CMarkup::IsValid() const { return document_ != nullptr; }

CMarkupNode CMarkup::GetRoot() const {
  if (!document_ || document_->elements.empty()) return CMarkupNode();
  return CMarkupNode(this, 0);
}

std::string CMarkup::GetLastErrorMessage() const { return lastError_; }
