#include "web/chinese_script.h"

#include "support/wine.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(ChineseScript, TraditionalCharactersBecomeSimplified) {
  QUORVANE_SKIP_WITHOUT_CHINESE_SIMPLIFICATION();
  EXPECT_EQ(TraditionalToSimplified(u"\u4E2D\u83EF"), u"\u4E2D\u534E");  // 中華 -> 中华
  EXPECT_EQ(TraditionalToSimplified(u"\u7DB2\u76E4 ok"), u"\u7F51\u76D8 ok");  // 網盤 -> 网盘
}

TEST(ChineseScript, OtherTextComesBackUnchanged) {
  for (const std::u16string text : {u"", u"http://a.test/?b=c", u"\u4E2D\u534E\u7F51\u76D8", u"\U0001F600"}) {
    EXPECT_EQ(TraditionalToSimplified(text), text);
  }
}

}  // namespace
}  // namespace quorvane
