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
        # Not built here (see README): /utf-8 reads the UTF-8 sources as such, and C4251 (standard
        # library members of exported classes) concerns hosts of another compiler, which a C++
        # interface cannot serve anyway.
        target_compile_options(${target} PRIVATE /W4 /fp:precise /utf-8 /wd4251
            $<$<BOOL:${VEXLOR_DXF_WERROR}>:/WX>)
        # The runtime deprecates standard functions the code uses as the standard defines them
        # (std::strerror, std::getenv), which /W4 with /WX would make errors.
        target_compile_definitions(${target} PRIVATE _CRT_SECURE_NO_WARNINGS)
    endif()
endfunction()
