#pragma once

#include <string>
#include <string_view>

namespace quorvane {

// The resolver service's answer is not parsed as JSON: the file name and the address
// are cut out between fixed markers.
struct ResolvedFile {
  std::string name;
  std::string address;
};

// The link's bytes as a query value: unreserved ASCII as it is, every other byte as
// %XX, so "&", "#", spaces and Chinese text cannot change the query.
std::string EncodeQueryValue(std::string_view bytes);

// ResolverAddress + "/pan?url=" + the encoded link + the fixed query with the token.
std::string ResolverRequestAddress(std::string_view resolverAddress, std::string_view link,
                                   std::string_view token);

// First pass: the answer converted from UTF-8, the fields cut with its escapes
// honoured, then each field's escapes decoded. `converted` receives the converted answer.
ResolvedFile ReadAnswerFirstPass(std::string_view answer, std::string* converted = nullptr);

// Second pass over the answer as it came: the fields cut with its escapes honoured,
// their backslashes removed, and "\u" escapes that survive in the name decoded.
// `cleaned` receives the answer without its backslashes.
ResolvedFile ReadAnswerSecondPass(std::string_view rawAnswer, std::string* cleaned = nullptr);

}  // namespace quorvane
