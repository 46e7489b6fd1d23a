#include "resolve/radix.h"

#include "resolve/full_width.h"
#include "web/encodings.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace quorvane {
namespace {

// An unsigned integer of any size: 32-bit limbs, least significant first.
class BigUnsigned {
 public:
  // this = this * factor + addend
  void MultiplyAdd(std::uint32_t factor, std::uint32_t addend) {
    std::uint64_t carry = addend;
    for (std::uint32_t& limb : limbs_) {
      const std::uint64_t product = std::uint64_t{limb} * factor + carry;
      limb = static_cast<std::uint32_t>(product);
      carry = product >> 32;
    }
    if (carry != 0) {
      limbs_.push_back(static_cast<std::uint32_t>(carry));
    }
  }

  // this = this / divisor; returns the remainder.
  std::uint32_t DivideInPlace(std::uint32_t divisor) {
    std::uint64_t remainder = 0;
    for (auto limb = limbs_.rbegin(); limb != limbs_.rend(); ++limb) {
      const std::uint64_t current = (remainder << 32) | *limb;
      *limb = static_cast<std::uint32_t>(current / divisor);
      remainder = current % divisor;
    }
    while (!limbs_.empty() && limbs_.back() == 0) {
      limbs_.pop_back();
    }
    return static_cast<std::uint32_t>(remainder);
  }

  bool IsZero() const { return limbs_.empty(); }

 private:
  std::vector<std::uint32_t> limbs_;
};

// The largest power of `radix` below 2^32 and its exponent: digits go in and out
// that many at a time.
std::pair<std::uint32_t, int> DigitChunk(int radix) {
  std::uint64_t power = 1;
  int count = 0;
  while (power * static_cast<std::uint64_t>(radix) <= 0xFFFFFFFFULL) {
    power *= static_cast<std::uint64_t>(radix);
    ++count;
  }
  return {static_cast<std::uint32_t>(power), count};
}

std::string ToUpperAscii(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      ++i;  // the second byte of a two-byte character is left alone
    } else if (byte >= 'a' && byte <= 'z') {
      text[i] = static_cast<char>(byte - ('a' - 'A'));
    }
  }
  return text;
}

int DigitValue(char digit) { return static_cast<int>(kRadixDigits.find(digit)); }

std::string InRadix(BigUnsigned value, int radix) {
  const auto [chunkDivisor, chunkDigits] = DigitChunk(radix);
  std::string reversed;
  do {
    std::uint32_t chunk = value.DivideInPlace(chunkDivisor);
    const bool last = value.IsZero();
    for (int i = 0; i < chunkDigits && (!last || chunk != 0 || i == 0); ++i) {
      reversed.push_back(kRadixDigits[chunk % static_cast<std::uint32_t>(radix)]);
      chunk /= static_cast<std::uint32_t>(radix);
    }
  } while (!value.IsZero());
  return {reversed.rbegin(), reversed.rend()};
}

}  // namespace

std::string RadixName(int radix) {
  static const std::string numerals[] = {
      Utf8ToGbk("零"), Utf8ToGbk("一"), Utf8ToGbk("二"), Utf8ToGbk("三"), Utf8ToGbk("四"),
      Utf8ToGbk("五"), Utf8ToGbk("六"), Utf8ToGbk("七"), Utf8ToGbk("八"), Utf8ToGbk("九")};
  static const std::string ten = Utf8ToGbk("十");
  if (radix < 0 || radix > 99) {
    return std::to_string(radix);
  }
  if (radix < 10) {
    return numerals[radix];
  }
  std::string name = numerals[radix / 10] + ten;
  if (radix % 10 != 0) {
    name += numerals[radix % 10];
  }
  return name;
}

std::string ConvertRadix(std::string& digits, int from, int to) {
  if (from < 2 || from > 36 || to < 2 || to > 36) {
    static const std::string badRadix = Utf8ToGbk("参数错误-进制只能在2-36之间");
    return badRadix;
  }
  digits = ToUpperAscii(FullWidthToAscii(digits));

  const std::string_view allowed = kRadixDigits.substr(0, static_cast<std::size_t>(from));
  if (digits.find_first_not_of(allowed) != std::string::npos) {
    static const std::string prefix = Utf8ToGbk("参数错误-");
    static const std::string middle = Utf8ToGbk("不是一个有效的");
    static const std::string suffix = Utf8ToGbk("进制数！");
    return prefix + digits + middle + RadixName(from) + suffix;
  }
  if (from == to) {
    return digits;
  }

  BigUnsigned value;
  const auto [chunkMultiplier, chunkDigits] = DigitChunk(from);
  const std::size_t chunkSize = static_cast<std::size_t>(chunkDigits);
  // The first chunk takes the odd digits so all later ones are full.
  std::size_t next = digits.size() % chunkSize;
  if (next == 0) {
    next = std::min(chunkSize, digits.size());
  }
  for (std::size_t begin = 0; begin < digits.size(); begin = next, next += chunkSize) {
    std::uint32_t chunk = 0;
    std::uint32_t multiplier = 1;
    for (std::size_t i = begin; i < next; ++i) {
      chunk = chunk * static_cast<std::uint32_t>(from) + static_cast<std::uint32_t>(DigitValue(digits[i]));
      multiplier *= static_cast<std::uint32_t>(from);
    }
    value.MultiplyAdd(begin == 0 ? multiplier : chunkMultiplier, chunk);
  }
  return InRadix(std::move(value), to);
}

}  // namespace quorvane
