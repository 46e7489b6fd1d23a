#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quorvane {

// A decoded picture: 8-bit RGB, rows top to bottom, no padding.
struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 3 bytes

  bool Empty() const { return pixels.empty(); }
};

// Decodes a JPEG file held in memory with libjpeg; an empty image for data that is
// not a JPEG libjpeg can read (the error is caught, never fatal).
RgbImage DecodeJpeg(std::span<const std::uint8_t> data);

}  // namespace quorvane
