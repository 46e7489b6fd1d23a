#include "standins/download_standin.h"
#include "standins/raw_http_server.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quorvane::standins {
namespace {

using namespace std::chrono_literals;

// A plain socket client, so the stand-ins are checked on their own on every platform.
std::string Exchange(int port, std::string_view request) {
  sockets::Start();
  const sockets::Socket client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  std::string answer;
  if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      sockets::Send(client, request.data(), request.size(), sockets::kNoSignal) == static_cast<long>(request.size())) {
    char chunk[4096];
    for (long received; (received = sockets::Receive(client, chunk, sizeof chunk, 0)) > 0;) {
      answer.append(chunk, static_cast<std::size_t>(received));
    }
  }
  sockets::Close(client);
  return answer;
}

TEST(RawHttpServer, RecordsTheRequestAsSentAndSendsTheAnswer) {
  RawHttpServer server(Reply(HttpResponse(200, "ok")));
  const std::string request = "POST /a?b=c HTTP/1.1\r\nHost: x\r\nX-Odd:  spaced \r\nContent-Length: 4\r\n\r\nbody";
  EXPECT_EQ(Exchange(server.Port(), request),
            "HTTP/1.1 200 Stand-in\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok");
  ASSERT_EQ(server.RequestCount(), 1U);
  const RecordedRequest recorded = server.Requests().front();
  EXPECT_EQ(recorded.raw, request);
  EXPECT_EQ(recorded.Method(), "POST");
  EXPECT_EQ(recorded.Target(), "/a?b=c");
  EXPECT_EQ(recorded.headerLines, (std::vector<std::string>{"Host: x", "X-Odd:  spaced ", "Content-Length: 4"}));
  EXPECT_EQ(recorded.Header("x-odd"), "spaced");
  EXPECT_EQ(recorded.body, "body");
}

TEST(RawHttpServer, APauseEndsWhenTheClientHangsUp) {
  std::atomic<bool> paused{true};
  RawHttpServer server([&paused](const RecordedRequest&, Connection& connection) {
    paused = connection.Pause(60s);
  });
  sockets::Start();
  const sockets::Socket client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(server.Port()));
  ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string request = "GET / HTTP/1.1\r\n\r\n";
  sockets::Send(client, request.data(), request.size(), sockets::kNoSignal);
  ASSERT_TRUE(server.WaitForRequests(1, 10s));
  sockets::Close(client);
  // The handler returns long before its minute is up, and reports the hang-up.
  for (int i = 0; i < 1000 && server.OpenConnections() > 0; ++i) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(server.OpenConnections(), 0);
  EXPECT_FALSE(paused);
}

TEST(DownloadStandin, AnswersHeadAndRangeRequests) {
  DownloadStandin server({{"/files/big.zip", 5'000'000'000ULL}});
  const int port = std::stoi(server.Url().substr(server.Url().rfind(':') + 1));
  const std::string head = Exchange(port, "HEAD /files/big.zip HTTP/1.1\r\nHost: a\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0U) << head;
  EXPECT_NE(head.find("Content-Length: 5000000000\r\n"), std::string::npos) << head;
  const std::string range =
      Exchange(port, "GET /files/big.zip HTTP/1.1\r\nHost: a\r\nRange: bytes=4999999998-\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(range.rfind("HTTP/1.1 206 Partial Content\r\n", 0), 0U) << range;
  const std::string lastBytes{DownloadStandin::ByteAt(4999999998ULL), DownloadStandin::ByteAt(4999999999ULL)};
  EXPECT_EQ(range.substr(range.find("\r\n\r\n") + 4), lastBytes);
}

}  // namespace
}  // namespace quorvane::standins
