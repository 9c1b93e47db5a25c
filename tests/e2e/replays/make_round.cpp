// Records the golden replay of a long round: the whole program in-process on the headless host,
// behind the recorder, played by a bot that reads the round's state and presses the right arrow
// for each picture until the score passes 100, then lets a picture get away and leaves through
// the menu's QUIT. With --paced, the bot plays at a person's pace (each press 200 to 600 ms after
// its picture's first frame, from a fixed seed) until the score passes 30. Run in a folder
// holding "tavlo.rka" and "score.dat":
//   tavlo_make_round_replay OUT.replay [--paced]
// (scripts/replays.sh --make-round and --make-paced do that.) The game's seed is its own, from
// the clock.
#include <cstdio>
#include <cstring>

#include <windows.h>

#include "game_round.h"
#include "host_headless.h"
#include "replay_session.h"
#include "round_bot.h"
#include "title_screen.h"

namespace {

using testing_support::Press;

constexpr int kEnough = 100;
// Later pictures are faster: past about 70 a press 600 ms after the first frame comes too late.
constexpr int kEnoughPaced = 30;
constexpr unsigned kPaceSeed = 41;

}  // namespace

int main(int argc, char** argv) {
    const bool paced = argc == 3 && std::strcmp(argv[2], "--paced") == 0;
    if (argc != 2 && !paced) {
        std::fprintf(stderr, "usage: %s OUT.replay [--paced]\n", argv[0]);
        return 2;
    }
    if (host::replay::StartSession({argv[1], "", false, host::CreateHeadlessHost, nullptr},
                                   argv[0]) >= 0) {
        return 2;
    }
    host::SetHostFactory(host::replay::CreateSessionHost);
    host::Current();
    Press(6000, VK_RETURN);
    using testing_support::RoundBot;
    RoundBot bot(paced ? kEnoughPaced : kEnough,
                 paced ? RoundBot::Pace::Person : RoundBot::Pace::AtOnce, kPaceSeed);
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
