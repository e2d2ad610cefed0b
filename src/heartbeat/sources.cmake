# --- core: the heartbeat datagram ---
target_sources(vhb_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/datagram.cpp)

# --- shell: the settings window's heartbeat handlers ---
if(VHB_BUILD_SHELL)
  target_sources(vhb_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/sender.cpp
    ${CMAKE_CURRENT_LIST_DIR}/discovery_form.cpp)
endif()

# --- core: the discovery request and the discovery reply check ---
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/discovery.cpp
  ${CMAKE_CURRENT_LIST_DIR}/discovery.h)
# --- end discovery ---
