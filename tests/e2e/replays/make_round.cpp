// Records the golden replay of a long round: the whole program in-process on the headless host,
// behind the recorder, played by a bot that reads the round's state and presses the right arrow
// for each picture until the score passes 100, then lets a picture get away and leaves through
// the menu's QUIT. Run in a folder holding "tavlo.rka" and "score.dat":
//   tavlo_make_round_replay OUT.replay
// (scripts/replays.sh --make-round does that.) The seed is the game's own, from the clock.
#include <cstdio>

#include <windows.h>

#include "game_round.h"
#include "host_headless.h"
#include "replay_session.h"
#include "round_bot.h"
#include "title_screen.h"

namespace {

using testing_support::Press;

constexpr int kEnough = 100;

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.replay\n", argv[0]);
        return 2;
    }
    if (host::replay::StartSession({argv[1], "", false, host::CreateHeadlessHost, nullptr},
                                   argv[0]) >= 0) {
        return 2;
    }
    host::SetHostFactory(host::replay::CreateSessionHost);
    host::Current();
    Press(6000, VK_RETURN);
    testing_support::RoundBot bot(kEnough);
    bool quitting = false;
    host::headless::SetIdleHook([&] {
        const std::uint64_t now = host::headless::Elapsed();
        bot.Look(gameRound, now);
        // The title is up again 5 s after the round: the cursor to QUIT, then Enter.
        if (bot.RoundOver() != 0 && !quitting && now >= bot.RoundOver() + 5000) {
            quitting = true;
            if (titleScreen.cursor == 0) Press(now, VK_DOWN);
            Press(now + 200, VK_RETURN);
        }
    });
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
