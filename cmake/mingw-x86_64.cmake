# Cross-build for 64-bit Windows. The plug-in itself is 32-bit; this build
# exists so that the same system code and tests run under 64-bit Wine on
# machines that cannot start 32-bit processes (no 32-bit Wine there).
set(ROZOVE_MINGW_TRIPLET x86_64-w64-mingw32)
set(ROZOVE_MINGW_PROCESSOR x86_64)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
