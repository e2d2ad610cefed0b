# --- core: number reading, timestamp ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/number.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timestamp.cpp)

# --- core: texts of the sources in the system's 8-bit encoding ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/system_text.h
  ${CMAKE_CURRENT_LIST_DIR}/system_text.cpp)

# --- core: the guard around every handler the toolkit calls ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/guard.h
  ${CMAKE_CURRENT_LIST_DIR}/guard.cpp)
