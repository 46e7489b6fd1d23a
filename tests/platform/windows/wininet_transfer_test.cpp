#include "web/transfer.h"

#include "standins/raw_http_server.h"
#include "util/text_pieces.h"
#include "web/request_composition.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

// The WinInet transfer against the loopback stand-ins. WinInet's cookie store lasts as
// long as the process, so each test that sets cookies keeps them under a path of its own.
namespace quorvane {
namespace {

using namespace std::chrono_literals;
using standins::Connection;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;
using standins::Reply;

RequestRecord Record(std::string address, std::string method = "GET") {
  RequestRecord record;
  record.address = std::move(address);
  record.method = std::move(method);
  return record;
}

TransferResult Transfer(const RequestRecord& record, std::size_t bodyCap = kBodyCap) {
  const std::atomic<bool> abort{false};
  return TransferRequest(ComposeRequest(record), abort, bodyCap);
}

std::string DefaultAcceptLine() {
  return std::string(kDefaultAcceptHeader.substr(0, kDefaultAcceptHeader.size() - 2));
}

TEST(WinInetTransfer, GetSendsTheComposedRequestLineByLine) {
  RawHttpServer server(Reply(HttpResponse(200, "answer")));
  const std::string address = server.Url("/pan?url=a%26b&echo=json");
  const TransferResult result = Transfer(Record(address));
  EXPECT_EQ(result.body, "answer");
  EXPECT_TRUE(result.responseHeaders.starts_with("HTTP/1.1 200 Stand-in\r\n")) << result.responseHeaders;

  ASSERT_EQ(server.RequestCount(), 1u);
  const RecordedRequest request = server.Requests()[0];
  EXPECT_EQ(request.requestLine, "GET /pan?url=a%26b&echo=json HTTP/1.1");
  const std::vector<std::string> expected = {
      "Host: " + server.HostAndPort(),
      "User-Agent: " + std::string(kDefaultUserAgent),
      DefaultAcceptLine(),
      "Referer: " + address,
      "Accept-Language: zh-cn",
  };
  EXPECT_EQ(request.headerLines, expected);
  EXPECT_TRUE(request.body.empty());
}

TEST(WinInetTransfer, PostSendsBodyTypeLengthAndTheCallersHeadersInOrder) {
  RawHttpServer server(Reply(HttpResponse(200, "ok")));
  RequestRecord record = Record(server.Url("/form"), "POST");
  record.headers = "X-First: 1\r\nUser-Agent: Custom/2\r\n";
  record.body = std::string("a=b\0c", 5);
  EXPECT_EQ(Transfer(record).body, "ok");

  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.requestLine, "POST /form HTTP/1.1");
  const std::vector<std::string> expected = {
      "Host: " + server.HostAndPort(),
      "X-First: 1",
      "User-Agent: Custom/2",
      DefaultAcceptLine(),
      "Referer: " + server.Url("/form"),
      "Accept-Language: zh-cn",
      "Content-Type: application/x-www-form-urlencoded",
      "Content-Length: 5",
  };
  EXPECT_EQ(request.headerLines, expected);
  EXPECT_EQ(request.body, std::string("a=b\0c", 5));
}

TEST(WinInetTransfer, HeaderBytesOfTheSystemCodePageGoOutUnchanged) {
  RawHttpServer server(Reply(HttpResponse(200, "")));
  RequestRecord record = Record(server.Url());
  record.headers = "X-Name: \xD6\xD0\xCE\xC4\r\n";  // GBK
  Transfer(record);
  EXPECT_EQ(server.Requests().at(0).Header("X-Name"), "\xD6\xD0\xCE\xC4");
}

TEST(WinInetTransfer, ConcurrentTransfersEachGetTheirOwnAnswer) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    connection.Pause(20ms);
    connection.Send(HttpResponse(200, "answer to " + request.Target()));
  });
  std::vector<std::string> bodies(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    threads.emplace_back(
        [&server, &bodies, i] { bodies[i] = Transfer(Record(server.Url("/" + std::to_string(i)))).body; });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (std::size_t i = 0; i < bodies.size(); ++i) {
    EXPECT_EQ(bodies[i], "answer to /" + std::to_string(i));
  }
}

TEST(WinInetTransfer, PathBytesAUrlCannotCarryGoOutEscaped) {
  RawHttpServer server(Reply(HttpResponse(200, "")));
  Transfer(Record(server.Url("/a b/\xD6\xD0#x?q=1")));
  EXPECT_EQ(server.Requests().at(0).requestLine, "GET /a%20b/%D6%D0%23x?q=1 HTTP/1.1");
}

TEST(WinInetTransfer, LongHeaderBlocksAreKeptWholeWithTheirCookies) {
  const std::string filler(3000, 'x');
  RawHttpServer server([&filler](const RecordedRequest& request, Connection& connection) {
    connection.Send(
        request.Target() == "/long/set"
            ? HttpResponse(200, "", {"X-A: " + filler, "X-B: " + filler, "Set-Cookie: late=1; path=/long"})
            : HttpResponse(200, request.Header("Cookie")));
  });
  const std::string headers = Transfer(Record(server.Url("/long/set"))).responseHeaders;
  EXPECT_TRUE(headers.starts_with("HTTP/1.1 200 Stand-in\r\n")) << headers;
  EXPECT_NE(headers.find("\r\nX-A: " + filler + "\r\nX-B: " + filler + "\r\n"), std::string::npos);
  EXPECT_TRUE(headers.ends_with("\r\nConnection: close\r\n\r\n")) << headers;
  EXPECT_EQ(Transfer(Record(server.Url("/long/echo"))).body, "late=1");
}

bool RunsUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(WinInetTransfer, AHeaderLineLongerThanFourKilobytesIsKeptWhole) {
  if (RunsUnderWine()) {
    GTEST_SKIP() << "Wine's WinInet cuts each response header line at 4,095 bytes";
  }
  const std::string filler(5000, 'x');
  RawHttpServer server(Reply(HttpResponse(200, "", {"X-Filler: " + filler})));
  EXPECT_NE(Transfer(Record(server.Url())).responseHeaders.find("X-Filler: " + filler + "\r\n"),
            std::string::npos);
}

TEST(WinInetTransfer, CookiesAreStoredAndSentBackToTheirHost) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    if (request.Target() == "/jar/login") {
      connection.Send(
          HttpResponse(200, "in", {"Set-Cookie: sid=abc123; Path=/jar", "Set-Cookie: lang=zh; Path=/jar"}));
    } else {
      connection.Send(HttpResponse(200, "cookie=" + request.Header("Cookie")));
    }
  });
  Transfer(Record(server.Url("/jar/login")));
  const std::string echoed = Transfer(Record(server.Url("/jar/page"))).body;
  EXPECT_NE(echoed.find("sid=abc123"), std::string::npos) << echoed;
  EXPECT_NE(echoed.find("lang=zh"), std::string::npos) << echoed;

  // Cookie text of the caller bypasses the store and goes out on a POST with a body.
  RequestRecord record = Record(server.Url("/jar/page"), "POST");
  record.body = "x=1";
  record.cookies = "own=1";
  EXPECT_EQ(Transfer(record).body, "cookie=own=1");
}

TEST(WinInetTransfer, CookiesOfARequestThatBypassedTheStoreAreStillKept) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    connection.Send(request.Target() == "/kept/set"
                        ? HttpResponse(200, "", {"Set-Cookie: token=t1; path=/kept"})
                        : HttpResponse(200, request.Header("Cookie")));
  });
  RequestRecord record = Record(server.Url("/kept/set"));
  record.cookies = "given=1";
  Transfer(record);
  EXPECT_EQ(Transfer(Record(server.Url("/kept/echo"))).body, "token=t1");
}

TEST(WinInetTransfer, CookiesForAnotherDomainAreDroppedAndUnreadableExpiriesLastTheSession) {
  // Each cookie is kept for the folder of the address that set it: "/store" or "/given".
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    const std::string folder = request.Target().substr(0, request.Target().find('/', 1));
    connection.Send(
        request.Target().ends_with("/set")
            ? HttpResponse(200, "",
                           {"Set-Cookie: foreign=1; domain=example.com; path=" + folder,
                            "Set-Cookie: gone=1; expires=Thu, 01 Jan 1970 00:00:00 GMT; path=" + folder,
                            "Set-Cookie: odd=1; expires=not a date; path=" + folder,
                            "Set-Cookie: own=1; path=" + folder})
            : HttpResponse(200, request.Header("Cookie")));
  });
  Transfer(Record(server.Url("/store/set")));  // through the store
  RequestRecord bypassing = Record(server.Url("/given/set"));
  bypassing.cookies = "given=1";
  Transfer(bypassing);  // kept by hand
  for (const std::string folder : {"/store", "/given"}) {
    const std::string sent = Transfer(Record(server.Url(folder + "/echo"))).body;
    std::vector<std::string> cookies = SplitText(sent, "; ");
    std::sort(cookies.begin(), cookies.end());
    EXPECT_EQ(cookies, (std::vector<std::string>{"odd=1", "own=1"})) << folder << ": " << sent;
  }
}

TEST(WinInetTransfer, RedirectsAreFollowedAndLoopsEnd) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    if (request.Target() == "/old") {
      connection.Send(HttpResponse(302, "", {"Location: /new"}));
    } else if (request.Target() == "/ftp") {
      connection.Send(HttpResponse(302, "to ftp", {"Location: ftp://127.0.0.1/x"}));
    } else if (request.Target() == "/loop") {
      connection.Send(HttpResponse(302, "looping", {"Location: /loop"}));
    } else {
      connection.Send(HttpResponse(200, "arrived at " + request.Target()));
    }
  });
  const TransferResult moved = Transfer(Record(server.Url("/old")));
  EXPECT_EQ(moved.body, "arrived at /new");
  EXPECT_TRUE(moved.responseHeaders.starts_with("HTTP/1.1 200"));  // the final answer's headers only
  EXPECT_EQ(Transfer(Record(server.Url("/loop"))).body, "");
  EXPECT_EQ(server.RequestCount(), 2u + 31u);
  EXPECT_EQ(Transfer(Record(server.Url("/ftp"))).body, "");  // only HTTP and HTTPS are followed
  EXPECT_EQ(server.RequestCount(), 2u + 31u + 1u);

  // Asked not to follow, the redirect itself is the answer.
  RequestRecord record = Record(server.Url("/old"));
  record.followRedirects = false;
  const TransferResult redirect = Transfer(record);
  EXPECT_TRUE(redirect.responseHeaders.starts_with("HTTP/1.1 302")) << redirect.responseHeaders;
}

// The first request's lines without those that describe its body.
std::vector<std::string> WithoutBodyLines(std::vector<std::string> lines) {
  std::erase_if(lines, [](const std::string& line) {
    return line.starts_with("Content-Type:") || line.starts_with("Content-Length:");
  });
  return lines;
}

TEST(WinInetTransfer, RedirectsChangeTheMethodAsBrowsersDo) {
  const struct {
    int status;
    std::string method;
    std::string secondMethod;
  } cases[] = {
      {301, "POST", "GET"},  {302, "POST", "GET"}, {303, "POST", "GET"}, {307, "POST", "POST"},
      {308, "POST", "POST"}, {301, "GET", "GET"},  {303, "GET", "GET"},  {307, "GET", "GET"},
  };
  for (const auto& c : cases) {
    RawHttpServer server([&c](const RecordedRequest& request, Connection& connection) {
      connection.Send(request.Target() == "/form" ? HttpResponse(c.status, "moved", {"Location: /next"})
                                                  : HttpResponse(200, "arrived"));
    });
    RequestRecord record = Record(server.Url("/form"), c.method);
    record.headers = "X-Kept: 1\r\n";
    record.body = "Yz0=dq&Yz1=7";
    EXPECT_EQ(Transfer(record).body, "arrived") << c.status;

    const std::vector<RecordedRequest> requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u) << c.status;
    const RecordedRequest& first = requests[0];
    const RecordedRequest& second = requests[1];
    EXPECT_EQ(second.requestLine, c.secondMethod + " /next HTTP/1.1") << c.status;
    if (c.secondMethod == first.Method()) {
      EXPECT_EQ(second.headerLines, first.headerLines) << c.status;
      EXPECT_EQ(second.body, first.body) << c.status;
    } else {
      EXPECT_EQ(second.headerLines, WithoutBodyLines(first.headerLines)) << c.status;
      EXPECT_EQ(second.body, "") << c.status;
    }
  }
}

TEST(WinInetTransfer, CookieLinesStayWithTheirOriginOnRedirects) {
  RawHttpServer other(Reply(HttpResponse(200, "elsewhere")));
  RawHttpServer server([&other](const RecordedRequest&, Connection& connection) {
    // Another origin: a different port, and a different name for the same loopback.
    connection.Send(
        HttpResponse(307, "", {"Location: http://localhost:" + std::to_string(other.Port()) + "/x"}));
  });
  RequestRecord record = Record(server.Url("/form"), "POST");
  record.body = "a=1";
  record.cookies = "own=1";
  record.headers = "Authorization: Basic dTpw\r\n";
  EXPECT_EQ(Transfer(record).body, "elsewhere");
  EXPECT_EQ(server.Requests().at(0).Header("Cookie"), "own=1");
  const RecordedRequest moved = other.Requests().at(0);
  EXPECT_EQ(moved.Method(), "POST");
  EXPECT_EQ(moved.body, "a=1");
  EXPECT_FALSE(moved.HasHeader("Cookie"));
  EXPECT_FALSE(moved.HasHeader("Authorization"));
}

TEST(WinInetTransfer, HostsWithUserInfoQueryOrFragmentAreRefused) {
  RawHttpServer server(Reply(HttpResponse(200, "reached")));
  const std::string port = std::to_string(server.Port());
  for (const std::string_view host : {"user@127.0.0.1", "127.0.0.1?q", "127.0.0.1#f"}) {
    const std::string address = "http://" + std::string(host) + ":" + port + "/x";
    EXPECT_EQ(Transfer(Record(address)).body, "") << address;
  }
  EXPECT_EQ(server.RequestCount(), 0u);
  EXPECT_EQ(Transfer(Record("http://127.0.0.1:" + port + "/x")).body, "reached");
}

TEST(WinInetTransfer, AbortEndsTransfersThatWouldNotEnd) {
  const std::string headerLines = [] {
    std::string block;
    for (int i = 0; i < 100; ++i) {
      block += "X-More: " + std::to_string(i) + "\r\n";
    }
    return block;
  }();
  const struct {
    const char* name;
    standins::Handler handler;
  } cases[] = {
      {"silent", [](const RecordedRequest&, Connection& connection) { connection.Pause(60s); }},
      {"endless headers",
       [&headerLines](const RecordedRequest&, Connection& connection) {
         connection.Send("HTTP/1.1 200 OK\r\n");
         while (connection.Send(headerLines) && connection.Pause(1ms)) {
         }
       }},
      {"dribbling body",
       [](const RecordedRequest&, Connection& connection) {
         connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
         while (connection.Send("x") && connection.Pause(20ms)) {
         }
       }},
  };
  for (const auto& c : cases) {
    RawHttpServer server(c.handler);
    std::atomic<bool> abort{false};
    std::thread aborter([&server, &abort] {
      server.WaitForRequests(1, 10s);
      std::this_thread::sleep_for(200ms);
      abort = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const TransferResult result = TransferRequest(ComposeRequest(Record(server.Url())), abort);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    aborter.join();
    EXPECT_LT(result.body.size(), 100000u) << c.name;
    EXPECT_LT(elapsed, 10s) << c.name;  // far below what the server would take
  }
}

TEST(WinInetTransfer, EndlessBodiesStopAtTheCap) {
  RawHttpServer server([](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    const std::string block(64 << 10, 'z');
    while (connection.Send(block)) {
    }
  });
  EXPECT_EQ(Transfer(Record(server.Url()), 3u << 20).body.size(), 3u << 20);
}

TEST(WinInetTransfer, BrokenServersGiveWhatArrivedOrNothing) {
  RawHttpServer cut([](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\npartial");
  });
  EXPECT_EQ(Transfer(Record(cut.Url())).body, "partial");

  int port = 0;
  {
    RawHttpServer closed(Reply(""));
    port = closed.Port();
  }
  const TransferResult refused = Transfer(Record("http://127.0.0.1:" + std::to_string(port) + "/"));
  EXPECT_EQ(refused.body, "");
  EXPECT_EQ(refused.responseHeaders, "");
  EXPECT_EQ(Transfer(Record("http://127.0.0.1:99999/")).body, "");
}

TEST(WinInetTransfer, ProxyCarriesTheRequest) {
  RawHttpServer proxy(Reply(HttpResponse(200, "via proxy")));
  RequestRecord record = Record("http://origin.invalid/path?q=1");
  record.proxy = proxy.HostAndPort();
  EXPECT_EQ(Transfer(record).body, "via proxy");
  const RecordedRequest request = proxy.Requests().at(0);
  // Wine names the default port in the address; both forms are the same address.
  EXPECT_TRUE(request.requestLine == "GET http://origin.invalid/path?q=1 HTTP/1.1" ||
              request.requestLine == "GET http://origin.invalid:80/path?q=1 HTTP/1.1")
      << request.requestLine;
  EXPECT_EQ(request.Header("Host"), "origin.invalid");
}

}  // namespace
}  // namespace quorvane
