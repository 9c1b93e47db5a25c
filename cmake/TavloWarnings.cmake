# Warnings on everything we write; errors only where asked for (TAVLO_WERROR, on in the test
# script and so in CI), never forced on a distribution's build with its own flags.
option(TAVLO_WERROR "Treat warnings as errors" OFF)
function(tavlo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TAVLO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
        # GCC 12's -Wrestrict and -Wstringop-overflow misfire inside libstdc++'s std::string at -O3
        # (GCC bugs 105329 and 105651): shown, but not fatal there. Only in Release (-O3), so that
        # the other trees' compile commands stay readable by clang's tools.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
           AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            target_compile_options(${target} PRIVATE
                "$<$<CONFIG:Release>:-Wno-error=restrict;-Wno-error=stringop-overflow>")
        endif()
    endif()
endfunction()
