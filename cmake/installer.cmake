# Wemlox.msi, the per-user installer, built on Linux by wixl (msitools) from
# cmake/Wemlox.wxs: Wemlox.exe and Graphics\ into
# %LOCALAPPDATA%\Programs\Wemlox, a Start-menu shortcut and an entry in the
# installed programs. Part of every build, so the test command builds the
# package it tests. `cmake --build --preset windows --target msi` builds it alone.
include(${CMAKE_CURRENT_LIST_DIR}/msi_version.cmake)

if(CMAKE_HOST_WIN32)
  message(STATUS "Wemlox.msi is built on Linux with wixl; not on this host")
  return()
endif()
# Debian package wixl; scripts/setup.sh installs it.
find_program(WEMLOX_WIXL wixl REQUIRED)

# Never to be changed: installed copies are found and upgraded through it.
set(WEMLOX_MSI_UPGRADE_CODE 5EE236A1-67E1-4A35-86BE-4EC67D18F61B)

wemlox_msi_version(${PROJECT_VERSION} WEMLOX_MSI_VERSION)
if(NOT WEMLOX_MSI_VERSION)
  message(FATAL_ERROR "No MSI version for ${PROJECT_VERSION}: ${WEMLOX_MSI_VERSION_ERROR}")
endif()

# Builds the package <output> of the built program at <msi_version>.
function(wemlox_add_msi output msi_version)
  get_filename_component(name ${output} NAME)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND}
      -DWIXL=${WEMLOX_WIXL} -DWXS=${CMAKE_SOURCE_DIR}/cmake/Wemlox.wxs
      -DPROGRAM_DIR=$<TARGET_FILE_DIR:Wemlox> -DEXE_NAME=$<TARGET_FILE_NAME:Wemlox>
      -DICON=${CMAKE_SOURCE_DIR}/res/wemlox.ico -DOUTPUT=${output}
      -DPRODUCT_VERSION=${msi_version} -DPROGRAM_VERSION=${PROJECT_VERSION}
      -DUPGRADE_CODE=${WEMLOX_MSI_UPGRADE_CODE}
      -P ${CMAKE_SOURCE_DIR}/cmake/msi_build.cmake
    DEPENDS Wemlox $<TARGET_FILE:Wemlox> ${CMAKE_SOURCE_DIR}/cmake/Wemlox.wxs
            ${CMAKE_SOURCE_DIR}/cmake/msi_build.cmake ${CMAKE_SOURCE_DIR}/res/wemlox.ico
    COMMENT "Packing ${name} (MSI version ${msi_version})"
    VERBATIM)
endfunction()

wemlox_add_msi(${CMAKE_BINARY_DIR}/Wemlox.msi ${WEMLOX_MSI_VERSION})
add_custom_target(msi ALL DEPENDS ${CMAKE_BINARY_DIR}/Wemlox.msi)

if(NOT WEMLOX_TESTS)
  return()
endif()

# The mapping from program to MSI versions, as plain CMake.
add_test(NAME msi_version COMMAND ${CMAKE_COMMAND} -P ${CMAKE_SOURCE_DIR}/tests/installer/msi_version_test.cmake)

# The round trip under Wine needs two more packages: the same version built
# again (a new ProductCode, as every build) and the next build number, a
# later program version that must upgrade in place.
string(REGEX MATCH "[0-9]+$" build_number ${PROJECT_VERSION})
math(EXPR next_build_number "${build_number} + 1")
string(REGEX REPLACE "[0-9]+$" ${next_build_number} next_program_version ${PROJECT_VERSION})
wemlox_msi_version(${next_program_version} next_msi_version)
wemlox_add_msi(${CMAKE_BINARY_DIR}/Wemlox-rebuild.msi ${WEMLOX_MSI_VERSION})
wemlox_add_msi(${CMAKE_BINARY_DIR}/Wemlox-next.msi ${next_msi_version})

add_executable(installer_tests ${CMAKE_SOURCE_DIR}/tests/installer/installer_test.cpp)
# -lmsi: the plain name would be the msi target above.
target_link_libraries(installer_tests PRIVATE wemlox_driver GTest::gtest_main -lmsi ole32 uuid shell32 advapi32)
target_link_options(installer_tests PRIVATE -static)
target_compile_options(installer_tests PRIVATE $<$<CONFIG:Release>:-O1>)  # test code: a quick compile
target_compile_definitions(installer_tests PRIVATE
  WEMLOX_MSI_UPGRADE_CODE=L"{${WEMLOX_MSI_UPGRADE_CODE}}"
  WEMLOX_MSI_VERSION=L"${WEMLOX_MSI_VERSION}" WEMLOX_NEXT_MSI_VERSION=L"${next_msi_version}")
# The test finds the packages beside itself.
set_target_properties(installer_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_target(installer_test_packages ALL
  DEPENDS ${CMAKE_BINARY_DIR}/Wemlox-rebuild.msi ${CMAKE_BINARY_DIR}/Wemlox-next.msi)
add_dependencies(installer_tests msi installer_test_packages Wemlox)
add_test(NAME installer COMMAND installer_tests)
set_tests_properties(installer PROPERTIES TIMEOUT 300)
