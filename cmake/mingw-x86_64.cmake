# Cross-compiling for 64-bit Windows: the same programs as x86_64, tested
# under 64-bit Wine, which runs on every machine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
