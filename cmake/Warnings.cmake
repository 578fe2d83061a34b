# Warnings are set per target and kept private, so that code built against
# our libraries is not held to our flags.
function(ostrevane_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(OSTREVANE_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
