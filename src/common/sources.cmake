# --- core: number reading, timestamp ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/number.cpp
  ${CMAKE_CURRENT_LIST_DIR}/timestamp.cpp)
