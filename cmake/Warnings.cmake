# Common compile options for every target of the project.
add_library(pelorus_options INTERFACE)
target_compile_options(pelorus_options INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
    -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
    # Geometry results are specified to the last bit: no fused multiply-add contraction.
    -ffp-contract=off)
if(PELORUS_WERROR)
    target_compile_options(pelorus_options INTERFACE -Werror)
endif()
if(PELORUS_SANITIZE)
    target_compile_options(pelorus_options INTERFACE
        -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(pelorus_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
if(PELORUS_FUZZ)
    # Coverage for libFuzzer in every library the fuzzers link.
    target_compile_options(pelorus_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
