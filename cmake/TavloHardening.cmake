# The hardening a distribution builds with (as dpkg-buildflags gives on Debian): stack
# protector, fortified C library calls, position-independent executables, read-only
# relocations bound at start. Added unless the build is for the sanitizers or the fuzzer, and
# not twice when the flags given already hold them.
option(TAVLO_HARDENING "Build with the usual hardening flags" ON)
# (Not for the browser: WebAssembly has no stack protector or RELRO to ask for.)
if(TAVLO_HARDENING AND NOT TAVLO_SANITIZE AND NOT TAVLO_FUZZ AND NOT TAVLO_WEB)
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    set(given "${CMAKE_CXX_FLAGS} ${CMAKE_C_FLAGS} ${CMAKE_EXE_LINKER_FLAGS}")
    if(NOT given MATCHES "-fstack-protector")
        add_compile_options(-fstack-protector-strong)
    endif()
    # _FORTIFY_SOURCE works only in an optimised build; without optimisation it is a warning.
    if(NOT given MATCHES "_FORTIFY_SOURCE")
        add_compile_definitions($<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
    endif()
    if(WIN32)
        # Windows: address space layout randomisation (64-bit) and no execution of data. The
        # stack protector's runtime goes into each program (no libssp-0.dll to ship).
        add_link_options(-Wl,--dynamicbase,--nxcompat,--high-entropy-va)
        string(APPEND CMAKE_C_STANDARD_LIBRARIES " -l:libssp.a")
        string(APPEND CMAKE_CXX_STANDARD_LIBRARIES " -l:libssp.a")
        return()
    endif()
    if(NOT given MATCHES "relro")
        add_link_options(-Wl,-z,relro)
    endif()
    # Debian's own flags hold relro alone (bindnow is asked for separately): add what is missing.
    if(NOT given MATCHES "-z,now|-z now")
        add_link_options(-Wl,-z,now)
    endif()
endif()
