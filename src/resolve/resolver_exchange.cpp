#include "resolve/resolver_exchange.h"

#include "resolve/escaped_fields.h"
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
  // The fields are cut before anything is decoded: the sharer chooses the file name,
  // and an escaped quote in it must not end the name or start a field of its own.
  const std::string text = Utf8ToGbk(answer);
  ResolvedFile file{DecodeEscapes(EscapedTextBetween(text, kNameStart, kNameEnd)),
                    DecodeEscapes(EscapedTextBetween(text, kAddressStart, kAddressEnd))};
  if (converted != nullptr) {
    *converted = text;
  }
  return file;
}

ResolvedFile ReadAnswerSecondPass(std::string_view rawAnswer, std::string* cleaned) {
  // Cut as the first pass cuts, for the same reason; the backslashes go afterwards.
  ResolvedFile file{UnescapeUnicode(RemoveTexts(EscapedTextBetween(rawAnswer, kNameStart, kNameEnd), "\\")),
                    RemoveTexts(EscapedTextBetween(rawAnswer, kAddressStart, kAddressEnd), "\\")};
  if (cleaned != nullptr) {
    *cleaned = RemoveTexts(rawAnswer, "\\");
  }
  return file;
}

}  // namespace quorvane
