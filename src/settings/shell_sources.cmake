# --- shell: the settings window ---
target_sources(vhb_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/form2.h
  ${CMAKE_CURRENT_LIST_DIR}/form2.cpp
  ${CMAKE_CURRENT_LIST_DIR}/form_look.h
  ${CMAKE_CURRENT_LIST_DIR}/form_look.cpp
  ${CMAKE_CURRENT_LIST_DIR}/controls.h
  ${CMAKE_CURRENT_LIST_DIR}/controls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settings_form.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shortcut_form.cpp)
