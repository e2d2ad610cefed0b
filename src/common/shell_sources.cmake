# --- shell: the user's separators for the status texts ---
target_sources(vhb_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/user_locale.h
  ${CMAKE_CURRENT_LIST_DIR}/user_locale.cpp)
