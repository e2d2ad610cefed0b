# One interface target that every project target links: the language
# standard, the warnings and the defines live here and nowhere else.
add_library(vhb_options INTERFACE)
target_compile_features(vhb_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(vhb_options INTERFACE -Wall -Wextra)
if(VHB_WERROR)
  target_compile_options(vhb_options INTERFACE -Werror)
endif()
if(VHB_SANITIZE)
  target_compile_options(vhb_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(vhb_options INTERFACE -fsanitize=address,undefined)
endif()
# The version text the program shows; the Windows file's version resource
# is made from it too, so it must name the project's version.
set(VHB_VERSION_TEXT "Ver 1.5-190416")
string(REGEX REPLACE "^Ver " "" VHB_VERSION_LABEL "${VHB_VERSION_TEXT}")
string(FIND "${VHB_VERSION_LABEL}-" "${PROJECT_VERSION}-" VHB_VERSION_AT)
if(NOT VHB_VERSION_AT EQUAL 0)
  message(FATAL_ERROR "VHB_VERSION_TEXT \"${VHB_VERSION_TEXT}\" does not name project version ${PROJECT_VERSION}")
endif()
target_compile_definitions(vhb_options INTERFACE
  VHB_VERSION_TEXT="${VHB_VERSION_TEXT}")
if(WIN32)
  target_compile_definitions(vhb_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

# vhb_add_test(NAME SOURCES files... LIBS libs... [QT] [TIMEOUT s])
# One test executable per module; QT ones run on the offscreen platform.
function(vhb_add_test name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE vhb_options ${T_LIBS} GTest::gtest GTest::gtest_main)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_QT)
    # The windows bind the program's fixed ports (9100, 9010): two of these
    # tests at once in one network namespace would take each other's ports.
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
                         RESOURCE_LOCK vhb_fixed_ports)
  endif()
endfunction()
