#include "resolve/resolver_exchange.h"

#include "support/gbk_literal.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ResolverExchange, RequestAddressCarriesTheLinkAsOneQueryValue) {
  EXPECT_EQ(ResolverRequestAddress("http://r.test", "http://pan.baidu.com/s/1abc", "tok"),
            "http://r.test/pan?url=http%3A%2F%2Fpan.baidu.com%2Fs%2F1abc&echo=json&callback=kestro&token=tok");
  const std::pair<std::string, std::string> cases[] = {
      {"a&b=c#d e", "a%26b%3Dc%23d%20e"},
      {"AZaz09-._~", "AZaz09-._~"},
      {G("网盘"), "%CD%F8%C5%CC"},
      {"", ""},
      {"%", "%25"},
  };
  for (const auto& [link, encoded] : cases) {
    EXPECT_EQ(EncodeQueryValue(link), encoded) << link;
  }
}

TEST(ResolverExchange, FirstPassCutsNameAndAddressBetweenTheMarkers) {
  const struct {
    std::string answer, name, address;
  } cases[] = {
      {R"(kestro({"files":"a.zip","download":"http:\/\/h\/f?x=1","error":0});)", "a.zip", "http://h/f?x=1"},
      {"kestro({\"files\":\"\xE4\xB8\xAD\xE6\x96\x87.zip\",\"download\":\"http://h/f\",\"error\":0})", G("中文.zip"),
       "http://h/f"},
      {R"({"files":"\u4e2d\u6587.zip","download":"http:\/\/h\/f?a=1\u0026b=2","error":0})", G("中文.zip"),
       "http://h/f?a=1&b=2"},
      {R"({"files":"a\\b.zip","download":"http://h/f","error":0})", "a\\b.zip", "http://h/f"},
      {R"({"files":"say \"hi\".txt","download":"http://h/f","error":0})", R"(say "hi".txt)", "http://h/f"},
      // download must follow the name directly, and error the address
      {R"({"files":"a.zip","size":1,"download":"http://h/f","error":0})", "", "http://h/f"},
      {R"({"files":"a.zip","download":"http://h/f","size":1,"error":0})", "a.zip", ""},
      {R"(kestro({"error":"not found"}))", "", ""},
      {"", "", ""},
      {"\xE8\xB6\x85\xE6\x97\xB6", "", ""},
  };
  for (const auto& c : cases) {
    const ResolvedFile file = ReadAnswerFirstPass(c.answer);
    EXPECT_EQ(file.name, c.name) << c.answer;
    EXPECT_EQ(file.address, c.address) << c.answer;
  }
}

TEST(ResolverExchange, FirstPassCutsTheFieldsBeforeDecodingTheirEscapes) {
  const std::string answerEnd = R"(","download":"http:\/\/h\/f","error":0})";
  const struct {
    std::string name, shown;
  } cases[] = {
      // a file name that spells out the next fields cannot replace the address
      {R"(x\",\"download\":\"http:\/\/evil\/x)", R"(x","download":"http://evil/x)"},
      {R"(x\u0022,\u0022download\u0022:\u0022http:\/\/evil\/x)", R"(x","download":"http://evil/x)"},
      {R"(x\",\"download\":\"http:\/\/evil\/x\",\"error)", R"(x","download":"http://evil/x","error)"},
      // a quote after an escaped backslash does end the field
      {R"(a\\)", "a\\"},
      {R"(\u0041\u00e9\u4E2D)", G("Aé中")},
      {R"(\\u0041)", R"(\u0041)"},               // an escaped backslash starts no escape
      {R"(\ud83d\ude00|\ud83d|\ude00)", "?|?|?"},  // a pair is one character; GBK lacks it
      {R"(a\u0000b\u005Cc\uZZ\nd)", R"(ab\cuZZnd)"},
      {"\xE4\xB9\x97", G("乗")},                   // GBK 81 5C: its second byte is no backslash
  };
  for (const auto& c : cases) {
    const std::string answer = R"(kestro({"files":")" + c.name + answerEnd;
    const ResolvedFile file = ReadAnswerFirstPass(answer);
    EXPECT_EQ(file.name, c.shown) << c.name;
    EXPECT_EQ(file.address, "http://h/f") << c.name;
  }
}

TEST(ResolverExchange, SecondPassCutsTheFieldsWithTheEscapesHonoured) {
  // Only the second pass finds this address (in GBK the euro sign hides the end
  // marker); the name still cannot replace it.
  const std::string answer = "{\"files\":\"x\\\",\\\"download\\\":\\\"http:\\/\\/evil\\/x\","
                             "\"download\":\"http:\\/\\/h\\/\xE2\x82\xAC\xE4\xB8\xAD\",\"error\":0}";
  EXPECT_EQ(ReadAnswerFirstPass(answer).address, "");
  const ResolvedFile file = ReadAnswerSecondPass(answer);
  EXPECT_EQ(file.name, R"(x","download":"http://evil/x)");
  EXPECT_EQ(file.address, "http://h/\xE2\x82\xAC\xE4\xB8\xAD");
}

TEST(ResolverExchange, SecondPassRemovesBackslashesBeforeDecoding) {
  const ResolvedFile file = ReadAnswerSecondPass(R"({"files":"\u4e2d.zip","download":"http:\/\/h\/f","error":0})");
  EXPECT_EQ(file.name, "u4e2d.zip");
  EXPECT_EQ(file.address, "http://h/f");
}

TEST(ResolverExchange, SecondPassReadsTheAnswerAsItCame) {
  // UTF-8 stays UTF-8 bytes. A backslash that is the second byte of a two-byte
  // character (AD 5C here) is not removed, and, read the same way in the name, starts
  // no escape either.
  const std::string answer =
      "{\"files\":\"\xE4\xB8\xAD\\u6587\",\"download\":\"http:\\/\\/h\\/\xE2\x82\xAC\xE4\xB8\xAD\",\"error\":0}";
  const ResolvedFile file = ReadAnswerSecondPass(answer);
  EXPECT_EQ(file.name, "\xE4\xB8\xAD\\u6587");
  EXPECT_EQ(file.address, "http://h/\xE2\x82\xAC\xE4\xB8\xAD");
  // The first pass finds no address here: the euro sign is one byte in GBK (0x80),
  // which then pairs with the byte after it and hides the end marker.
  EXPECT_EQ(ReadAnswerFirstPass(answer).address, "");
}

}  // namespace
}  // namespace quorvane
