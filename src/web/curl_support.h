#pragma once

#include "web/request_record.h"

#include <curl/curl.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The pieces every libcurl transfer of the program shares.
namespace quorvane::curl_support {

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, SlistDeleter>;

// A handle for one transfer on any thread: no signals, no proxy from the environment,
// HTTP and HTTPS only (also after redirects).
EasyHandle NewEasyHandle();

// Collects the body (up to `bodyCap`) and the raw header block of the final answer,
// and ends the transfer once `abort` is set or the program is stopping.
struct ResponseCollector {
  TransferResult result;
  std::size_t bodyCap = 0;
  const std::atomic<bool>* abort = nullptr;
};
void CollectResponse(CURL* handle, ResponseCollector& collector);

// Ends the transfer once `abort` is set or the program is stopping; for transfers
// that keep nothing of the answer but what libcurl reports.
void AbortWhen(CURL* handle, const std::atomic<bool>& abort);

// The non-empty lines of a header text whose lines end in "\r\n".
std::vector<std::string> HeaderLines(std::string_view headerText);

// Whether a line names `name` (letter case ignored) before its colon.
bool HasHeaderLine(const std::vector<std::string>& lines, std::string_view name);

// The lines in their order, then `suppressed` as "Name:" entries, which keep libcurl
// from adding headers of its own by those names.
HeaderList MakeHeaderList(const std::vector<std::string>& lines, const std::vector<std::string>& suppressed);

}  // namespace quorvane::curl_support
