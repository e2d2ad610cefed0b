# --- startup shortcut: the autostart entry's content (core) ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/autostart_entry.h
  ${CMAKE_CURRENT_LIST_DIR}/autostart_entry.cpp)
# --- end startup shortcut ---
