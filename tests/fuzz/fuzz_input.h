#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// Cuts a fuzz input into pieces: each piece but the last is a length byte and that
// many bytes; the last piece is whatever remains.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}

  std::string_view Piece() {
    if (rest_.empty()) {
      return {};
    }
    const std::size_t length = std::min<std::size_t>(static_cast<unsigned char>(rest_[0]), rest_.size() - 1);
    const std::string_view piece = rest_.substr(1, length);
    rest_.remove_prefix(1 + length);
    return piece;
  }

  int Byte() {
    if (rest_.empty()) {
      return 0;
    }
    const int value = static_cast<unsigned char>(rest_[0]);
    rest_.remove_prefix(1);
    return value;
  }

  std::string_view Rest() const { return rest_; }

 private:
  std::string_view rest_;
};
