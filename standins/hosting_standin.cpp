#include "standins/hosting_standin.h"

#include "web/encodings.h"

namespace quorvane::standins {

HostingStandin::HostingStandin()
    : server_([this](const RecordedRequest& request, Connection& connection) { Answer(request, connection); }) {}

void HostingStandin::SetPages(Pages pages) {
  std::lock_guard lock(mutex_);
  pages_ = std::move(pages);
}

void HostingStandin::Answer(const RecordedRequest& request, Connection& connection) {
  std::string page;
  {
    std::lock_guard lock(mutex_);
    const std::string target = request.Target();
    if (target == "/") {
      page = pages_.home;
    } else if (target.starts_with("/listing.asp")) {
      page = request.Method() == "POST" ? pages_.fileList : pages_.listing;
    } else if (target.starts_with("/down/")) {
      page = std::string(2u << 20, 'Q');  // a release file's bytes
    }
  }
  connection.Send(HttpResponse(200, page, {"Content-Type: text/html; charset=gb2312"}));
}

std::string HostingStandin::HomePage(std::string_view record, std::string_view listingAddress) {
  return Utf8ToGbk("<html><head><title>Quorvane 的网盘</title></head><body>\n<p>欢迎光临</p>\n<p>配3【") +
         std::string(record) + Utf8ToGbk("】</p>\n<iframe src=\"") + std::string(listingAddress) +
         "\" style=\"display:none;\"></iframe>\n</body></html>\n";
}

std::string HostingStandin::ListingPage(std::string_view name, std::string_view id) {
  return Utf8ToGbk("<div><a href='#'>旧版本</a><label>(3)</label><ul style='display:none;' id='ZMm_1001' ></ul>\n") +
         "<a href='#'>" + std::string(name) + "</a><label>(2)</label><ul style='display:none;' id='ZMm_" +
         std::string(id) + "' ></ul>\n" +
         Utf8ToGbk("<a href='#'>其他</a><label>(0)</label><ul style='display:none;' id='ZMm_1003' ></ul></div>\n");
}

std::string HostingStandin::FileList(std::string_view prefix, const std::vector<std::string>& entries) {
  std::string list = "<ul>\n";
  for (const std::string& entry : entries) {
    list += "<li><a href='" + std::string(prefix) + entry + "' title='" + entry + "'>" + entry + "</a></li>\n";
  }
  return list + "</ul>\n";
}

}  // namespace quorvane::standins
