#include "fuzz_input.h"
#include "util/text_pieces.h"
#include "util/text_search.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput input(data, size);
  const std::string_view start = input.Piece();
  const std::string_view end = input.Piece();
  const std::string_view source = input.Rest();

  const std::string value = quorvane::TextBetween(source, start, end);
  // Whatever comes out lies inside the source, right after a start marker.
  if (!value.empty() && source.find(value) == std::string_view::npos) {
    std::abort();
  }
  const std::int64_t position = quorvane::FindText(source, start, 1, true);
  if (position != quorvane::kNotFound &&
      (position < 1 || static_cast<std::size_t>(position) + start.size() - 1 > source.size())) {
    std::abort();
  }
  quorvane::TrimText(source);
  quorvane::SplitText(source, start);
  return 0;
}
