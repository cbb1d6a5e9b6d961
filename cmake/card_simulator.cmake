# The card simulator, a test and demo program: built by both presets, its
# core unit-tested natively. The Windows system tests start the Windows build
# themselves, so the suite runs the same on a real Windows machine.
set(WEMLOX_SIM_DIR ${CMAKE_SOURCE_DIR}/tests/standins/card_simulator)
add_library(card_sim_core STATIC ${WEMLOX_SIM_DIR}/sim_card.cpp ${WEMLOX_SIM_DIR}/sim_picture.cpp)
target_include_directories(card_sim_core PUBLIC ${WEMLOX_SIM_DIR})

find_package(Threads REQUIRED)
add_executable(card_simulator ${WEMLOX_SIM_DIR}/sim_main.cpp)
target_link_libraries(card_simulator PRIVATE card_sim_core Threads::Threads)
if(WIN32)
  target_link_libraries(card_simulator PRIVATE ws2_32)
  target_link_options(card_simulator PRIVATE -static)
endif()

target_link_libraries(wemlox_unit_tests PRIVATE card_sim_core)

if(TARGET wemlox_system_tests)
  target_sources(wemlox_system_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/system/card_support.cpp)
  target_link_libraries(wemlox_system_tests PRIVATE ws2_32 comctl32)
  add_dependencies(wemlox_system_tests card_simulator)
endif()
