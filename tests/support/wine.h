#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

namespace quorvane::testing {

// Whether this Windows program runs under Wine, which differs from Windows in places
// (Wine 8's LCMapStringEx leaves traditional Chinese characters unchanged).
inline bool RunningUnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace quorvane::testing

// Skips a test of the traditional -> simplified mapping where the platform lacks it.
#define QUORVANE_SKIP_WITHOUT_CHINESE_SIMPLIFICATION()                             \
  if (::quorvane::testing::RunningUnderWine()) {                                   \
    GTEST_SKIP() << "Wine's LCMapStringEx leaves traditional characters unchanged"; \
  }
