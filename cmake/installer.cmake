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
