# Cross-building for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64).
# Used by the windows preset and by scripts/windows.sh for SDL2, FreeType and libpng.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TAVLO_MINGW_TRIPLE x86_64-w64-mingw32)
# The posix thread model: std::thread and std::mutex work, at the price of libwinpthread-1.dll
# (linked statically below).
set(CMAKE_C_COMPILER ${TAVLO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAVLO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TAVLO_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${TAVLO_MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TAVLO_MINGW_TRIPLE}-ranlib CACHE FILEPATH "")

# The target's files: the MinGW sysroot and whatever CMAKE_PREFIX_PATH adds (the libraries built
# by scripts/windows.sh); programs from the build machine.
# The prefixes named in CMAKE_PREFIX_PATH are Windows files too: searched as roots of their own.
set(CMAKE_FIND_ROOT_PATH /usr/${TAVLO_MINGW_TRIPLE} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc_s, libstdc++ or libwinpthread DLLs to ship: the compiler's runtime goes into each
# program and DLL. (Libraries named by their full path, such as SDL2's import library, are
# still linked as given: SDL stays a DLL.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
