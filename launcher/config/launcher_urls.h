// The launcher's addresses: where the server list and the update manifest
// come from ([Addr] of Do.ini, else orvo.ini) and the web pages the buttons
// and panels open ([Web] of web.ini, else fixed defaults). Set on the UI
// thread before any worker starts; read-only afterwards.
#pragma once

#include <wx/string.h>

struct LauncherUrls {
  wxString top600Url, left600Url, right600Url, topUrl, rightUrl, leftUrl, websiteUrl;
  wxString serverListUrl1, serverListUrl2;
  wxString updateVersionUrl1, updateVersionUrl2;
  wxString rechargeUrl, bbsUrl;
};
