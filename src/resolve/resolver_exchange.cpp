#include "resolve/resolver_exchange.h"

#include "resolve/unescape.h"
#include "util/text_search.h"
#include "web/encodings.h"

namespace quorvane {
namespace {

constexpr std::string_view kNameStart = "files\":\"";
constexpr std::string_view kNameEnd = "\",\"download";
constexpr std::string_view kAddressStart = "\"download\":\"";
constexpr std::string_view kAddressEnd = "\",\"error";

bool IsUnreserved(unsigned char byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
         byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

}  // namespace

std::string EncodeQueryValue(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (IsUnreserved(byte)) {
      encoded += c;
    } else {
      encoded += '%';
      encoded += kHex[byte >> 4];
      encoded += kHex[byte & 0x0F];
    }
  }
  return encoded;
}

std::string ResolverRequestAddress(std::string_view resolverAddress, std::string_view link,
                                   std::string_view token) {
  return std::string(resolverAddress) + "/pan?url=" + EncodeQueryValue(link) +
         "&echo=json&callback=kestro&token=" + std::string(token);
}

ResolvedFile ReadAnswerFirstPass(std::string_view answer, std::string* converted) {
  // JSON encoders commonly write non-ASCII characters, and some "&", as \u escapes;
  // they are decoded before the backslashes go, or the name would show "u4e2d" and
  // the address would lose its "&".
  const std::string text = RemoveTexts(UnescapeUnicode(Utf8ToGbk(answer)), "\\");
  ResolvedFile file{TextBetween(text, kNameStart, kNameEnd), TextBetween(text, kAddressStart, kAddressEnd)};
  if (converted != nullptr) {
    *converted = text;
  }
  return file;
}

ResolvedFile ReadAnswerSecondPass(std::string_view rawAnswer, std::string* cleaned) {
  const std::string text = RemoveTexts(rawAnswer, "\\");
  ResolvedFile file{UnescapeUnicode(TextBetween(text, kNameStart, kNameEnd)),
                    TextBetween(text, kAddressStart, kAddressEnd)};
  if (cleaned != nullptr) {
    *cleaned = text;
  }
  return file;
}

}  // namespace quorvane
