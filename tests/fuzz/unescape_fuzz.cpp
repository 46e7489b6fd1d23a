#include "resolve/unescape.h"

#include <cstdlib>
#include <string_view>

// Besides surviving any input, the single pass must agree with the stepwise reading
// whenever it says it does.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::string result = quorvane::UnescapeUnicode(text);
  if (size <= 4096) {
    bool exact = false;
    const std::string single = quorvane::detail::UnescapeUnicodeSinglePass(text, exact);
    const std::string stepwise = quorvane::detail::UnescapeUnicodeStepwise(text);
    if ((exact && single != stepwise) || result != stepwise) {
      std::abort();
    }
  }
  return 0;
}
