// Linked with the on-demand libcurl entry points the programs use (not with libcurl),
// together with the whole WebAccess suite, which then runs over them.
#include "resolve/size_probe.h"
#include "standins/download_standin.h"
#include "standins/raw_http_server.h"
#include "web/web_access.h"

#include <gtest/gtest.h>

#include <link.h>

#include <string_view>

namespace quorvane {
namespace {

bool LibcurlLoaded() {
  bool found = false;
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* user) {
        if (std::string_view(info->dlpi_name).find("libcurl") != std::string_view::npos) {
          *static_cast<bool*>(user) = true;
        }
        return 0;
      },
      &found);
  return found;
}

TEST(CurlOnDemand, LibcurlIsOpenedByTheFirstRequest) {
  EXPECT_FALSE(LibcurlLoaded());
  standins::RawHttpServer server(standins::Reply(standins::HttpResponse(200, "the body")));
  EXPECT_EQ(FetchText(server.Url("/x")), "the body");
  EXPECT_TRUE(LibcurlLoaded());
}

TEST(CurlOnDemand, TheSizeProbeReadsLargeLengths) {
  standins::DownloadStandin downloads({{"/disk.iso", 5000000000}});
  EXPECT_EQ(ProbeFileSize(downloads.Url("/disk.iso")), 5000000000);
}

}  // namespace
}  // namespace quorvane
