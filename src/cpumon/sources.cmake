# --- shell: the settings window's processor-time handlers ---
if(VHB_BUILD_SHELL)
  target_sources(vhb_shell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sampling_form.cpp)
endif()
