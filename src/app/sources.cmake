# --- shell: entry, hidden main window, start-up, tray icon ---
target_sources(vhb_shell PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/application.h
  ${CMAKE_CURRENT_LIST_DIR}/application.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
  ${CMAKE_CURRENT_LIST_DIR}/dialogs.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hb_main.h
  ${CMAKE_CURRENT_LIST_DIR}/hb_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/icon.h
  ${CMAKE_CURRENT_LIST_DIR}/icon.cpp
  ${CMAKE_CURRENT_LIST_DIR}/single_instance.h
  ${CMAKE_CURRENT_LIST_DIR}/single_instance.cpp)

add_executable(vesk-hb ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(vesk-hb PRIVATE vhb_options vhb_shell)
install(TARGETS vesk-hb RUNTIME DESTINATION bin)
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/resources.cmake)
endif()
