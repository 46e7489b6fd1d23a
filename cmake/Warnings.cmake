# Warnings for the project's own targets; third-party headers come in as system headers.
add_library(quorvane_warnings INTERFACE)
target_compile_options(quorvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wimplicit-fallthrough)
if(QUORVANE_WERROR)
  target_compile_options(quorvane_warnings INTERFACE -Werror)
endif()
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  # GCC 12 reports false overlaps inside std::string's operator+ at -O2 and above (GCC bug 105329).
  target_compile_options(quorvane_warnings INTERFACE -Wno-restrict)
endif()
