# Cross-builds the Windows program on Debian with mingw-w64 (the posix thread
# model, which has std::thread and friends). Executables are linked statically
# so that vm4417.exe needs nothing but system DLLs, and CTest runs them under
# Wine through scripts/wine-run, in the build folder's private prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VM4417_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VM4417_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VM4417_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VM4417_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VM4417_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libstdc++, libgcc or winpthread DLLs beside the exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# The wrapper sets up (or checks) the prefix with safe COM ports first.
set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run;--build-dir;${CMAKE_BINARY_DIR}")
