# GoogleTest for the build. A native build takes the installed package; a
# cross build compiles Debian's GoogleTest sources with the same toolchain,
# since the installed libraries are for the build machine only.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(GTest REQUIRED)
  return()
endif()

set(VHB_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources for a cross build")
if(NOT EXISTS "${VHB_GTEST_SOURCE_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "GoogleTest sources not found in ${VHB_GTEST_SOURCE_DIR} (Debian package googletest)")
endif()

set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory("${VHB_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)

# The names the tests link, as the installed package offers them.
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
endif()
if(NOT TARGET GTest::gtest_main)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
