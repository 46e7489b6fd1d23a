#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What a download interrupted by the program's end leaves beside its part file, so the
// next start with the same address continues instead of starting over.
namespace quorvane {

using ByteRange = std::pair<std::uint64_t, std::uint64_t>;  // [from, to)

struct ResumeRecord {
  std::string address;
  std::uint64_t length = 0;
  std::string etag;          // empty when the server gave none
  std::string lastModified;  // likewise
  std::vector<ByteRange> finished;  // sorted, merged, inside [0, length)

  // Whether a server's answer still describes the file these ranges came from.
  bool Matches(std::uint64_t answerLength, std::string_view answerEtag, std::string_view answerLastModified) const {
    return answerLength == length && answerEtag == etag && answerLastModified == lastModified;
  }
};

// Sorted, overlapping and touching ranges joined, empty ones dropped.
std::vector<ByteRange> MergedRanges(std::vector<ByteRange> ranges);

// The ranges of [0, length) that `finished` leaves open.
std::vector<ByteRange> MissingRanges(const std::vector<ByteRange>& finished, std::uint64_t length);

std::string ResumeRecordText(const ResumeRecord& record);
// Nothing for a text that is no record or names ranges outside its length.
std::optional<ResumeRecord> ParseResumeRecord(std::string_view text);

// Written whole to a side file and renamed over `path`, so a crash leaves the old or
// the new record, never half of one.
bool WriteResumeRecord(const std::filesystem::path& path, const ResumeRecord& record);
std::optional<ResumeRecord> ReadResumeRecord(const std::filesystem::path& path);

}  // namespace quorvane
