# Native-only tools: libFuzzer targets (clang), run briefly as tests, and the
# benchmarks (built optimised and without sanitizers, so their figures mean
# something; they are run by hand, never as timed tests).
option(WEMLOX_FUZZ "Build the libFuzzer targets (clang only) and run each briefly as a test" OFF)
option(WEMLOX_BENCH "Build the benchmarks" OFF)
set(WEMLOX_FUZZ_SECONDS 25 CACHE STRING "Seconds each fuzz target runs as a test")

if(WEMLOX_FUZZ AND CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  # The logic again, with the coverage the fuzzer steers by.
  add_library(wemlox_logic_fuzz STATIC ${WEMLOX_LOGIC_SOURCES})
  target_include_directories(wemlox_logic_fuzz PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(wemlox_logic_fuzz PRIVATE -O1 -fsanitize=fuzzer-no-link,address)
  foreach(name listing settings settings_form record ledger)
    add_executable(fuzz_${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}_fuzz.cpp)
    target_link_libraries(fuzz_${name} PRIVATE wemlox_logic_fuzz)
    target_compile_options(fuzz_${name} PRIVATE -O1 -fsanitize=fuzzer,address)
    target_link_options(fuzz_${name} PRIVATE -fsanitize=fuzzer,address)
    # New inputs go to the build tree; the seeds in the source tree stay as they are.
    set(corpus ${CMAKE_BINARY_DIR}/fuzz-corpus/${name})
    file(MAKE_DIRECTORY ${corpus})
    add_test(NAME fuzz_${name}
             COMMAND fuzz_${name} -max_total_time=${WEMLOX_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
                     -print_final_stats=1 ${corpus} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name})
    set_tests_properties(fuzz_${name} PROPERTIES TIMEOUT 180 LABELS fuzz)
  endforeach()
endif()

if(WEMLOX_BENCH)
  find_package(benchmark REQUIRED)
  # Built only on demand (scripts/bench.sh): no test needs them.
  add_library(wemlox_logic_bench STATIC EXCLUDE_FROM_ALL ${WEMLOX_LOGIC_SOURCES})
  target_include_directories(wemlox_logic_bench PUBLIC ${CMAKE_SOURCE_DIR}/src)
  add_executable(wemlox_benchmarks EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/card_bench.cpp)
  target_link_libraries(wemlox_benchmarks PRIVATE wemlox_logic_bench benchmark::benchmark)
  foreach(target wemlox_logic_bench wemlox_benchmarks)
    # Replaces the sanitizer flags the directory gives every target.
    set_property(TARGET ${target} PROPERTY COMPILE_OPTIONS -O2 -Wall -Wextra -Wno-unused-parameter)
    set_property(TARGET ${target} PROPERTY LINK_OPTIONS "")
    target_compile_definitions(${target} PRIVATE NDEBUG)
  endforeach()
endif()

# What crosses threads, again under ThreadSanitizer (it cannot share a build
# with AddressSanitizer): the card thread's queue, mailbox and cancel gate,
# and cards transferring side by side.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_executable(wemlox_tsan_tests ${CMAKE_SOURCE_DIR}/tests/unit/card_worker_test.cpp
                                   ${CMAKE_SOURCE_DIR}/tests/unit/transfer_pipeline_test.cpp
                                   ${WEMLOX_LOGIC_SOURCES})
  target_include_directories(wemlox_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(wemlox_tsan_tests PRIVATE GTest::gtest_main Threads::Threads)
  set_property(TARGET wemlox_tsan_tests PROPERTY COMPILE_OPTIONS -O1 -g -fsanitize=thread -Wall -Wextra)
  set_property(TARGET wemlox_tsan_tests PROPERTY LINK_OPTIONS -fsanitize=thread)
  add_test(NAME tsan COMMAND wemlox_tsan_tests)
  set_tests_properties(tsan PROPERTIES ENVIRONMENT
                      "TSAN_OPTIONS=halt_on_error=1 suppressions=${CMAKE_SOURCE_DIR}/tests/unit/tsan.supp")
endif()
