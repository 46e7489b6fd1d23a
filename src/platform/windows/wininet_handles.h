#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <string_view>

// Owning wrappers for WinInet handles, and text at the edge of the wide-character
// functions: the program's texts are bytes in the system code page.
namespace quorvane::wininet {

struct InternetCloser {
  void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetCloser>;

// Bytes of the system code page as UTF-16 for a W function.
std::wstring Widen(std::string_view bytes);

// UTF-16 from a W function as bytes of the system code page.
std::string Narrow(std::wstring_view text);

}  // namespace quorvane::wininet
