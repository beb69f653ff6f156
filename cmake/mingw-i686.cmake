# 32-bit Windows, cross-compiled with MinGW-w64. SSE2 math comes from
# CompilerFlags.cmake; the tests cannot run here (no 32-bit Wine).
set(triple i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
