# The Windows program: Wemlox.exe with its resources, statically linked, and
# the zip a user unpacks and runs.
find_package(JPEG REQUIRED)
find_package(CURL REQUIRED)

file(GLOB WEMLOX_WIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/win/*.cpp)
add_library(wemlox_win STATIC ${WEMLOX_WIN_SOURCES})
target_link_libraries(wemlox_win PUBLIC wemlox_model JPEG::JPEG CURL::libcurl
  comctl32 comdlg32 gdi32 msimg32 user32 shell32 shlwapi ole32 uuid kernel32 advapi32 wininet iphlpapi ws2_32)

file(GLOB WEMLOX_UI_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/ui/*.cpp)
add_library(wemlox_ui STATIC ${WEMLOX_UI_SOURCES})
target_link_libraries(wemlox_ui PUBLIC wemlox_win)

file(GLOB WEMLOX_APP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/app/*.cpp)
list(FILTER WEMLOX_APP_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(wemlox_app STATIC ${WEMLOX_APP_SOURCES})
target_link_libraries(wemlox_app PUBLIC wemlox_ui comdlg32)

# Everything but the entry point, for the in-process tests and benchmarks.
add_library(wemlox_shell INTERFACE)
target_link_libraries(wemlox_shell INTERFACE wemlox_app)

add_executable(Wemlox WIN32 src/app/main.cpp res/wemlox.rc)
# The resource script embeds the manifest: a changed manifest rebuilds it.
set_source_files_properties(res/wemlox.rc PROPERTIES OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/wemlox.manifest)
target_link_libraries(Wemlox PRIVATE wemlox_shell)
if(NOT MSVC)
  target_link_options(Wemlox PRIVATE -static -municode -mwindows)
endif()

# The button images live beside the program.
add_custom_command(TARGET Wemlox POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/graphics $<TARGET_FILE_DIR:Wemlox>/Graphics
  COMMAND ${CMAKE_COMMAND} -E remove -f $<TARGET_FILE_DIR:Wemlox>/Graphics/draw_artwork.py)

# A zip a Windows user unpacks and runs: Wemlox.exe, Graphics\, README.
set(WEMLOX_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package/Wemlox)
add_custom_target(package
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/package
  COMMAND ${CMAKE_COMMAND} -E make_directory ${WEMLOX_PACKAGE_DIR}/Graphics
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:Wemlox> ${WEMLOX_PACKAGE_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_directory $<TARGET_FILE_DIR:Wemlox>/Graphics ${WEMLOX_PACKAGE_DIR}/Graphics
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/README.md ${WEMLOX_PACKAGE_DIR}/README.txt
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/package ${CMAKE_COMMAND} -E tar cf ${CMAKE_BINARY_DIR}/Wemlox.zip --format=zip Wemlox
  DEPENDS Wemlox
  COMMENT "Packing Wemlox.zip")

# Wemlox.msi, the per-user installer.
include(${CMAKE_CURRENT_LIST_DIR}/installer.cmake)
