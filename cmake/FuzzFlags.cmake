# The fuzz build instruments every target it compiles, the engine included,
# for coverage and the sanitizers, so that a fault inside the engine is found
# and reported, not just a fault in a harness. Only clang provides libFuzzer.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "ZELMAR_BUILD_FUZZ needs clang (CC=clang CXX=clang++)")
endif()
set(ZELMAR_FUZZ_SANITIZERS address,undefined)
add_compile_options(-fsanitize=fuzzer-no-link,${ZELMAR_FUZZ_SANITIZERS}
                    -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=${ZELMAR_FUZZ_SANITIZERS})
