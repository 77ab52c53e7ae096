// The contract between the screen module and libskinui_web.so. The screen
// module sees a web view only as a wxWindow and reaches the browser through
// these plain functions: the browser's types (and their type information,
// which the sanitizers check on every call through a pointer) stay in the
// module that links the browser.
#pragma once

class wxWindow;

extern "C" {

// What a web view tells its window. Called on the UI thread, from the
// toolkit's loop, never after the view is destroyed.
struct VelmorWebViewHooks {
  void* context;
  // The page may be seen (1: a page loaded) or must not be (0: nothing
  // loaded yet, the load failed, the server answered an error).
  void (*pageReady)(void* context, int ready);
  // A mouse press on the page; nonzero swallows it.
  int (*pressed)(void* context);
};

// A hidden web view in `parent` at (x, y, width, height) that will tell
// `hooks` (copied) about its page; nullptr when the browser cannot start.
// The view refuses downloads, every navigation but http and https, new
// windows and its context menu.
typedef wxWindow* (*VelmorNewWebViewFunction)(wxWindow* parent, int x, int y, int width, int height,
                                              const VelmorWebViewHooks* hooks);
// Loads `url` (UTF-8) into a view made by the function above; anything but
// an http or https address loads nothing and leaves the page not ready.
typedef void (*VelmorLoadPageFunction)(wxWindow* view, const char* url);

}  // extern "C"
