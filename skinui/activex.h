// CActiveXUI ("ActiveXUI"): a place holder for an embedded object. When its
// skin "clsid" names the web browser ({8856F961-340A-11D0-A96B-00C04FD705A2},
// any letter case, braces optional), GetControl with IID_IWebBrowser2 hands
// out its browser. The browser draws nothing itself; it records where it was
// sent (GetLastNavigatedUrl, GetNavigationCount), and a drawing backend
// shows that page in a real web view sized to the control.
#pragma once

#include <cstdint>

#include "skinui/control.h"

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {};
};
typedef GUID IID;
typedef GUID CLSID;
bool operator==(const GUID& a, const GUID& b);
// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional).
bool ParseGuid(const char* text, GUID* guid);

// {D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}
extern const IID IID_IWebBrowser2;
// {8856F961-340A-11D0-A96B-00C04FD705A2}
extern const CLSID CLSID_WebBrowser;

// The browser interface: Navigate records the URL. The other arguments of a
// navigation (flags, target frame, post data, headers) are not modelled.
class IWebBrowser2 {
 public:
  virtual HRESULT Navigate(const CStdString& url) = 0;
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;

 protected:
  virtual ~IWebBrowser2() = default;
};

class CActiveXUI : public CControlUI {
 public:
  CActiveXUI();
  ~CActiveXUI() override;

  CStdString GetClass() const override;  // "ActiveXUI"
  void* GetInterface(const char* name) override;

  CLSID GetClsid() const;
  // S_OK and the browser in *object (one reference, to Release) for
  // IID_IWebBrowser2 on a browser control; E_NOINTERFACE and nullptr
  // otherwise; E_POINTER when `object` is null.
  HRESULT GetControl(const IID& iid, void** object);

  CStdString GetLastNavigatedUrl() const;
  int GetNavigationCount() const;

  // "clsid".
  void SetAttribute(const char* name, const char* value) override;

 private:
  class Browser;
  CLSID clsid_;
  bool hasClsid_ = false;
  Browser* browser_;  // owned; lives as long as the control
};
