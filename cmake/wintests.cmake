# Windows-only tests: the stand-ins, the driver and the system tests that start
# the real Wemlox.exe under Wine.
add_executable(standin_viewer WIN32 ${CMAKE_SOURCE_DIR}/tests/standins/standin_viewer.cpp)
target_link_libraries(standin_viewer PRIVATE wemlox_shell)
target_link_options(standin_viewer PRIVATE -static -municode -mwindows)

add_library(wemlox_driver STATIC ${CMAKE_SOURCE_DIR}/tests/system/driver.cpp)
target_link_libraries(wemlox_driver PUBLIC wemlox_logic user32 gdi32 advapi32)
target_include_directories(wemlox_driver PUBLIC ${CMAKE_SOURCE_DIR}/tests/system)

file(GLOB WEMLOX_SYSTEM_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/system/*_test.cpp)
add_executable(wemlox_system_tests ${WEMLOX_SYSTEM_TESTS})
target_link_libraries(wemlox_system_tests PRIVATE wemlox_driver GTest::gtest_main)
target_link_options(wemlox_system_tests PRIVATE -static)
target_precompile_headers(wemlox_system_tests PRIVATE ${WEMLOX_TEST_PCH})
add_dependencies(wemlox_system_tests Wemlox standin_viewer)
# In shards that run side by side (ctest -j), each in a sandbox of its own
# (scripts/wine-run.sh); GoogleTest picks each shard's share of the tests.
set(WEMLOX_SYSTEM_SHARDS 6 CACHE STRING "Shards of the system tests")
math(EXPR last_shard "${WEMLOX_SYSTEM_SHARDS} - 1")
foreach(shard RANGE ${last_shard})
  add_test(NAME system_${shard} COMMAND wemlox_system_tests)
  set_tests_properties(system_${shard} PROPERTIES TIMEOUT 900 COST 100
    ENVIRONMENT "GTEST_TOTAL_SHARDS=${WEMLOX_SYSTEM_SHARDS};GTEST_SHARD_INDEX=${shard}")
endforeach()

# The driver as a command, for scripts/run.sh.
add_executable(wemlox_drive EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/system/drive_main.cpp ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(wemlox_drive PRIVATE wemlox_driver ws2_32 comctl32)
target_link_options(wemlox_drive PRIVATE -static -municode)

# The Win32 shell tested in-process against the real controls.
file(GLOB WEMLOX_WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*_test.cpp)
# With the program's version of the common controls (its manifest asks for it).
add_executable(wemlox_win_tests ${WEMLOX_WIN_TESTS} ${CMAKE_SOURCE_DIR}/tests/win/common_controls.rc)
set_source_files_properties(${CMAKE_SOURCE_DIR}/tests/win/common_controls.rc
                            PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/common_controls.manifest)
target_link_libraries(wemlox_win_tests PRIVATE wemlox_shell wemlox_driver GTest::gtest_main)
target_link_options(wemlox_win_tests PRIVATE -static)
target_precompile_headers(wemlox_win_tests PRIVATE ${WEMLOX_TEST_PCH})
add_dependencies(wemlox_win_tests Wemlox standin_viewer)
add_test(NAME win COMMAND wemlox_win_tests)

# Benchmarks: programs that print figures; scripts/bench.sh builds and runs
# them (no test needs them, so a plain build leaves them out).
add_executable(journal_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/journal_bench.cpp)
target_link_libraries(journal_bench PRIVATE wemlox_shell)
target_link_options(journal_bench PRIVATE -static -municode)

add_executable(startup_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE wemlox_driver)
target_link_options(startup_bench PRIVATE -static -municode)
add_dependencies(startup_bench Wemlox)

# Benchmarks of the transfer against the card simulator.
add_executable(transfer_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/transfer_bench.cpp
                              ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(transfer_bench PRIVATE wemlox_shell wemlox_driver ws2_32 comctl32)
target_link_options(transfer_bench PRIVATE -static -municode)
add_dependencies(transfer_bench card_simulator)

add_executable(shot_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/shot_bench.cpp
                          ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(shot_bench PRIVATE wemlox_driver CURL::libcurl ws2_32 comctl32)
target_link_options(shot_bench PRIVATE -static -municode)
add_dependencies(shot_bench Wemlox card_simulator standin_viewer)

add_executable(pickup_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/pickup_bench.cpp
                            ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(pickup_bench PRIVATE wemlox_driver CURL::libcurl ws2_32 comctl32)
target_link_options(pickup_bench PRIVATE -static -municode)
add_dependencies(pickup_bench Wemlox card_simulator standin_viewer)

add_executable(inbox_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/inbox_bench.cpp)
target_link_libraries(inbox_bench PRIVATE wemlox_driver)
target_link_options(inbox_bench PRIVATE -static -municode)
add_dependencies(inbox_bench Wemlox standin_viewer)

add_executable(latency_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/tests/bench/latency_bench.cpp
                             ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(latency_bench PRIVATE wemlox_driver ws2_32 comctl32)
target_link_options(latency_bench PRIVATE -static -municode)
add_dependencies(latency_bench Wemlox card_simulator standin_viewer)

add_executable(backup_bench ${CMAKE_SOURCE_DIR}/tests/bench/backup_bench.cpp)
target_link_libraries(backup_bench PRIVATE wemlox_driver)
target_link_options(backup_bench PRIVATE -static -municode)
add_dependencies(backup_bench Wemlox)

# A day of shooting compressed into minutes against the card simulator; the
# long run is scripts/soak.sh, the short run is part of the test command.
add_executable(soak ${CMAKE_SOURCE_DIR}/tests/soak/soak_main.cpp ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
target_link_libraries(soak PRIVATE wemlox_driver ws2_32 comctl32)
target_link_options(soak PRIVATE -static -municode)
add_dependencies(soak Wemlox card_simulator standin_viewer wemlox_drive)
# The short day: 100 pictures, the card asleep for 8 s instead of half a minute,
# one counter wrap and one restart (Wemlox killed in a burst), and a second
# card beside it (it costs the day no time: it shoots between the first
# card's bursts).
add_test(NAME soak COMMAND soak --pictures 100 --seed 12 --sleep-seconds 8 --two-cards)
set_tests_properties(soak PROPERTIES TIMEOUT 1200 COST 200)

# Test code is built for a quick compile: it waits on the program far more
# than it computes. The program and its libraries keep the release options.
if(NOT MSVC)
  foreach(target wemlox_unit_tests wemlox_system_tests wemlox_win_tests wemlox_driver soak gtest gtest_main)
    target_compile_options(${target} PRIVATE $<$<CONFIG:Release>:-O1>)
  endforeach()
endif()
