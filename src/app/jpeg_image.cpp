#include "app/jpeg_image.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace quorvane {
namespace {

// libjpeg reports errors by calling error_exit, which must not return: jump back.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void LeaveOnError(j_common_ptr info) {
  auto* errors = reinterpret_cast<ErrorManager*>(info->err);
  std::longjmp(errors->jump, 1);
}

void IgnoreMessage(j_common_ptr) {}

}  // namespace

RgbImage DecodeJpeg(std::span<const std::uint8_t> data) {
  RgbImage image;
  if (data.empty()) {
    return image;
  }
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = LeaveOnError;
  errors.base.output_message = IgnoreMessage;
  if (setjmp(errors.jump) != 0) {
    jpeg_destroy_decompress(&info);
    return RgbImage{};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);

  image.width = static_cast<int>(info.output_width);
  image.height = static_cast<int>(info.output_height);
  const std::size_t stride = static_cast<std::size_t>(info.output_width) * 3;
  image.pixels.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = image.pixels.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return image;
}

}  // namespace quorvane
