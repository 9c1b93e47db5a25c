# tavlo_game_random(TARGET): the game's srand and rand in TARGET reach our generator
# (platform/base/game_random.h) through -Wl,--wrap and the one shim that defines __wrap_srand and
# __wrap_rand (platform/base/game_random_link.cpp), as in every build of the game.
function(tavlo_game_random target)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src/platform/base/game_random_link.cpp)
    target_link_options(${target} PRIVATE -Wl,--wrap=srand,--wrap=rand)
endfunction()
