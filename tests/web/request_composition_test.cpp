#include "web/request_composition.h"

#include "web/transfer.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

RequestRecord Get(std::string address, std::string headers = {}) {
  RequestRecord record;
  record.address = std::move(address);
  record.method = "GET";
  record.headers = std::move(headers);
  return record;
}

TEST(RequestComposition, PlainFetchComesOutAsItAlwaysHas) {
  const ComposedRequest request = ComposeRequest(Get("http://example.test/pan?url=x&echo=json"));
  EXPECT_EQ(request.userAgent, kDefaultUserAgent);
  EXPECT_EQ(request.port, 80);
  EXPECT_EQ(request.host, "example.test");
  EXPECT_EQ(request.path, "/pan?url=x&echo=json");
  EXPECT_EQ(request.flags, 0x80004010u);
  EXPECT_TRUE(request.proxy.empty());
  EXPECT_EQ(request.headerText, std::string(kDefaultAcceptHeader) +
                                    "Referer: http://example.test/pan?url=x&echo=json\r\n"
                                    "Accept-Language: zh-cn\r\n");
  EXPECT_FALSE(request.sendsBody);
}

TEST(RequestComposition, SplitsAddresses) {
  const struct {
    std::string address, normalized;
    bool https;
    std::string host;
    int port;
    std::string path;
  } cases[] = {
      {"host.test/a/b?q=1", "http://host.test/a/b?q=1", false, "host.test", 80, "/a/b?q=1"},
      {"http://HOST.Test:8080", "http://HOST.Test:8080", false, "host.test", 8080, "/"},
      {"https://host.test:8443/x", "https://host.test:8443/x", true, "host.test", 443, "/x"},
      {"http://host.test/go?to=https://other.test/", "http://host.test/go?to=https://other.test/", true,
       "host.test", 443, "/go?to=https://other.test/"},
      // The scheme test is exact-case: a capitalised one gets another in front.
      {"HTTP://host.test/", "http://HTTP://host.test/", false, "http", 0, "//HTTP://host.test/"},
      {"http://a.test/Path/Keeps/Case", "http://a.test/Path/Keeps/Case", false, "a.test", 80,
       "/Path/Keeps/Case"},
      {"http://a.test:notaport/", "http://a.test:notaport/", false, "a.test", 0, "/"},
  };
  for (const auto& c : cases) {
    const ComposedRequest request = ComposeRequest(Get(c.address));
    EXPECT_EQ(request.address, c.normalized) << c.address;
    EXPECT_EQ(request.https, c.https) << c.address;
    EXPECT_EQ(request.host, c.host) << c.address;
    EXPECT_EQ(request.port, c.port) << c.address;
    EXPECT_EQ(request.path, c.path) << c.address;
  }
  EXPECT_EQ(ComposeRequest(Get("https://h.test:8443/x")).flags, request_flag::kSecure);
}

TEST(RequestComposition, CompletesTheCallersHeaders) {
  const struct {
    std::string given, completed;
  } cases[] = {
      // An Accept-Language line holds "Accept": neither default Accept line is added.
      {"Accept-Language: en\r\n", "Accept-Language: en\r\nReferer: http://h.test/\r\n"},
      {"RefererNo\r\n", "\r\n" + std::string(kDefaultAcceptHeader) + "Accept-Language: zh-cn\r\n"},
      {"Referer: http://elsewhere.test/\r\n",
       "Referer: http://elsewhere.test/\r\n" + std::string(kDefaultAcceptHeader) + "Accept-Language: zh-cn\r\n"},
      {"X-A: 1\r\n",
       "X-A: 1\r\n" + std::string(kDefaultAcceptHeader) + "Referer: http://h.test/\r\nAccept-Language: zh-cn\r\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ComposeRequest(Get("http://h.test/", c.given)).headerText, c.completed) << c.given;
  }
}

TEST(RequestComposition, TakesTheUserAgentFromTheCallersHeaders) {
  const std::pair<std::string, std::string> cases[] = {
      {"User-Agent:  Agent/1.0 \r\n", "Agent/1.0"},
      {"User-Agent: Agent/1.0", ""},         // no line end: nothing to cut out
      {"user-agent: Agent/1.0\r\n", ""},     // found by the presence test, not by the exact cut
      {"X: 1\r\n", std::string(kDefaultUserAgent)},
  };
  for (const auto& [headers, agent] : cases) {
    const ComposedRequest request = ComposeRequest(Get("http://h.test/", headers));
    EXPECT_EQ(request.userAgent, agent) << headers;
    EXPECT_EQ(request.headerText.substr(0, headers.size()), headers);  // the line stays
  }
}

TEST(RequestComposition, PostCarriesItsBodyWithTypeAndLength) {
  RequestRecord record = Get("http://h.test/form");
  record.method = "POST";
  record.body = "a=b&c";
  ComposedRequest request = ComposeRequest(record);
  EXPECT_TRUE(request.sendsBody);
  EXPECT_EQ(request.headerText, std::string(kDefaultAcceptHeader) +
                                    "Referer: http://h.test/form\r\nAccept-Language: zh-cn\r\n"
                                    "Content-Type: application/x-www-form-urlencoded\r\n"
                                    "Content-Length: 5\r\n");

  record.cookies = "sid=1";
  request = ComposeRequest(record);
  EXPECT_TRUE(request.headerText.ends_with("Content-Length: 5\r\nCookie: sid=1\r\n"));
  EXPECT_EQ(request.flags, 0x80004010u | request_flag::kNoCookies);
  EXPECT_FALSE(request.UsesCookieStore());

  record.body.clear();
  request = ComposeRequest(record);
  EXPECT_FALSE(request.sendsBody);
  EXPECT_EQ(request.headerText.find("Content-"), std::string::npos);
}

TEST(RequestComposition, FlagsFollowCookiesRedirectsAndSecurity) {
  RequestRecord record = Get("http://h.test/");
  record.cookies = "   ";  // blank: the store stays in use
  EXPECT_EQ(ComposeRequest(record).flags, 0x80004010u);
  record.followRedirects = false;
  EXPECT_EQ(ComposeRequest(record).flags, 0x80004010u | request_flag::kNoAutoRedirect);
  record.address = "https://h.test/";
  record.cookies = "a=1";
  const ComposedRequest secure = ComposeRequest(record);
  EXPECT_EQ(secure.flags, request_flag::kSecure);  // replaces everything else
  EXPECT_TRUE(secure.FollowsRedirects());
  EXPECT_TRUE(secure.UsesCookieStore());
  record.method = "PUT";
  EXPECT_FALSE(ComposeRequest(record).sendsRequest);
}

TEST(RequestComposition, TransferUrlCarriesSchemeHostAndEscapedPath) {
  ComposedRequest request = ComposeRequest(Get("http://h.test:8080/a b?c=#d\xD6\xD0"));
  EXPECT_EQ(TransferUrl(request), "http://h.test/a%20b?c=%23d%D6%D0");
  EXPECT_EQ(request.port, 8080);
  request = ComposeRequest(Get("h.test/x?next=https://o.test/"));
  EXPECT_EQ(TransferUrl(request), "https://h.test/x?next=https://o.test/");
  EXPECT_EQ(request.port, 443);
}

}  // namespace
}  // namespace quorvane
