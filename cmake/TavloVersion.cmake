# The program's version, PROJECT_VERSION, in one generated header (tavlo_version.h:
# TAVLO_VERSION, a string) that the targets which say it link through tavlo_version. It is
# rewritten only when the version changes, so a configure recompiles nothing.
configure_file(${CMAKE_CURRENT_LIST_DIR}/tavlo_version.h.in
    ${PROJECT_BINARY_DIR}/generated/version/tavlo_version.h @ONLY)
add_library(tavlo_version INTERFACE)
target_include_directories(tavlo_version INTERFACE ${PROJECT_BINARY_DIR}/generated/version)
