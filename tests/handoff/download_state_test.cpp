#include "handoff/download_state.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(DownloadState, RecordsSurviveTheirTextAndBadOnesAreRefused) {
  const ResumeRecord record{"http://127.0.0.1:1/f/a b.zip?x=1", 5000, "\"v1\"", "Tue, 01 Dec 2026 08:00:00 GMT",
                            {{0, 100}, {300, 5000}}};
  const auto parsed = ParseResumeRecord(ResumeRecordText(record));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->address, record.address);
  EXPECT_EQ(parsed->length, 5000u);
  EXPECT_EQ(parsed->etag, record.etag);
  EXPECT_EQ(parsed->lastModified, record.lastModified);
  EXPECT_EQ(parsed->finished, record.finished);
  EXPECT_TRUE(parsed->Matches(5000, "\"v1\"", record.lastModified));
  EXPECT_FALSE(parsed->Matches(5001, "\"v1\"", record.lastModified));
  EXPECT_FALSE(parsed->Matches(5000, "\"v2\"", record.lastModified));

  const std::string head = "quorvane-download 1\naddress http://x/\nlength 100\n";
  for (const std::string& bad : {std::string(), head.substr(0, head.size() - 1), "other 1\n" + head.substr(20),
                                head + "finished 0 101\n", head + "finished 50 40\n", head + "finished 1\n",
                                head + "length x\n", head + "color red\n", std::string("quorvane-download 1\nlength 5\n")}) {
    EXPECT_FALSE(ParseResumeRecord(bad).has_value()) << bad;
  }
}

TEST(DownloadState, MissingRangesAreWhatTheFinishedLeaveOpen) {
  const struct {
    std::vector<ByteRange> finished;
    std::uint64_t length;
    std::vector<ByteRange> missing;
  } cases[] = {
      {{}, 10, {{0, 10}}},
      {{{0, 10}}, 10, {}},
      {{{2, 4}, {3, 6}, {8, 10}}, 10, {{0, 2}, {6, 8}}},
      {{{6, 8}, {0, 2}, {2, 3}}, 10, {{3, 6}, {8, 10}}},
      {{}, 0, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MissingRanges(c.finished, c.length), c.missing);
  }
}

}  // namespace
}  // namespace quorvane
