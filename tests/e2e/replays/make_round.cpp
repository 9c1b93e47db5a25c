// Records the golden replay of a long round: the whole program in-process on the headless host,
// behind the recorder, played by a bot that reads the round's state and presses the right arrow
// for each picture until the score passes 100, then lets a picture get away and leaves through
// the menu's QUIT. With --paced, the bot plays at a person's pace (each press 200 to 600 ms after
// its picture's first frame, from a fixed seed) until the score passes 30. With --unseen K, it
// answers the first K pictures at once and K + 15 in all, the rest at a person's pace: a run of
// exactly K unseen hits, for the server's tests. Run in a folder holding "tavlo.rka" and
// "score.dat":
//   tavlo_make_round_replay OUT.replay [--paced | --unseen K]
// (scripts/replays.sh --make-round, --make-paced and --make-unseen do that.) The game's seed is
// its own, from the clock.
#include <cstdio>
#include <cstdlib>
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
constexpr int kPacedAfterUnseen = 15;

}  // namespace

int main(int argc, char** argv) {
    const bool paced = argc == 3 && std::strcmp(argv[2], "--paced") == 0;
    const int unseen = argc == 4 && std::strcmp(argv[2], "--unseen") == 0 ? std::atoi(argv[3]) : 0;
    if (argc != 2 && !paced && unseen <= 0) {
        std::fprintf(stderr, "usage: %s OUT.replay [--paced | --unseen K]\n", argv[0]);
        return 2;
    }
    if (replay::StartSession({argv[1], "", false, headless::CreateHeadlessHost, nullptr},
                             argv[0]) >= 0) {
        return 2;
    }
    host::SetHostFactory(replay::CreateSessionHost);
    host::Current();
    Press(6000, VK_RETURN);
    using testing_support::RoundBot;
    // The score passes `enough` at the answer to picture enough + 1.
    RoundBot bot(unseen > 0 ? unseen + kPacedAfterUnseen - 1
                 : paced    ? kEnoughPaced
                            : kEnough,
                 paced || unseen > 0 ? RoundBot::Pace::Person : RoundBot::Pace::AtOnce, kPaceSeed,
                 unseen);
    bool quitting = false;
    headless::SetIdleHook([&] {
        const std::uint64_t now = headless::Elapsed();
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
