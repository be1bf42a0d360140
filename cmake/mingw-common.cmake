# Shared part of the MinGW-w64 toolchain files. The -posix compilers carry
# std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER   ${VX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Tests and tools of this build run through Wine (see cmake/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run)
