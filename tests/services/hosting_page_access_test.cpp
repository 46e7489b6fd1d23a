#include "services/hosting_page_access.h"

#include "standins/raw_http_server.h"
#include "web/cookie_store.h"
#include "web/web_access.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using standins::Connection;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;
using standins::Reply;

const std::string kAcceptLine =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";

TEST(HostingPageAccess, ParsesAddressesItsOwnWay) {
  const struct {
    std::string address, host;
    int port;
    std::string path;
  } cases[] = {
      {"http://pages.test", "pages.test", 80, "/"},
      {"http://pages.test:8080/dir/list?id=3", "pages.test", 8080, "/dir/list?id=3"},
      {"HTTP://Pages.TEST/Dir/File", "pages.test", 80, "/Dir/File"},
      {"pages.test/x/y", "pages.test", 80, "/x/y"},
      {"pages.test:81", "pages.test", 81, "/"},
  };
  for (const auto& c : cases) {
    const HostingAddress parsed = ParseHostingAddress(c.address);
    EXPECT_EQ(parsed.host, c.host) << c.address;
    EXPECT_EQ(parsed.port, c.port) << c.address;
    EXPECT_EQ(parsed.path, c.path) << c.address;
  }
}

TEST(HostingPageAccess, GetSendsTheFixedAgentAndDefaultLines) {
  RawHttpServer server(Reply(HttpResponse(404, "error page body")));
  HostingRequest request;
  request.address = server.Url("/home?a=1");
  std::string headers;
  EXPECT_EQ(HostingPageAccess(request, &headers), "error page body");  // no status check
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 404"));
  EXPECT_EQ(request.method, "GET");

  const RecordedRequest sent = server.Requests().at(0);
  EXPECT_EQ(sent.requestLine, "GET /home?a=1 HTTP/1.1");
  const std::vector<std::string> expected = {
      "Host: " + server.HostAndPort(),
      std::string("User-Agent: ") + kHostingUserAgent,
      kAcceptLine,
      "Referer: " + server.Url("/home?a=1"),
      "Accept-Language: zh-cn",
  };
  EXPECT_EQ(sent.headerLines, expected);
}

TEST(HostingPageAccess, MethodsAndBodies) {
  RawHttpServer server(Reply(HttpResponse(200, "ok")));
  const struct {
    std::string method, body, sentMethod;
    bool hasContentHeaders;
  } cases[] = {
      {"POST", "Yz0=dq&Yz1=7", "POST", true},
      {"post", "a=1", "post", true},
      {"POST", "", "POST", false},
      {"get", "ignored", "GET", false},
      {"PUT", "ignored", "GET", false},
      {"", "", "GET", false},
  };
  for (const auto& c : cases) {
    HostingRequest request;
    request.address = server.Url("/form");
    request.method = c.method;
    request.body = c.body;
    HostingPageAccess(request);
    const RecordedRequest sent = server.Requests().back();
    EXPECT_EQ(sent.Method(), c.sentMethod) << c.method;
    EXPECT_EQ(sent.HasHeader("Content-Type"), c.hasContentHeaders) << c.method;
    EXPECT_EQ(sent.HasHeader("Content-Length"), c.hasContentHeaders) << c.method;
    if (c.hasContentHeaders) {
      EXPECT_EQ(sent.body, c.body);
      EXPECT_EQ(sent.Header("Content-Length"), std::to_string(c.body.size()));
      EXPECT_EQ(sent.Header("Content-Type"), "application/x-www-form-urlencoded");
    }
  }
}

TEST(HostingPageAccess, AFormPostRedirectedGoesOnAsBrowsersDo) {
  const struct {
    int status;
    std::string method, secondMethod;
    bool secondHasBody;
  } cases[] = {
      {302, "POST", "GET", false}, {303, "POST", "GET", false}, {301, "post", "GET", false},
      {307, "POST", "POST", true}, {308, "post", "post", true},
  };
  for (const auto& c : cases) {
    RawHttpServer server([&c](const RecordedRequest& request, Connection& connection) {
      connection.Send(request.Target() == "/form" ? HttpResponse(c.status, "", {"Location: /list"})
                                                  : HttpResponse(200, "file list"));
    });
    HostingRequest request;
    request.address = server.Url("/form");
    request.method = c.method;
    request.body = "Yz0=dq&Yz1=7";
    std::string headers;
    HostingTimeouts shortened;  // a second request that waits for a body never comes would stall
    shortened.connect = 2s;
    shortened.sendAndReceive = 2s;
    EXPECT_EQ(HostingPageAccess(request, &headers, shortened), "file list") << c.status;
    EXPECT_TRUE(headers.starts_with("HTTP/1.1 200")) << c.status;

    const RecordedRequest second = server.Requests().at(1);
    EXPECT_EQ(second.requestLine, c.secondMethod + " /list HTTP/1.1") << c.status;
    EXPECT_EQ(second.HasHeader("Content-Type"), c.secondHasBody) << c.status;
    EXPECT_EQ(second.HasHeader("Content-Length"), c.secondHasBody) << c.status;
    EXPECT_EQ(second.body, c.secondHasBody ? request.body : "") << c.status;
    EXPECT_EQ(second.Header("Referer"), server.Url("/form")) << c.status;
  }
}

TEST(HostingPageAccess, HostsThatLibcurlWouldReadOtherwiseAreRefused) {
  RawHttpServer server(Reply(HttpResponse(200, "reached")));
  const std::string port = std::to_string(server.Port());
  for (const std::string_view host : {"user@127.0.0.1", "127.0.0.1?q", "127.0.0.1#f"}) {
    HostingRequest request;
    request.address = "http://" + std::string(host) + ":" + port + "/x";
    EXPECT_EQ(HostingPageAccess(request), "") << request.address;
  }
  EXPECT_EQ(server.RequestCount(), 0u);
}

TEST(HostingPageAccess, CallerLinesSuppressOnlyTheirOwnDefault) {
  RawHttpServer server(Reply(HttpResponse(200, "")));
  HostingRequest request;
  request.address = server.Url("/");
  request.headers = "accept: text/html\r\n";
  HostingPageAccess(request);
  EXPECT_EQ(request.headers, "accept: text/html\r\nReferer: " + server.Url("/") + "\r\nAccept-Language: zh-cn\r\n");
  const RecordedRequest sent = server.Requests().at(0);
  EXPECT_EQ(sent.Header("Accept"), "text/html");
}

TEST(HostingPageAccess, SharesTheCookieStoreWithTheMainClient) {
  CookieStore::Process().Clear();
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    connection.Send(request.Target() == "/set" ? HttpResponse(200, "", {"Set-Cookie: shared=yes"})
                                               : HttpResponse(200, request.Header("Cookie")));
  });
  FetchText(server.Url("/set"));
  HostingRequest request;
  request.address = server.Url("/echo");
  EXPECT_EQ(HostingPageAccess(request), "shared=yes");
}

TEST(HostingPageAccess, GivesUpOnAStalledServerAndOnNoServer) {
  RawHttpServer stalled([](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nbeginning");
    connection.Pause(30s);
  });
  HostingRequest request;
  request.address = stalled.Url("/");
  HostingTimeouts shortened;
  shortened.connect = 500ms;
  shortened.sendAndReceive = 1000ms;
  const auto start = Clock::now();
  EXPECT_EQ(HostingPageAccess(request, nullptr, shortened), "beginning");
  EXPECT_LT(Clock::now() - start, 5s);

  int port = 0;
  {
    RawHttpServer gone(Reply(""));
    port = gone.Port();
  }
  request.address = "http://127.0.0.1:" + std::to_string(port) + "/";
  EXPECT_EQ(HostingPageAccess(request), "");
}

}  // namespace
}  // namespace quorvane
