#pragma once

#include <optional>
#include <string>
#include <string_view>

// The program keeps its text in GBK; these bring text that arrives in other
// encodings into GBK. Every input is read as text: up to its first zero byte.
namespace quorvane {

// UTF-16 code units ending in one zero unit.
using WideBuffer = std::u16string;

// UTF-8 to GBK; invalid UTF-8 and characters GBK lacks become "?".
std::string Utf8ToGbk(std::string_view text);

// Big5 to GBK, traditional characters replaced by their simplified forms.
std::string Big5ToGbk(std::string_view text);

// The text decoded from `codePage` (UTF-8 when omitted), zero unit included.
WideBuffer TextToWide(std::string_view text, std::optional<unsigned> codePage = std::nullopt);

// The units up to the first zero unit written in `codePage` (the system code page,
// GBK, when omitted); characters it cannot write become its default character.
std::string WideToText(std::u16string_view wide, std::optional<unsigned> codePage = std::nullopt);

// Big5 to GBK without changing characters; the text ends before the first character
// GBK cannot write. Invalid Big5 bytes become "?".
std::string RecodeBig5(std::string_view text);

// Traditional Chinese characters in a GBK text replaced by their simplified forms.
std::string ToSimplifiedChinese(std::string_view text);

// GBK text to UTF-16 and back, for the edges where text leaves the program
// (widgets, the file system, the expression engine).
std::u16string GbkToUtf16(std::string_view text);
std::string Utf16ToGbk(std::u16string_view units);

// The bytes up to the first zero byte: a byte string read as text.
std::string_view AsText(std::string_view bytes);

}  // namespace quorvane
