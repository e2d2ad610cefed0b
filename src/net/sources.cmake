# files of src/net

# --- UDP endpoint: dotted address reading (core) and TNMUDP (shell) ---
target_sources(vhb_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/dotted_address.cpp)
if(VHB_BUILD_SHELL)
  target_sources(vhb_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/nmudp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/nmudp.h)
endif()
# --- end UDP endpoint ---

# --- late binding (platform) and the local address octets (core) ---
target_sources(vhb_platform PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/latebind.cpp
  ${CMAKE_CURRENT_LIST_DIR}/latebind.h)
target_sources(vhb_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/local_octets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/local_octets.h
  ${CMAKE_CURRENT_LIST_DIR}/local_address.cpp
  ${CMAKE_CURRENT_LIST_DIR}/local_address.h)
# --- end late binding and local address octets ---
