#pragma once

#include <curl/curl.h>

#include <string>

// libcurl used plainly, the yardstick for the tool's own clients: a fresh handle per
// request, the body thrown away.
inline void PlainCurlRequest(const std::string& url, bool head) {
  CURL* handle = curl_easy_init();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOBODY, head ? 1L : 0L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION,
                   +[](char*, std::size_t size, std::size_t count, void*) { return size * count; });
  curl_easy_setopt(handle, CURLOPT_PROXY, "");
  curl_easy_perform(handle);
  curl_easy_cleanup(handle);
}
