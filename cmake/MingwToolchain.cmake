# Shared part of the mingw-w64 toolchain files: the cross compilers of Debian's
# g++-mingw-w64-* packages in their POSIX threading flavour (std::thread and std::mutex
# need it), the resource compiler, and a fully static runtime, so an executable needs no
# DLL beside it. GAVRELO_MINGW_TRIPLET names the target (x86_64-w64-mingw32 or
# i686-w64-mingw32).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${GAVRELO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GAVRELO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${GAVRELO_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GAVRELO_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
