#include "fuzz_input.h"
#include "resolve/radix.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const int from = input.Byte() % 40;
  const int to = input.Byte() % 40;
  std::string digits(input.Rest());
  const std::string converted = quorvane::ConvertRadix(digits, from, to);

  // A valid conversion converts back to the same number.
  const bool valid = from >= 2 && from <= 36 && to >= 2 && to <= 36 &&
                     digits.find_first_not_of(quorvane::kRadixDigits.substr(0, static_cast<std::size_t>(from))) ==
                         std::string::npos;
  if (valid && from != to && !digits.empty()) {
    std::string back = converted;
    std::string again = quorvane::ConvertRadix(back, to, from);
    // Compared in a third radix, which drops leading zeros on both sides.
    const int common = from == 10 ? 16 : 10;
    std::string original = digits;
    std::string canonical = quorvane::ConvertRadix(original, from, common);
    std::string againCanonical = quorvane::ConvertRadix(again, from, common);
    if (canonical != againCanonical) {
      std::abort();
    }
  }
  return 0;
}
