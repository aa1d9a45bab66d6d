# Cross-compiling for Windows with mingw-w64 (posix thread model), shared by
# the i686 and x86_64 tool chain files, which set CMAKE_SYSTEM_PROCESSOR.
# Programs are linked statically, so they run under Wine or Windows with no
# DLLs of the tool chain beside them. Test programs run through Wine, see
# cmake/wine-run.in.
set(CMAKE_SYSTEM_NAME Windows)

set(VOX_MINGW_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${VOX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VOX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${VOX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VOX_MINGW_PREFIX})
# libpng for mingw is built by scripts/setup into this cache folder.
set(VOX_DEPS_CACHE "$ENV{VOXKIT_CACHE}")
if(NOT VOX_DEPS_CACHE)
  set(VOX_DEPS_CACHE /var/cache/voxkit)
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${VOX_DEPS_CACHE}/mingw-${CMAKE_SYSTEM_PROCESSOR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# No -fdata-sections: with it, GCC for Windows targets puts zero-filled
# data (tens of KB of static buffers) into the file's initialised data
# instead of .bss.
set(CMAKE_CXX_FLAGS_MINSIZEREL_INIT "-Os -DNDEBUG -ffunction-sections")
set(CMAKE_C_FLAGS_MINSIZEREL_INIT "-Os -DNDEBUG -ffunction-sections")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-Wl,--gc-sections -s")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
