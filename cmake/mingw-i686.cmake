# Cross-build for 32-bit Windows with mingw-w64: the plug-in itself; tests
# run under 32-bit Wine.
set(ROZOVE_MINGW_TRIPLET i686-w64-mingw32)
set(ROZOVE_MINGW_PROCESSOR i686)
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
