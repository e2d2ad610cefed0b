# Per-OS files of the platform layer: foo_linux.cpp or foo_win.cpp.
target_include_directories(vhb_platform PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/system_${VHB_OS_SUFFIX}.cpp
  ${CMAKE_CURRENT_LIST_DIR}/instance_lock.h
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/instance_lock_${VHB_OS_SUFFIX}.cpp)

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

# --- the UDP endpoint's socket: POSIX or Winsock calls ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/udp_socket.h
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/udp_socket_${VHB_OS_SUFFIX}.cpp)
if(NOT WIN32)
  target_sources(vhb_platform PRIVATE ${CMAKE_CURRENT_LIST_DIR}/linux/udp_socket_linux.h)
endif()
# --- end UDP endpoint's socket ---

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

# --- processor time: the library's name, and on Linux our own module over /proc ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pdhlib.h
  ${CMAKE_CURRENT_LIST_DIR}/${VHB_OS}/pdhlib_${VHB_OS_SUFFIX}.cpp)
if(NOT WIN32)
  # Loaded by name at the first counter call, from the program's own folder.
  add_library(vhb-pdh MODULE
    ${CMAKE_CURRENT_LIST_DIR}/linux/pdh_module/vhb_pdh_linux.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linux/pdh_module/proc_scan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/linux/pdh_module/proc_scan.h)
  set_target_properties(vhb-pdh PROPERTIES
    OUTPUT_NAME vhb-pdh
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_libraries(vhb-pdh PRIVATE vhb_options vhb_core)
  # Only the five functions leave the module; the core linked into it stays private.
  target_link_options(vhb-pdh PRIVATE -Wl,--exclude-libs,ALL)
  if(VHB_BUILD_SHELL)
    # The program finds the module only when it is built beside it.
    add_dependencies(vhb_shell vhb-pdh)
  endif()
endif()
# --- end processor time ---
