#pragma once

#include "web/encodings.h"

#include <QString>

#include <string>
#include <string_view>

// The program's texts are GBK; widgets hold UTF-16. These are the only crossings, kept in
// the lowest Qt layer so that the hand-off and the window share them.
namespace quorvane {

inline QString ToQString(std::string_view gbk) { return QString::fromStdU16String(GbkToUtf16(gbk)); }

inline std::string FromQString(const QString& text) { return Utf16ToGbk(text.toStdU16String()); }

}  // namespace quorvane
