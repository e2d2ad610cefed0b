# --- core: counter path and rate (shared with the Linux module), CPU load evaluation ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/counter_path.cpp
  ${CMAKE_CURRENT_LIST_DIR}/counter_path.h
  ${CMAKE_CURRENT_LIST_DIR}/cpu_evaluation.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cpu_evaluation.h
  ${CMAKE_CURRENT_LIST_DIR}/pdh_api.h)
# The processor-time module links the core into a loadable library.
set_target_properties(vhb_core PROPERTIES POSITION_INDEPENDENT_CODE ON)

# --- platform: the performance-counter functions bound at their first call ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pdh.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pdh.h)

# --- shell: the application watch and the settings window's side of it ---
if(VHB_BUILD_SHELL)
  target_sources(vhb_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/cpu_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cpu_watch.h
    ${CMAKE_CURRENT_LIST_DIR}/sampling_form.cpp)
endif()
