#include "resolve/size_text.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(SizeTexts, FollowTheByteCountTable) {
  const struct {
    std::int64_t bytes;
    const char* megabytes;
    const char* shown;
  } cases[] = {
      {0, "0", "0 MB"},
      {1000, "0", "0 MB"},
      {5242, "0", "0 MB"},
      {5243, "0.01", "0.01 MB"},
      {131072, "0.13", "0.13 MB"},
      {12345678, "11.77", "11.77 MB"},
      {1048576000, "1000", "1000 MB"},
      {1073741824, "1024", "1024 MB"},
      {1610612737, "1536", "1536 MB"},
      {1610623221, "1536.01", "1.5 GB"},
      {2097141514, "1999.99", "1.95 GB"},
      {2147483647, "2048", "2048 MB"},
      // Sizes are 64-bit: nothing wraps.
      {3000000000, "2861.02", "2.79 GB"},
      {4294967295, "4096", "4096 MB"},
      {5000000000, "4768.37", "4.66 GB"},
      {1099511627776, "1048576", "1024 GB"},
      // Failed probes: the caller shows these as an unknown size.
      {-1, "-0", "-0 MB"},
      {-2, "-0", "-0 MB"},
  };
  for (const auto& c : cases) {
    const SizeTexts texts = SizeTextsFromBytes(c.bytes);
    EXPECT_EQ(texts.megabytes, c.megabytes) << c.bytes;
    EXPECT_EQ(texts.shown, c.shown) << c.bytes;
  }
}

TEST(SizeTexts, ReadTheCaptionByTheIntegerRule) {
  EXPECT_EQ(SizeTextsFromCaption("").shown, "0 MB");
  EXPECT_EQ(SizeTextsFromCaption("12345678 bytes").shown, "11.77 MB");
}

}  // namespace
}  // namespace quorvane
