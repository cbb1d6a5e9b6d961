# Checks the mapping from program versions to MSI ProductVersions: known
# values, growth across every kind of date boundary, and refusal of versions
# that do not fit. Run as: cmake -P msi_version_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/msi_version.cmake)

set(failures 0)
macro(fail text)
  message(SEND_ERROR "${text}")
  math(EXPR failures "${failures} + 1")
endmacro()

foreach(case
    "2017.11.14.4268=25.127.4268"
    "2000.1.1.0=0.0.0"
    "2000.9.13.7=1.0.7"
    "2100.3.1.9=142.232.9"         # 2100 is no leap year
    "2017.01.05.0012=24.70.12"
    "2179.6.6.65535=255.255.65535")
  string(REPLACE "=" ";" pair "${case}")
  list(GET pair 0 program)
  list(GET pair 1 expected)
  wemlox_msi_version(${program} got)
  if(NOT got STREQUAL expected)
    fail("${program} gave '${got}' (${got_ERROR}), expected ${expected}")
  endif()
endforeach()

# Each version is later than the one before it; so must its MSI version be,
# compared field by field as Windows Installer does.
set(previous "")
foreach(program
    2000.1.1.0 2000.1.1.1 2000.1.31.9 2000.2.1.0 2000.2.29.0 2000.3.1.0
    2000.9.12.65535 2000.9.13.0           # the low byte wraps into the high one
    2000.12.31.0 2001.1.1.0 2016.2.29.0 2017.11.14.4268 2017.11.14.4269
    2017.11.15.0 2099.12.31.0 2100.2.28.0 2100.3.1.0 2179.6.6.0)
  wemlox_msi_version(${program} current)
  if(NOT current)
    fail("${program} was refused: ${current_ERROR}")
  elseif(previous AND NOT current VERSION_GREATER previous)
    fail("${program} gave ${current}, not above ${previous}")
  endif()
  set(previous ${current})
endforeach()

foreach(program 1999.12.31.1 2179.6.7.0 2017.11.14.65536 2017.13.1.1 2017.0.1.1
                2017.2.29.1 2100.2.29.1 2017.4.31.1 2017.11.0.1 2017.11.14 v2017.11.14.1)
  wemlox_msi_version(${program} refused)
  if(NOT refused STREQUAL "" OR NOT refused_ERROR)
    fail("${program} was not refused (gave '${refused}')")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "msi_version: ${failures} failed")
endif()
message(STATUS "msi_version: all passed")
