# --- core: paths, INI layer, settings record ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/paths.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ini_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/heartbeat_settings.cpp)
