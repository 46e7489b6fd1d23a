#pragma once

#include "standins/raw_http_server.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane::standins {

// The maker's pages on the file-hosting service, on 127.0.0.1: the home page with the
// notice record and the hidden listing address (GET /), the folder listing
// (GET /listing.asp), a folder's file list (POST /listing.asp) and the files behind
// the list's links (GET /down/…, 2 MiB of bytes each). Pages are GBK bytes;
// an empty page is answered with an empty body. Every request is recorded as it came.
class HostingStandin {
 public:
  struct Pages {
    std::string home;
    std::string listing;
    std::string fileList;
  };

  HostingStandin();

  void SetPages(Pages pages);
  // "http://127.0.0.1:<port>": the value for HostingHomeAddress.
  std::string HomeAddress() const { return server_.Url(""); }
  std::string ListingAddress() const { return server_.Url("/listing.asp?u=20151013"); }
  // The value for HostingLinkPrefix: what every file link of the file list starts with.
  std::string LinkPrefix() const { return server_.Url("/down/"); }
  std::vector<RecordedRequest> Requests() const { return server_.Requests(); }

  // A home page whose notice record holds `record` (GBK, fields separated by "|") and
  // whose hidden element points at `listingAddress`.
  static std::string HomePage(std::string_view record, std::string_view listingAddress);
  // A listing with the folder `name` (GBK) of id `id`, between two other folders.
  static std::string ListingPage(std::string_view name, std::string_view id);
  // A file list with one link per entry: `prefix` + entry, then "' title='".
  static std::string FileList(std::string_view prefix, const std::vector<std::string>& entries);

 private:
  void Answer(const RecordedRequest& request, Connection& connection);

  mutable std::mutex mutex_;
  Pages pages_;
  RawHttpServer server_;
};

}  // namespace quorvane::standins
