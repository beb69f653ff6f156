# 32-bit x86 Linux, to prove the engine's arithmetic on a 32-bit target.
# This kernel runs no 32-bit code, so tests run under qemu-i386.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_FLAGS_INIT "-m32")
set(CMAKE_CXX_FLAGS_INIT "-m32")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386)
