# The flags of Zelmar's own targets, as a target each of them links PRIVATE;
# third-party code such as GoogleTest keeps its own flags.
add_library(zelmar_compiler_flags INTERFACE)
# Frequencies are compared as exact IEEE 754 doubles, so the compiler must not
# fuse, reassociate or widen any operation on them.
target_compile_options(zelmar_compiler_flags INTERFACE
  -Wall -Wextra -ffp-contract=off -fno-fast-math)

# 32-bit x86 would otherwise compute in x87 extended precision.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i[3-6]86|x86|X86)$")
  target_compile_options(zelmar_compiler_flags INTERFACE -msse2 -mfpmath=sse)
endif()

# What runs once a request (options, answers, show files, sheets, scans) is
# built for size, which halves its share of the tools; the searches and the
# check keep the build's speed. The page's build does the same.
add_library(zelmar_size_flags INTERFACE)
target_compile_options(zelmar_size_flags INTERFACE
  $<$<NOT:$<CONFIG:Debug>>:-Os>)
