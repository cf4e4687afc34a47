# What both mingw-w64 cross-builds share, for the triplet and processor the
# including toolchain file sets (posix threads, which GoogleTest's
# std::mutex needs); tests run under its Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${ROZOVE_MINGW_PROCESSOR})
set(CMAKE_C_COMPILER ${ROZOVE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ROZOVE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ROZOVE_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ROZOVE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
