#include "handoff/file_names.h"

#include "util/text_pieces.h"
#include "util/text_search.h"
#include "util/file_system.h"
#include "web/code_page_converter.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quorvane {
namespace {

constexpr std::size_t kLongestName = 200;

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > bytes.size()) {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) {
        return false;
      }
    }
    i += length;
  }
  return true;
}

std::string PercentDecoded(std::string_view text) {
  std::string decoded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      decoded += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      decoded += text[i];
    }
  }
  return decoded;
}

bool IsReservedDeviceName(std::string_view stem) {
  static constexpr std::array<std::string_view, 4> plain = {"con", "prn", "aux", "nul"};
  std::string lower(stem);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  if (std::find(plain.begin(), plain.end(), lower) != plain.end()) {
    return true;
  }
  return lower.size() == 4 && (lower.starts_with("com") || lower.starts_with("lpt")) && lower[3] >= '1' &&
         lower[3] <= '9';
}

}  // namespace

std::string AsUtf8Name(std::string_view bytes) {
  if (IsValidUtf8(bytes)) {
    return std::string(bytes);
  }
  return codepage::Transcode(bytes, codepage::kGbk, codepage::kUtf8);
}

std::string CleanFileName(std::string_view raw) {
  std::string name;
  for (const char c : AsUtf8Name(raw)) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      continue;  // control characters
    }
    name += (c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
             c == '|')
                ? '_'
                : c;
  }
  // No name made of dots (".", ".."), no leading dots that hide it, no trailing dots or spaces.
  const std::size_t first = name.find_first_not_of(". ");
  name = first == std::string::npos ? std::string() : name.substr(first);
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
    name.pop_back();
  }
  if (name.size() > kLongestName) {
    std::size_t cut = kLongestName;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) {
      --cut;  // never split a UTF-8 character
    }
    name.resize(cut);
  }
  const std::string stem = name.substr(0, name.find('.'));
  if (IsReservedDeviceName(stem)) {
    name = "_" + name;
  }
  return name.empty() ? "download" : name;
}

std::string NameFromContentDisposition(std::string_view rawHeaders) {
  for (const std::string& line : SplitText(rawHeaders, "\r\n")) {
    if (FindText(line, "content-disposition:", 1, true) != 1) {
      continue;
    }
    const std::size_t extended = FindTextOffset(line, "filename*=", 0, true);
    if (extended != std::string_view::npos) {
      std::string value = std::string(TextBefore(std::string_view(line).substr(extended + 10), ";"));
      const std::size_t quote = value.find("''");
      if (quote != std::string::npos) {
        value = value.substr(quote + 2);
      }
      return AsUtf8Name(PercentDecoded(TrimText(value)));
    }
    const std::size_t plain = FindTextOffset(line, "filename=", 0, true);
    if (plain != std::string_view::npos) {
      std::string value = TrimText(TextBefore(std::string_view(line).substr(plain + 9), ";"));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
      }
      return AsUtf8Name(value);
    }
  }
  return {};
}

std::string NameFromAddress(std::string_view address) {
  std::string_view path = TextBefore(TextBefore(address, "?"), "#");
  const std::size_t scheme = path.find("://");
  if (scheme != std::string_view::npos) {
    path.remove_prefix(scheme + 3);
    const std::size_t slash = path.find('/');
    path = slash == std::string_view::npos ? std::string_view() : path.substr(slash);
  }
  const std::size_t last = path.rfind('/');
  return AsUtf8Name(PercentDecoded(last == std::string_view::npos ? path : path.substr(last + 1)));
}

std::filesystem::path ReserveFreePath(const std::filesystem::path& folder, const std::string& name,
                                      std::string_view companion) {
  // Names are UTF-8 whatever the system's code page is.
  const std::string clean = CleanFileName(name);
  const std::u8string cleanName(clean.begin(), clean.end());
  const std::filesystem::path cleanPath(cleanName);
  const std::u8string stem = cleanPath.stem().u8string();
  const std::u8string extension = cleanPath.extension().u8string();
  const std::u8string companionName(companion.begin(), companion.end());
  for (int attempt = 0; attempt < 10000; ++attempt) {
    const std::string number = " (" + std::to_string(attempt) + ")";
    const std::u8string candidate =
        attempt == 0 ? cleanName : stem + std::u8string(number.begin(), number.end()) + extension;
    // A name is ours only if nobody, not even another download, has it yet.
    const std::filesystem::path path = folder / candidate;
    if (!CreateNewFile(path)) {
      continue;
    }
    if (companion.empty() || CreateNewFile(folder / (candidate + companionName))) {
      return path;
    }
    // The companion is someone else's: give the name back and try the next pair.
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }
  return {};
}

}  // namespace quorvane
