#include "handoff/download_state.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace quorvane {
namespace {

constexpr std::string_view kMagic = "quorvane-download 1";
constexpr std::size_t kRecordCap = 1u << 20;

std::optional<std::uint64_t> Number(std::string_view text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

std::vector<ByteRange> MergedRanges(std::vector<ByteRange> ranges) {
  std::erase_if(ranges, [](const ByteRange& range) { return range.first >= range.second; });
  std::sort(ranges.begin(), ranges.end());
  std::vector<ByteRange> merged;
  for (const ByteRange& range : ranges) {
    if (!merged.empty() && range.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, range.second);
    } else {
      merged.push_back(range);
    }
  }
  return merged;
}

std::vector<ByteRange> MissingRanges(const std::vector<ByteRange>& finished, std::uint64_t length) {
  std::vector<ByteRange> missing;
  std::uint64_t at = 0;
  for (const ByteRange& range : MergedRanges(finished)) {
    if (range.first > at) {
      missing.emplace_back(at, std::min(range.first, length));
    }
    at = std::max(at, range.second);
  }
  if (at < length) {
    missing.emplace_back(at, length);
  }
  std::erase_if(missing, [](const ByteRange& range) { return range.first >= range.second; });
  return missing;
}

std::string ResumeRecordText(const ResumeRecord& record) {
  std::string text = std::string(kMagic) + "\naddress " + record.address + "\nlength " +
                     std::to_string(record.length) + "\netag " + record.etag + "\nlast-modified " +
                     record.lastModified + "\n";
  for (const ByteRange& range : record.finished) {
    text += "finished " + std::to_string(range.first) + " " + std::to_string(range.second) + "\n";
  }
  return text;
}

std::optional<ResumeRecord> ParseResumeRecord(std::string_view text) {
  ResumeRecord record;
  bool magic = false;
  bool address = false;
  bool length = false;
  std::vector<ByteRange> ranges;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) {
      return std::nullopt;  // a record cut short
    }
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!magic) {
      if (line != kMagic) {
        return std::nullopt;
      }
      magic = true;
      continue;
    }
    const std::size_t space = line.find(' ');
    const std::string_view key = line.substr(0, space);
    const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
    if (key == "address") {
      record.address = value;
      address = !value.empty();
    } else if (key == "length") {
      const auto number = Number(value);
      if (!number) {
        return std::nullopt;
      }
      record.length = *number;
      length = true;
    } else if (key == "etag") {
      record.etag = value;
    } else if (key == "last-modified") {
      record.lastModified = value;
    } else if (key == "finished") {
      const std::size_t gap = value.find(' ');
      const auto from = Number(value.substr(0, gap));
      const auto to = gap == std::string_view::npos ? std::nullopt : Number(value.substr(gap + 1));
      if (!from || !to || *from >= *to) {
        return std::nullopt;
      }
      ranges.emplace_back(*from, *to);
    } else {
      return std::nullopt;
    }
  }
  if (!magic || !address || !length) {
    return std::nullopt;
  }
  record.finished = MergedRanges(std::move(ranges));
  if (!record.finished.empty() && record.finished.back().second > record.length) {
    return std::nullopt;
  }
  return record;
}

bool WriteResumeRecord(const std::filesystem::path& path, const ResumeRecord& record) {
  if (record.address.find_first_of("\r\n") != std::string::npos ||
      record.etag.find_first_of("\r\n") != std::string::npos ||
      record.lastModified.find_first_of("\r\n") != std::string::npos) {
    return false;
  }
  std::filesystem::path side = path;
  side += ".new";
  {
    std::ofstream out(side, std::ios::binary | std::ios::trunc);
    out << ResumeRecordText(record);
    out.flush();
    if (!out) {
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(side, path, error);
  return !error;
}

std::optional<ResumeRecord> ReadResumeRecord(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return std::nullopt;
  }
  std::string text(kRecordCap + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kRecordCap) {
    return std::nullopt;
  }
  return ParseResumeRecord(text);
}

}  // namespace quorvane
