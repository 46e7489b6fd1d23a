#include "fuzz_input.h"
#include "resolve/resolver_exchange.h"

#include <cstdlib>
#include <string>

namespace {

// `value` as a JSON encoder writes a string's content.
std::string Escaped(std::string_view value) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (const char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\' || c == '/') {
      escaped += '\\';
      escaped += c;
    } else if (byte < 0x20) {
      escaped += "\\u00";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

// Whatever file name the sharer chose, the address that comes out is the one the
// resolver sent; and no answer at all makes either pass fail.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view name = input.Piece();
  const std::string_view raw = input.Rest();

  const std::string answer =
      R"(kestro({"files":")" + Escaped(name) + R"(","download":"http:\/\/h\/f?x=1","error":0});)";
  if (quorvane::ReadAnswerFirstPass(answer).address != "http://h/f?x=1") {
    std::abort();
  }
  const quorvane::ResolvedFile first = quorvane::ReadAnswerFirstPass(raw);
  const quorvane::ResolvedFile second = quorvane::ReadAnswerSecondPass(raw);
  if (second.address.size() > raw.size() || first.address.size() > raw.size()) {
    std::abort();
  }
  return 0;
}
