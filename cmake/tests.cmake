# Test targets of both presets. Unit tests of the platform-free logic run
# natively (with sanitizers) and, in the Windows build, under Wine.
if(WIN32)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  set(WEMLOX_GTEST_MAIN GTest::gtest_main)
  if(NOT TARGET GTest::gtest_main)
    add_library(GTest::gtest_main ALIAS gtest_main)
    add_library(GTest::gtest ALIAS gtest)
  endif()
else()
  find_package(GTest REQUIRED)
  set(WEMLOX_GTEST_MAIN GTest::gtest_main)
endif()

file(GLOB WEMLOX_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*_test.cpp)
add_executable(wemlox_unit_tests ${WEMLOX_UNIT_TESTS})
target_link_libraries(wemlox_unit_tests PRIVATE wemlox_logic ${WEMLOX_GTEST_MAIN})
# Every test file begins with GoogleTest's header: parsed once, not per file.
set(WEMLOX_TEST_PCH <gtest/gtest.h> <string> <vector>)
target_precompile_headers(wemlox_unit_tests PRIVATE ${WEMLOX_TEST_PCH})
if(WIN32)
  target_link_options(wemlox_unit_tests PRIVATE -static)
endif()
add_test(NAME unit COMMAND wemlox_unit_tests)
if(NOT WIN32)
  # Every #include runs down the layers.
  add_test(NAME layers COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check_layers.sh)
endif()

if(WIN32)
  include(${CMAKE_SOURCE_DIR}/cmake/wintests.cmake OPTIONAL)
endif()

# For scripts/run.sh, which builds it by name.
add_executable(make_settings EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/tools/make_settings.cpp)
target_link_libraries(make_settings PRIVATE wemlox_logic)
if(WIN32)
  target_link_options(make_settings PRIVATE -static)
endif()

include(${CMAKE_SOURCE_DIR}/cmake/card_simulator.cmake)
if(NOT WIN32)
  include(${CMAKE_SOURCE_DIR}/cmake/native_tools.cmake)
endif()
