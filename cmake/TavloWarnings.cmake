# Warnings on everything we write; errors only where asked for (TAVLO_WERROR, on in the test
# script and so in CI), never forced on a distribution's build with its own flags.
option(TAVLO_WERROR "Treat warnings as errors" OFF)
function(tavlo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TAVLO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
