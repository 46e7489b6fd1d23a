# The Windows build for now: the portable part of the core with the Windows adapters,
# and the tests of both, which run under Wine through CMAKE_CROSSCOMPILING_EMULATOR.
add_library(quorvane_core STATIC
  src/util/text_search.cpp
  src/util/text_pieces.cpp
  src/resolve/full_width.cpp
  src/resolve/number_rules.cpp
  src/resolve/size_text.cpp
  src/platform/windows/code_page_converter_win.cpp
  src/platform/windows/chinese_script_win.cpp)
target_include_directories(quorvane_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(quorvane_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE _WIN32_WINNT=0x0A00)
target_link_libraries(quorvane_core PRIVATE quorvane_warnings)

if(NOT QUORVANE_TESTS)
  return()
endif()
enable_testing()

# Debian's GoogleTest library is built for Linux; its sources build for the target.
set(QUORVANE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources to build for the target")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUORVANE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

function(quorvane_windows_test name)
  add_executable(${name} ${ARGN})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE quorvane_core quorvane_warnings GTest::gtest GTest::gtest_main)
  # Listing the cases runs the program under Wine: at test time, not at build time.
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 DISCOVERY_MODE PRE_TEST)
endfunction()

quorvane_windows_test(util_text_tests
  tests/util/text_search_test.cpp
  tests/util/text_pieces_test.cpp)

quorvane_windows_test(resolve_number_tests
  tests/resolve/number_rules_test.cpp
  tests/resolve/size_text_test.cpp)

quorvane_windows_test(code_page_tests
  tests/web/code_page_converter_test.cpp
  tests/platform/windows/chinese_script_win_test.cpp)

# The stand-ins over Winsock, so each test program is whole on its own. Debian's
# cpp-httplib package holds only declarations; its source package has the whole header.
set(QUORVANE_HTTPLIB_SOURCE /usr/local/src/cpp-httplib CACHE PATH "cpp-httplib's source (scripts/install-deps.sh windows)")
if(NOT EXISTS ${QUORVANE_HTTPLIB_SOURCE}/httplib.h)
  message(FATAL_ERROR "No httplib.h in ${QUORVANE_HTTPLIB_SOURCE}: run scripts/install-deps.sh linux windows")
endif()
add_library(quorvane_standins STATIC
  standins/raw_http_server.cpp
  standins/httplib_runner.cpp
  standins/download_standin.cpp
  standins/resolver_standin.cpp)
target_include_directories(quorvane_standins PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(quorvane_standins SYSTEM PRIVATE ${QUORVANE_HTTPLIB_SOURCE})
target_link_libraries(quorvane_standins PUBLIC quorvane_core ws2_32 PRIVATE quorvane_warnings)

quorvane_windows_test(standin_tests
  tests/standins/standins_test.cpp)
target_link_libraries(standin_tests PRIVATE quorvane_standins)

# The transfer over WinInet, tested against the stand-ins.
target_sources(quorvane_core PRIVATE
  src/web/request_composition.cpp
  src/web/transfer_address.cpp
  src/web/redirect_rules.cpp
  src/platform/windows/wininet_transfer.cpp)
target_link_libraries(quorvane_core PUBLIC wininet)
quorvane_windows_test(wininet_transfer_tests
  tests/platform/windows/wininet_transfer_test.cpp)
target_link_libraries(wininet_transfer_tests PRIVATE quorvane_standins)
