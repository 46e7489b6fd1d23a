#include "web/cookie_store.h"
#include "web/transfer.h"
#include "web/wire_transfer.h"

namespace quorvane {

TransferResult TransferRequest(const ComposedRequest& request, const std::atomic<bool>& abort,
                               std::size_t bodyCap) {
  if (!IsTransferable(request)) {
    return {};
  }
  WireOptions options = WireOptionsFor(request);
  options.bodyCap = bodyCap;
  options.abort = &abort;
  WireOutcome outcome = TransferWire(WireRequestFor(request), options);
  if (!request.UsesCookieStore()) {
    // Kept for the host that gave the final answer, which a redirect may have changed.
    CookieStore::Process().StoreFromHeaders(UrlHostOf(outcome.finalUrl), outcome.result.responseHeaders);
  }
  return std::move(outcome.result);
}

}  // namespace quorvane
