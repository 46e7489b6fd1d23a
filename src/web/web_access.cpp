#include "web/web_access.h"

#include "util/text_pieces.h"
#include "web/detached_worker.h"
#include "web/encodings.h"
#include "web/request_composition.h"
#include "web/transfer.h"

#include <memory>

namespace quorvane {

const std::string& WebTimeoutMessage() {
  static const std::string message = Utf8ToGbk("超时返回，你可以把参数中的超时值设置长一些。");
  return message;
}

std::string WebAccess(std::string_view address, const WebAccessOptions& options) {
  if (TrimText(address).empty()) {
    return {};
  }
  RequestRecord record;
  record.address = std::string(address);
  record.method = options.method == 1 ? "POST" : "GET";
  record.proxy = options.proxy;
  record.headers = options.headers;
  record.body = options.body;
  record.cookies = options.cookies;
  record.followRedirects = true;

  // The worker owns its request and result; after a time-out it finishes alone and
  // its result is dropped with the last reference.
  auto request = std::make_shared<const ComposedRequest>(ComposeRequest(record));
  auto result = std::make_shared<TransferResult>();
  const Clock::time_point deadline = Clock::now() + options.timeout.value_or(kDefaultWebTimeout);
  const bool inTime = RunDetached(
      [request, result](const std::atomic<bool>& abort) { *result = TransferRequest(*request, abort); },
      options.pump != nullptr ? *options.pump : CurrentEventPump(), deadline);
  if (!inTime) {
    return WebTimeoutMessage();
  }

  if (options.responseHeaders != nullptr) {
    *options.responseHeaders = result->responseHeaders;
  }
  switch (options.conversion) {
    case 1:
      return Utf8ToGbk(result->body);
    case 2:
      return Big5ToGbk(result->body);
    default:
      return std::move(result->body);
  }
}

std::string FetchText(std::string_view address) { return std::string(AsText(WebAccess(address))); }

}  // namespace quorvane
