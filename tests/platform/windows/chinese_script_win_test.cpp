#include "web/chinese_script.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace quorvane {
namespace {

bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(ChineseScript, TraditionalCharactersBecomeSimplified) {
  if (RunningUnderWine()) {
    GTEST_SKIP() << "Wine's LCMapStringEx leaves traditional characters unchanged";
  }
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
