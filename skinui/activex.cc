#include "skinui/activex.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "skinui/native_backend.h"
#include "skinui/thread_checker.h"

const IID IID_IWebBrowser2 = {
    0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};
const CLSID CLSID_WebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

bool operator==(const GUID& a, const GUID& b) {
  return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
         std::memcmp(a.Data4, b.Data4, sizeof(a.Data4)) == 0;
}

static int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseGuid(const char* text, GUID* guid) {
  if (!text || !guid) return false;
  std::string s(text);
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
  std::string hex;
  for (char c : s) {
    if (c == '-') continue;
    if (HexDigit(c) < 0) return false;
    hex += c;
  }
  auto byteAt = [&hex](size_t i) {
    return static_cast<uint8_t>(HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]));
  };
  GUID result;
  result.Data1 = static_cast<uint32_t>(byteAt(0)) << 24 | static_cast<uint32_t>(byteAt(1)) << 16 |
                 static_cast<uint32_t>(byteAt(2)) << 8 | byteAt(3);
  result.Data2 = static_cast<uint16_t>(byteAt(4) << 8 | byteAt(5));
  result.Data3 = static_cast<uint16_t>(byteAt(6) << 8 | byteAt(7));
  for (size_t i = 0; i < 8; ++i) result.Data4[i] = byteAt(8 + i);
  *guid = result;
  return true;
}

// The headless browser: remembers where it was sent. Owned by its control;
// references only count, they never delete it.
class CActiveXUI::Browser : public IWebBrowser2 {
 public:
  HRESULT Navigate(const CStdString& url) override {
    SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
    lastUrl_ = url;
    ++count_;
    skinui::NoteModelChanged();  // a backend shows the page
    return S_OK;
  }
  unsigned long AddRef() override {
    SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
    return ++references_;
  }
  unsigned long Release() override {
    SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
    return references_ > 0 ? --references_ : 0;
  }
  ~Browser() override = default;

  CStdString lastUrl_;
  int count_ = 0;
  unsigned long references_ = 0;
  SKINUI_THREAD_CHECKER(threadChecker_);
};

CActiveXUI::CActiveXUI() : browser_(new Browser) {}

CActiveXUI::~CActiveXUI() { delete browser_; }

CStdString CActiveXUI::GetClass() const { return "ActiveXUI"; }

void* CActiveXUI::GetInterface(const char* name) {
  if (name && std::strcmp(name, "ActiveX") == 0) return this;
  return CControlUI::GetInterface(name);
}

CLSID CActiveXUI::GetClsid() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return clsid_;
}

HRESULT CActiveXUI::GetControl(const IID& iid, void** object) {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IWebBrowser2) || !hasClsid_ || !(clsid_ == CLSID_WebBrowser)) {
    return E_NOINTERFACE;
  }
  browser_->AddRef();
  *object = static_cast<IWebBrowser2*>(browser_);
  return S_OK;
}

CStdString CActiveXUI::GetLastNavigatedUrl() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return browser_->lastUrl_;
}

int CActiveXUI::GetNavigationCount() const {
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  return browser_->count_;
}

void CActiveXUI::SetAttribute(const char* name, const char* value) {
  if (!name || !value) return;
  SKINUI_DCHECK_CALLED_ON_VALID_THREAD(threadChecker_);
  if (std::strcmp(name, "clsid") == 0) {
    GUID guid;
    if (ParseGuid(value, &guid)) {
      clsid_ = guid;
      hasClsid_ = true;
    } else {
      hasClsid_ = false;
    }
  } else {
    CControlUI::SetAttribute(name, value);
  }
}
