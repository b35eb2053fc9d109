# Toolchain file of a 32-bit Windows configuration (and of the 32-bit kernel driver that
# the x64 configuration builds beside its own):
#   cmake -S . -B build-windows32 -G Ninja --toolchain cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(GAVRELO_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
