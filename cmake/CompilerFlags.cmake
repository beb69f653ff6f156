# Frequencies are compared as exact IEEE 754 doubles, so the compiler must not
# fuse, reassociate or widen any operation on them.
add_compile_options(-Wall -Wextra -ffp-contract=off -fno-fast-math)

# 32-bit x86 would otherwise compute in x87 extended precision.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86|X86)$")
  add_compile_options(-msse2 -mfpmath=sse)
endif()
