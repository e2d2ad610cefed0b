# --- shell: the one lossless mapping between the 8-bit texts and the
# controls, and the user's separators for the status texts ---
target_sources(vhb_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/local_text.h
  ${CMAKE_CURRENT_LIST_DIR}/local_text.cpp
  ${CMAKE_CURRENT_LIST_DIR}/user_locale.h
  ${CMAKE_CURRENT_LIST_DIR}/user_locale.cpp)
