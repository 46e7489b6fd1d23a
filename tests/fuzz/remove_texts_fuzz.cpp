#include "fuzz_input.h"
#include "util/text_search.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view first = input.Piece();
  const std::string_view second = input.Piece();
  const std::string_view text = input.Rest();

  const std::string removed = quorvane::RemoveTexts(text, first, second);
  if (removed.size() > text.size()) {
    std::abort();
  }
  // Removing again finds nothing more of the last removal text.
  if (!second.empty() && quorvane::FindText(removed, second) != quorvane::kNotFound &&
      quorvane::RemoveTexts(removed, second).size() == removed.size()) {
    std::abort();
  }
  return 0;
}
