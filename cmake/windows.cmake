# The Windows program: Wemlox.exe with its resources, statically linked, and
# the zip a user unpacks and runs.
find_package(JPEG REQUIRED)
find_package(CURL REQUIRED)

add_library(wemlox_shell STATIC
  src/core/app.cpp
  src/core/log_button.cpp
  src/ui/bar.cpp
  src/ui/images.cpp
  src/ui/info_panel.cpp
  src/ui/thumb_area.cpp
  src/viewer/commands.cpp
  src/viewer/desktop.cpp
  src/viewer/handover.cpp
  src/viewer/window_search.cpp
  src/flashair/card_http.cpp
  src/flashair/card_thread.cpp
  src/flashair/card_views.cpp
  src/flashair/download.cpp
  src/flashair/transfer.cpp
  src/flashair/thumbs.cpp
  src/ui/tree_menu.cpp
)
target_link_libraries(wemlox_shell PUBLIC wemlox_logic JPEG::JPEG CURL::libcurl
  comctl32 comdlg32 gdi32 msimg32 user32 shell32 kernel32 wininet iphlpapi ws2_32)

add_executable(Wemlox WIN32 src/main.cpp res/wemlox.rc)
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
