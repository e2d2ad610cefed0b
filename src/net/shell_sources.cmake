# --- shell: the device search handlers of the settings window ---
target_sources(vhb_shell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/search_form.cpp)
