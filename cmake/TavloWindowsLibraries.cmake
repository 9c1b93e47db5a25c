# The Windows build links the library versions scripts/windows-libraries.txt pins, and no others:
# a prefix left from an older list (or a library found elsewhere) stops the configuration.
function(tavlo_check_windows_libraries)
    file(STRINGS ${PROJECT_SOURCE_DIR}/scripts/windows-libraries.txt lines REGEX "^[a-z]")
    set(found_libsdl2 "${SDL2_VERSION}")
    set(found_freetype "${freetype_VERSION}")
    set(found_libpng1.6 "${PNG_VERSION_STRING}")
    foreach(line IN LISTS lines)
        string(REGEX MATCH "^([^ ]+) +([^ ]+)" ignored "${line}")
        set(name "${CMAKE_MATCH_1}")
        # The upstream version within the Debian one: no epoch, no +dfsg, no Debian revision.
        string(REGEX REPLACE "^[0-9]+:|[+~].*$|-[^-]*$" "" upstream "${CMAKE_MATCH_2}")
        if(DEFINED found_${name} AND NOT found_${name} VERSION_EQUAL upstream)
            message(FATAL_ERROR "${name}: found ${found_${name}}, but scripts/windows-libraries.txt "
                "pins ${upstream} (scripts/windows-deps.sh builds it)")
        endif()
    endforeach()
endfunction()
