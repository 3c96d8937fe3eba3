# Cross-builds Tolvren for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix: the
# posix thread model, which std::thread and std::mutex need). Everything is linked statically, so
# the programs run on a bare Windows 10/11 and in a fresh wine prefix without a DLL beside them.
# Programs that the build or CTest runs go through wine-run.sh beside this file.
#   cmake --preset windows

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOLVREN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOLVREN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOLVREN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOLVREN_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW tree only: a Linux header or library must never be
# picked up by accident. Header-only libraries from /usr/include are brought in by name.
set(CMAKE_FIND_ROOT_PATH /usr/${TOLVREN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# -static takes libstdc++, libgcc and winpthreads into each program instead of their DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# CTest and custom commands run the programs under wine, in a prefix of the build folder's own
# unless WINEPREFIX names one.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --prefix
  ${CMAKE_BINARY_DIR}/wineprefix)
