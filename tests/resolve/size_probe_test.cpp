#include "resolve/size_probe.h"

#include "standins/raw_http_server.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace std::chrono_literals;
using standins::Connection;
using standins::Handler;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;
using standins::Reply;

// A HEAD answer: headers only, whatever Content-Length says.
std::string HeadAnswer(int status, const std::vector<std::string>& headers) {
  std::string answer = "HTTP/1.1 " + std::to_string(status) + " Stand-in\r\n";
  for (const std::string& header : headers) {
    answer += header + "\r\n";
  }
  return answer + "Connection: close\r\n\r\n";
}

TEST(ProbeFileSize, SendsAHeadWithItsThreeHeaderLines) {
  RawHttpServer server(Reply(HeadAnswer(200, {"Content-Length: 12345678"})));
  EXPECT_EQ(ProbeFileSize(server.Url("/files/a.zip?sig=1")), 12345678);
  const RecordedRequest request = server.Requests().at(0);
  EXPECT_EQ(request.requestLine, "HEAD /files/a.zip?sig=1 HTTP/1.1");
  EXPECT_EQ(request.Header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1)");
  EXPECT_EQ(request.Header("Accept-Language"), "zh-cn");
  EXPECT_EQ(request.Header("Connection"), "Keep-Alive");
}

TEST(ProbeFileSize, ReadsTheSizeFromTheAnswer) {
  const struct {
    std::string answer;
    std::int64_t expected;
  } cases[] = {
      {HeadAnswer(200, {"Content-Length: 5000000000"}), 5000000000},  // beyond 32 bits
      {HeadAnswer(200, {"Content-Length: 0"}), 0},
      {HeadAnswer(200, {}), 0},                                       // no Content-Length
      {HeadAnswer(200, {"Content-Length: lots"}), 0},                 // not a number
      {HeadAnswer(200, {"Content-Length: 99999999999999999999999"}), 0},
      {HeadAnswer(404, {"Content-Length: 10"}), kProbeFailed},
      {HeadAnswer(206, {"Content-Length: 10"}), kProbeFailed},
      {HeadAnswer(500, {}), kProbeFailed},
      {"garbage\r\n\r\n", kProbeFailed},
  };
  for (const auto& c : cases) {
    RawHttpServer server(Reply(c.answer));
    EXPECT_EQ(ProbeFileSize(server.Url("/f")), c.expected) << c.answer;
  }
}

TEST(ProbeFileSize, FollowsRedirects) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    connection.Send(request.Target() == "/short" ? HeadAnswer(302, {"Location: /real"})
                                                 : HeadAnswer(200, {"Content-Length: 4096"}));
  });
  EXPECT_EQ(ProbeFileSize(server.Url("/short")), 4096);
  EXPECT_EQ(server.RequestCount(), 2u);
}

TEST(ProbeFileSize, FailuresGiveMinusOne) {
  int port = 0;
  {
    RawHttpServer gone(Reply(""));
    port = gone.Port();
  }
  EXPECT_EQ(ProbeFileSize("http://127.0.0.1:" + std::to_string(port) + "/f"), kProbeFailed);
  EXPECT_EQ(ProbeFileSize(""), kProbeFailed);
  EXPECT_EQ(ProbeFileSize("not an address"), kProbeFailed);
  EXPECT_EQ(ProbeFileSize("file:///etc/passwd"), kProbeFailed);
}

TEST(ProbeFileSize, EndlessHeadersFail) {
  RawHttpServer server([](const RecordedRequest&, Connection& connection) {
    connection.Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n");
    while (connection.Send("X-More: 0123456789abcdef\r\n")) {
    }
  });
  EXPECT_EQ(ProbeFileSize(server.Url("/f")), kProbeFailed);
}

TEST(ProbeFileSize, TheAnswerMustBeginWithinTheReceiveLimit) {
  ProbeTimeouts limits;  // resolve, connect and send keep their own, longer limits
  limits.receive = 400ms;
  const struct {
    std::string name;
    Handler handler;
    std::int64_t expected;
  } cases[] = {
      {"never answers", [](const RecordedRequest&, Connection& connection) { connection.Pause(30s); },
       kProbeFailed},
      {"answers late",
       [](const RecordedRequest&, Connection& connection) {
         if (connection.Pause(2s)) {
           connection.Send(HeadAnswer(200, {"Content-Length: 10"}));
         }
       },
       kProbeFailed},
      {"answers in time",
       [](const RecordedRequest&, Connection& connection) {
         connection.Pause(50ms);
         connection.Send(HeadAnswer(200, {"Content-Length: 10"}));
       },
       10},
      // Each line comes well within the limit, all of them together well beyond it.
      {"answers line by line",
       [](const RecordedRequest&, Connection& connection) {
         connection.Send("HTTP/1.1 200 OK\r\n");
         for (int i = 0; i < 8 && connection.Pause(100ms); ++i) {
           connection.Send("X-Line: " + std::to_string(i) + "\r\n");
         }
         connection.Send("Content-Length: 10\r\nConnection: close\r\n\r\n");
       },
       10},
  };
  for (const auto& c : cases) {
    RawHttpServer server(c.handler);
    const auto start = Clock::now();
    EXPECT_EQ(ProbeFileSize(server.Url("/f"), nullptr, limits), c.expected) << c.name;
    EXPECT_LT(Clock::now() - start, limits.connect) << c.name;  // not the sum of all limits
  }
}

TEST(ProbeFileSize, AServerThatNeverAnswersIsGivenUpAfterFiveSeconds) {
  RawHttpServer server([](const RecordedRequest&, Connection& connection) { connection.Pause(60s); });
  int dispatched = 0;
  PollingEventPump pump([&dispatched] { ++dispatched; }, 10ms);
  const auto start = Clock::now();
  EXPECT_EQ(ProbeFileSize(server.Url("/f"), &pump), kProbeFailed);
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(elapsed, 5s);
  EXPECT_LT(elapsed, 10s);
  EXPECT_GE(dispatched, 100);
}

TEST(ProbeFileSize, StalledServerIsGivenUpWhileEventsKeepFlowing) {
  RawHttpServer server([](const RecordedRequest&, Connection& connection) { connection.Pause(30s); });
  int dispatched = 0;
  PollingEventPump pump([&dispatched] { ++dispatched; }, 10ms);
  ProbeTimeouts shortened;
  shortened.resolve = 200ms;
  shortened.connect = 200ms;
  shortened.send = 200ms;
  shortened.receive = 1000ms;
  const auto start = Clock::now();
  EXPECT_EQ(ProbeFileSize(server.Url("/f"), &pump, shortened), kProbeFailed);
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_GE(dispatched, 20);
}

}  // namespace
}  // namespace quorvane
