# 32-bit Windows, cross-compiled with MinGW-w64. SSE2 math comes from
# CompilerFlags.cmake; tests run under 32-bit Wine where the machine has it.
set(triple i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
