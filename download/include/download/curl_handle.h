// A libcurl easy handle that cleans itself up: one for all the attempts of a
// fetch, released however the fetch ends.
#pragma once

#include <curl/curl.h>

class CurlHandle {
 public:
  // curl_easy_init; holds nothing when libcurl could not make a handle.
  CurlHandle() : handle_(curl_easy_init()) {}
  ~CurlHandle() {
    if (handle_) curl_easy_cleanup(handle_);
  }
  CurlHandle(const CurlHandle&) = delete;
  CurlHandle& operator=(const CurlHandle&) = delete;

  CURL* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  CURL* handle_;
};
