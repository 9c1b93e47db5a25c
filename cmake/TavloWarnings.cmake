# Warnings on everything we write; errors only where asked for (TAVLO_WERROR, on in the test
# script and so in CI), never forced on a distribution's build with its own flags.
option(TAVLO_WERROR "Treat warnings as errors" OFF)
function(tavlo_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    if(TAVLO_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()

# Adds every CMakeLists.txt found below `dir` (one level or more) as a subdirectory, so that
# a new tool, test folder or fuzz target joins the build by having its own CMakeLists.txt.
function(tavlo_add_child_lists dir)
    file(GLOB_RECURSE lists CONFIGURE_DEPENDS ${dir}/*/CMakeLists.txt)
    # npm's packages (tests/web/node_modules) bring CMake files of their own.
    list(FILTER lists EXCLUDE REGEX "/node_modules/")
    list(SORT lists)
    foreach(list_file IN LISTS lists)
        get_filename_component(child ${list_file} DIRECTORY)
        file(RELATIVE_PATH rel ${CMAKE_CURRENT_SOURCE_DIR} ${child})
        add_subdirectory(${child} ${CMAKE_CURRENT_BINARY_DIR}/${rel})
    endforeach()
endfunction()
