# tavlo_layer(NAME FOLDER [SOURCES ...] [LINKS ...] [PRIVATE ...] [INTERNAL FOLDER...]): a static
# library for one layer. Its headers are found by their bare names through FOLDER (relative to
# the calling CMakeLists.txt) and nothing else, so a layer sees only the headers of the targets
# it links; LINKS are passed on to whoever links it, PRIVATE are its own (a system library, a
# part below it that its users must not see). INTERNAL folders are on its own include path only
# (the API's modules see api/, its users api/include).
function(tavlo_layer name folder)
    cmake_parse_arguments(L "" "" "SOURCES;LINKS;PRIVATE;INTERNAL" ${ARGN})
    if(L_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "tavlo_layer(${name}): unknown arguments ${L_UNPARSED_ARGUMENTS}")
    endif()
    add_library(${name} STATIC ${L_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/${folder})
    if(L_INTERNAL)
        list(TRANSFORM L_INTERNAL PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
        target_include_directories(${name} PRIVATE ${L_INTERNAL})
    endif()
    target_link_libraries(${name} PUBLIC ${L_LINKS} PRIVATE ${L_PRIVATE})
    tavlo_warnings(${name})
endfunction()
