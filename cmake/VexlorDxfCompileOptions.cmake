# Warning and floating-point options for the project's own targets, never for consumers.
# SPDX-License-Identifier: MIT
function(vexlor_dxf_target_options target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            # Exact sign tests and equality of the import are behaviour; a fused multiply-add
            # would change them.
            -ffp-contract=off)
        if(VEXLOR_DXF_WERROR)
            target_compile_options(${target} PRIVATE -Werror)
        endif()
    elseif(MSVC)
        target_compile_options(${target} PRIVATE /W4 /fp:precise $<$<BOOL:${VEXLOR_DXF_WERROR}>:/WX>)
    endif()
endfunction()
