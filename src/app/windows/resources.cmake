# --- the program file as Windows sees it: a windowed program with its icon,
# version and manifest ---
# No console window (and so no taskbar button) beside the hidden main window.
set_target_properties(vesk-hb PROPERTIES WIN32_EXECUTABLE ON)
# The version numbers and texts come from the project's version and
# VHB_VERSION_TEXT (cmake/VhbOptions.cmake), nowhere else.
enable_language(RC)
set(VHB_RC_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(VHB_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
configure_file(${CMAKE_CURRENT_LIST_DIR}/vesk-hb.rc.in ${CMAKE_CURRENT_BINARY_DIR}/vesk-hb.rc @ONLY)
target_sources(vesk-hb PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/vesk-hb.rc)
# windres reads these itself; the build must follow their changes.
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/vesk-hb.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/vesk-hb.ico;${CMAKE_CURRENT_LIST_DIR}/vesk-hb.manifest")
