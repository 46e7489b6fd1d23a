#include "web/cookie_rules.h"
#include "web/http_date.h"
#include "web/http_rules.h"

#include <gtest/gtest.h>

#include <optional>

namespace quorvane {
namespace {

TEST(HttpDate, ReadsTheFormsServersWrite) {
  const struct {
    const char* text;
    std::optional<long long> seconds;
  } cases[] = {
      {"Wed, 09 Jun 2021 10:18:14 GMT", 1623233894},
      {"Wednesday, 09-Jun-21 10:18:14 GMT", 1623233894},
      {"Wed Jun  9 10:18:14 2021", 1623233894},
      {"09 Jun 2021 10:18:14 +0200", 1623226694},
      {"Thu, 01 Jan 1970 00:00:01 GMT", 1},
      {"Wed, 01 Jan 2070 00:00:00 GMT", 3155760000},
      {"Fri, 31-Dec-1965 23:59:59 GMT", -126230401},
      {"Sun, 06 Nov 1994", 784080000},  // no time: midnight
      {"someday", std::nullopt},
      {"", std::nullopt},
      {"never", std::nullopt},
      {"Wed, 09 2021 10:18:14 GMT", std::nullopt},  // no month
      {"Wed, Jun 2021 10:18:14 GMT", std::nullopt},  // no day
      {"Wed, 09 Jun 10:18:14 GMT", std::nullopt},    // no year
      {"Wed, 09 Jun 2021 25:18:14 GMT", std::nullopt},
      {"Wed, 09 Jun 2021 10:18:14 XYZ", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseHttpDate(c.text), c.seconds) << c.text;
  }
}

TEST(HttpRules, OriginsCompareSchemeHostAndPort) {
  const struct {
    const char* url;
    long port;
    const char* origin;
  } cases[] = {
      {"http://Example.TEST/a?b", 0, "http|example.test|80|"},
      {"https://example.test", 0, "https|example.test|443|"},
      {"http://example.test:8080/", 0, "http|example.test|8080|"},
      {"http://example.test/", 8080, "http|example.test|8080|"},
      {"http://user:pw@example.test:81#x", 0, "http|example.test|81|"},
      {"http://[::1]:90/", 0, "http|[::1]|90|"},
      {"/relative/path", 0, ""},
      {"", 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlOrigin(c.url, c.port), c.origin) << c.url;
  }
  EXPECT_EQ(UrlHostOf("HTTP://Www.Example.TEST:80/x"), "www.example.test");
  EXPECT_EQ(UrlHostOf("no url"), "");
}

TEST(HttpRules, RedirectsChangeMethodAndDropLinesAsBrowsersDo) {
  const WireRequest post{"http://a.test/form", 0, "POST",
                         {"Cookie: c=1", "Content-Type: x", "Content-Length: 3", "Authorization: b"},
                         {"Expect", "Content-Type"}, "a=1", true};
  const struct {
    long status;
    const char* location;
    const char* method;
    std::size_t lines;  // of the four above
  } cases[] = {
      {302, "http://a.test/next", "GET", 2},   // a POST goes on as a GET, same origin
      {303, "http://b.test/next", "GET", 0},   // another origin: no cookies, no credentials
      {307, "http://a.test/next", "POST", 4},  // method and body repeated
      {308, "http://a.test:81/", "POST", 2},
  };
  for (const auto& c : cases) {
    WireRequest request = post;
    RedirectRequest(request, c.status, c.location, 0);
    EXPECT_EQ(request.url, c.location);
    EXPECT_EQ(request.method, c.method) << c.status;
    EXPECT_EQ(request.headerLines.size(), c.lines) << c.status;
    EXPECT_EQ(request.sendsBody, request.method == "POST") << c.status;
    EXPECT_EQ(request.body.empty(), request.method == "GET") << c.status;
  }
}

TEST(HttpRules, HeaderBlocksRestartAtEachAnswerAndStopAtTheCap) {
  std::string headers;
  EXPECT_TRUE(AppendHeaderLine(headers, "HTTP/1.1 302 Found\r\n"));
  EXPECT_TRUE(AppendHeaderLine(headers, "Location: /x\r\n"));
  EXPECT_TRUE(AppendHeaderLine(headers, "HTTP/1.1 200 OK\r\n"));
  EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\n");
  EXPECT_FALSE(AppendHeaderLine(headers, std::string(kHeaderCap, 'x')));
  EXPECT_EQ(headers, "HTTP/1.1 200 OK\r\n");

  std::string body = "ab";
  EXPECT_TRUE(AppendBody(body, "cd", 4));
  EXPECT_FALSE(AppendBody(body, "ef", 5));
  EXPECT_EQ(body, "abcde");
}

TEST(CookieRules, CookiesBecomeCookieFileLines) {
  const struct {
    const char* host;
    const char* cookie;
    std::optional<std::string> line;
  } cases[] = {
      {"www.example.test", "a=1", "www.example.test\tFALSE\t/\tFALSE\t0\ta\t1"},
      {"www.example.test", "a=1; Domain=.Example.TEST; Path=/p; Secure", ".example.test\tTRUE\t/p\tTRUE\t0\ta\t1"},
      {"www.example.test", "a=1; domain=other.test", std::nullopt},
      {"www.example.test", "a=1; domain=test", std::nullopt},  // a top-level name
      {"127.0.0.1", "a=1; domain=0.0.1", std::nullopt},      // an address is matched only by itself
      {"127.0.0.1", "a=1; domain=127.0.0.1", "127.0.0.1\tFALSE\t/\tFALSE\t0\ta\t1"},
      {"h.test", "a=1; expires=Wed, 09 Jun 2021 10:18:14 GMT", "h.test\tFALSE\t/\tFALSE\t1623233894\ta\t1"},
      {"h.test", "a=1; expires=Thu, 01 Jan 1970 00:00:00 GMT", "h.test\tFALSE\t/\tFALSE\t1\ta\t1"},
      {"h.test", "a=1; expires=soon", "h.test\tFALSE\t/\tFALSE\t0\ta\t1"},
      {"h.test", "a=1; Max-Age=0; expires=Wed, 09 Jun 2021 10:18:14 GMT", "h.test\tFALSE\t/\tFALSE\t1\ta\t1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CookieFileLine(c.host, c.cookie), c.line) << c.host << " " << c.cookie;
  }
}

}  // namespace
}  // namespace quorvane
