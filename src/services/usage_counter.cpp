#include "services/usage_counter.h"

#include "util/text_search.h"
#include "web/encodings.h"

namespace quorvane {

std::string UsageLine(std::string_view counterPage) {
  struct Markers {
    std::string totalStart = Utf8ToGbk("累计访问：");
    std::string totalEnd = Utf8ToGbk("&#10;点击申请计数器");
    std::string todayStart = Utf8ToGbk("今天访问：");
    std::string todayEnd = "&#10";  // no semicolon
    std::string used = Utf8ToGbk("软件已被使用：");
    std::string today = Utf8ToGbk(" 今天访问：");
  };
  static const Markers markers;
  return markers.used + TextBetween(counterPage, markers.totalStart, markers.totalEnd) + markers.today +
         TextBetween(counterPage, markers.todayStart, markers.todayEnd);
}

}  // namespace quorvane
