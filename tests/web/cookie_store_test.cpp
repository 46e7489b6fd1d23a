#include "web/cookie_store.h"

#include "standins/raw_http_server.h"
#include "util/text_pieces.h"
#include "web/web_access.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>

namespace quorvane {
namespace {

using standins::Connection;
using standins::HttpResponse;
using standins::RawHttpServer;
using standins::RecordedRequest;

// The domain and expiry fields of the stored cookie "a", if one is held.
struct Stored {
  std::string domain;
  long long expires = 0;
};
std::optional<Stored> StoredCookieA() {
  for (const std::string& line : CookieStore::Process().Lines()) {
    const std::vector<std::string> fields = SplitText(line, "\t");
    if (fields.size() >= 7 && fields[5] == "a") {
      return Stored{fields[0], std::atoll(fields[4].c_str())};
    }
  }
  return std::nullopt;
}

class CookieStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { CookieStore::Process().Clear(); }
  void TearDown() override { CookieStore::Process().Clear(); }
};

TEST_F(CookieStoreTest, ADomainIsTakenOnlyWhenTheHostBelongsToIt) {
  const struct {
    std::string host, setCookie;
    std::optional<std::string> storedDomain;  // none: refused
  } cases[] = {
      {"127.0.0.1", "a=1; Domain=localhost", std::nullopt},
      {"127.0.0.1", "a=1; Domain=0.0.1", std::nullopt},
      {"127.0.0.1", "a=1; Domain=other.example", std::nullopt},
      {"127.0.0.1", "a=1; Domain=127.0.0.1", "127.0.0.1"},  // an address only for itself
      {"www.example.test", "a=1; Domain=example.test", ".example.test"},
      {"www.example.test", "a=1; domain=.Example.TEST", ".example.test"},
      {"www.example.test", "a=1; Domain=www.example.test", ".www.example.test"},
      {"example.test", "a=1; Domain=www.example.test", std::nullopt},
      {"badexample.test", "a=1; Domain=example.test", std::nullopt},
      {"www.example.test", "a=1; Domain=test", std::nullopt},  // a whole top-level domain
      {"www.example.test", "a=1; Domain=", "www.example.test"},
      {"www.example.test", "a=1; Path=/", "www.example.test"},
  };
  for (const auto& c : cases) {
    CookieStore::Process().Clear();
    CookieStore::Process().StoreFromHeaders(c.host, "HTTP/1.1 200 OK\r\nSet-Cookie: " + c.setCookie + "\r\n\r\n");
    const std::optional<Stored> stored = StoredCookieA();
    ASSERT_EQ(stored.has_value(), c.storedDomain.has_value()) << c.host << " / " << c.setCookie;
    if (stored) {
      EXPECT_EQ(stored->domain, *c.storedDomain) << c.host << " / " << c.setCookie;
    }
  }
}

TEST_F(CookieStoreTest, AnExpiryThatCannotBeReadMakesASessionCookie) {
  enum Outcome { kSession, kLasting, kGone };
  const struct {
    std::string attributes;
    Outcome outcome;
  } cases[] = {
      {"expires=someday", kSession},
      {"expires=", kSession},
      {"Max-Age=soon", kSession},
      {"Max-Age=12x", kSession},
      {"expires=Wed, 01 Jan 2070 00:00:00 GMT", kLasting},
      {"Max-Age=3600", kLasting},
      {"expires=Thu, 01 Jan 1970 00:00:01 GMT", kGone},
      {"Max-Age=0", kGone},
      {"Max-Age=-5", kGone},
      {"Max-Age=3600; expires=Thu, 01 Jan 1970 00:00:01 GMT", kLasting},  // Max-Age wins
      {"expires=Wed, 01 Jan 2070 00:00:00 GMT; Max-Age=0", kGone},
  };
  for (const auto& c : cases) {
    CookieStore::Process().Clear();
    CookieStore::Process().StoreFromHeaders("h.test", "Set-Cookie: a=1; " + c.attributes + "\r\n");
    const std::optional<Stored> stored = StoredCookieA();
    const long long now = std::time(nullptr);
    switch (c.outcome) {
      case kSession:
        ASSERT_TRUE(stored.has_value()) << c.attributes;
        EXPECT_EQ(stored->expires, 0) << c.attributes;
        break;
      case kLasting:
        ASSERT_TRUE(stored.has_value()) << c.attributes;
        EXPECT_GT(stored->expires, now) << c.attributes;
        break;
      case kGone:  // held at most as already expired, so never sent
        if (stored) {
          EXPECT_GT(stored->expires, 0) << c.attributes;
          EXPECT_LT(stored->expires, now) << c.attributes;
        }
        break;
    }
  }
}

TEST_F(CookieStoreTest, AServerCannotPlantCookiesForAnotherHost) {
  RawHttpServer server([](const RecordedRequest& request, Connection& connection) {
    connection.Send(request.Target() == "/set"
                        ? HttpResponse(200, "", {"Set-Cookie: planted=1; Domain=localhost",
                                                 "Set-Cookie: own=1; expires=never", "Set-Cookie: gone=1; Max-Age=0"})
                        : HttpResponse(200, request.Header("Cookie")));
  });
  // Cookie text of the caller: the answer's cookies take the path that is not libcurl's.
  WebAccessOptions options;
  options.cookies = "given=1";
  WebAccess(server.Url("/set"), options);

  // "localhost" reaches the same loopback server under another name.
  EXPECT_EQ(FetchText("http://localhost:" + std::to_string(server.Port()) + "/echo"), "");
  EXPECT_EQ(FetchText(server.Url("/echo")), "own=1");
}

}  // namespace
}  // namespace quorvane
