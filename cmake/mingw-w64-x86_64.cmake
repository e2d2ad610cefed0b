# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model,
# so that std::thread and std::mutex are available).
#   cmake -S . -B build-win -G Ninja \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#     -DVHB_BUILD_SHELL=OFF -DVHB_BUILD_BENCH=OFF
# The whole program also needs Qt for Windows (scripts/windows builds it):
#     -DVHB_QT_WIN_PREFIX=<installed Qt> -DQT_HOST_PATH=/usr
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VHB_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VHB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VHB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VHB_MINGW_TRIPLE}-windres)

# Look for libraries and headers only in the target's tree, programs only on
# the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${VHB_MINGW_TRIPLE})
if(VHB_QT_WIN_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${VHB_QT_WIN_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Static runtime: the executables run without the MinGW runtime DLLs beside
# them (on a workstation as under Wine). With Qt the program shares the
# runtime DLLs that the Qt DLLs were linked against: one C++ runtime in the
# process, whose exceptions cross the Qt frames of an event handler.
# No link time in the PE headers either: two builds of one commit give the
# same files.
set(VHB_MINGW_LINK_FLAGS "-Wl,--no-insert-timestamp")
if(NOT VHB_QT_WIN_PREFIX)
  string(PREPEND VHB_MINGW_LINK_FLAGS "-static -static-libgcc -static-libstdc++ ")
endif()
set(CMAKE_EXE_LINKER_FLAGS_INIT "${VHB_MINGW_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${VHB_MINGW_LINK_FLAGS}")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${VHB_MINGW_LINK_FLAGS}")

# Test executables are run through Wine on the build machine.
find_program(VHB_WINE_EXE NAMES wine wine64)
if(VHB_WINE_EXE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VHB_WINE_EXE})
endif()
