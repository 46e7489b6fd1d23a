#include "resolve/size_text.h"

#include "resolve/number_rules.h"

namespace quorvane {

SizeTexts SizeTextsFromCaption(std::string_view byteCountCaption) {
  SizeTexts texts;
  texts.megabytes = NumberToText(static_cast<double>(TextToInt64(byteCountCaption)) / 1048576.0);
  texts.megabytes = NumberToText(RoundTo(static_cast<double>(TextToSingle(texts.megabytes)), 2));
  if (texts.megabytes.size() < 7) {
    texts.shown = texts.megabytes + " MB";
  } else {
    const double gigabytes = static_cast<double>(TextToInt64(texts.megabytes)) / 1024.0;
    texts.shown = NumberToText(RoundTo(gigabytes, 2)) + " GB";
  }
  return texts;
}

SizeTexts SizeTextsFromBytes(std::int64_t bytes) { return SizeTextsFromCaption(std::to_string(bytes)); }

}  // namespace quorvane
