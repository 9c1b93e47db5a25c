# Compiles every game source against the MinGW headers (-fsyntax-only); fails on the first error.
file(GLOB_RECURSE sources ${SOURCE_DIR}/src/shell/*.cpp ${SOURCE_DIR}/src/display/*.cpp
     ${SOURCE_DIR}/src/assets/*.cpp ${SOURCE_DIR}/src/game/*.cpp ${SOURCE_DIR}/src/effects/*.cpp)
set(failed 0)
foreach(source IN LISTS sources)
    execute_process(COMMAND ${COMPILER} -std=c++20 -fsyntax-only -Wall -Wextra -Werror
                            -I${SOURCE_DIR}/src ${source}
                    RESULT_VARIABLE result ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message("${source}:\n${errors}")
        set(failed 1)
    endif()
endforeach()
if(failed)
    message(FATAL_ERROR "game sources do not build against the real Windows headers")
endif()
