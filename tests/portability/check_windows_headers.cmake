# Compiles every game source against the MinGW headers (-fsyntax-only), and checks that every
# DirectDraw result our <ddraw.h> names has the real header's number.
set(layers services display assets assets/rka effects game shell)
set(sources)
set(include_flags)
foreach(layer IN LISTS layers)
    file(GLOB layer_sources ${SOURCE_DIR}/src/${layer}/*.cpp)
    list(APPEND sources ${layer_sources})
    list(APPEND include_flags -I${SOURCE_DIR}/src/${layer})
endforeach()
set(failed 0)
foreach(source IN LISTS sources)
    execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Werror
                            ${include_flags} ${source}
                    RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message("${source}:\n${errors}")
        set(failed 1)
    endif()
endforeach()
# Our DDERR_ numbers against the real header's, as the cross compiler's preprocessor lists them
# ("#define DDERR_NODC MAKE_DDHRESULT( 586 )").
execute_process(COMMAND ${COMPILER} -E -dM -x c++ -include ddraw.h /dev/null
                OUTPUT_VARIABLE real_macros RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the cross compiler cannot read <ddraw.h>")
endif()
file(STRINGS ${SOURCE_DIR}/src/platform/api/include/ddraw.h our_results
     REGEX "^#define DDERR_[A-Z_]+ MAKE_DDHRESULT")
foreach(line IN LISTS our_results)
    string(REGEX REPLACE "^#define (DDERR_[A-Z_]+) MAKE_DDHRESULT\\(([0-9]+)\\)$" "\\1;\\2"
           pair "${line}")
    list(GET pair 0 name)
    list(GET pair 1 ours)
    if(NOT real_macros MATCHES "#define ${name} MAKE_DDHRESULT\\( *([0-9]+) *\\)")
        message("${name}: not in the real <ddraw.h>")
        set(failed 1)
    elseif(NOT CMAKE_MATCH_1 EQUAL ours)
        message("${name}: ours is ${ours}, the real <ddraw.h> says ${CMAKE_MATCH_1}")
        set(failed 1)
    endif()
endforeach()
if(failed)
    message(FATAL_ERROR "game sources do not build against the real Windows headers, or our "
                        "<ddraw.h> differs from theirs")
endif()
