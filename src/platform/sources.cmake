# Per-OS files of the platform layer: foo_linux.cpp or foo_win.cpp.
target_include_directories(vhb_platform PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/system_${VHB_OS_SUFFIX}.cpp)

# --- late binding: finding libraries and the bound host functions ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/dynlib.h
  ${CMAKE_CURRENT_LIST_DIR}/hostaddr.h
  ${CMAKE_CURRENT_LIST_DIR}/host_functions.h
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/dynlib_${VHB_OS_SUFFIX}.cpp
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/hostaddr_${VHB_OS_SUFFIX}.cpp)
if(WIN32)
  # Only WSAStartup is linked the ordinary way; the host functions are bound
  # at their first call.
  target_link_libraries(vhb_platform PUBLIC ws2_32)
endif()
# --- end late binding ---

# --- startup shortcut: desktop entry (Linux) or shell link (Windows) ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/shortcut.h
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/shortcut_${VHB_OS_SUFFIX}.cpp)
if(WIN32)
  # The shell-link object is created through COM; the shell32 functions are
  # bound at their first call.
  target_link_libraries(vhb_platform PUBLIC ole32)
endif()
# --- end startup shortcut ---
