# tavlo_game_random(TARGET): the game's srand and rand in TARGET reach our generator
# (platform/base/game_random.h) through -Wl,--wrap, as in every build of the program. TARGET
# links a file that defines __wrap_srand and __wrap_rand (replay/seed_link.cpp, or the page's
# hosts/browser/random_link.cpp).
function(tavlo_game_random target)
    target_link_options(${target} PRIVATE -Wl,--wrap=srand,--wrap=rand)
endfunction()
