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
#include "title_screen.h"

namespace {

constexpr int kEnough = 100;

// Held 40 ms: a 16 ms play frame and a 33 ms title frame both see it.
void Press(std::uint64_t at, unsigned key) {
    host::headless::InjectEvent(at, {host::InputEvent::Kind::KeyDown, key});
    host::headless::InjectEvent(at + 40, {host::InputEvent::Kind::KeyUp, key});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.replay\n", argv[0]);
        return 2;
    }
    if (host::replay::StartSession({argv[1], "", false, host::CreateHeadlessHost}, argv[0]) >= 0) {
        return 2;
    }
    host::SetHostFactory(host::replay::CreateSessionHost);
    host::Current();
    Press(6000, VK_RETURN);
    int pressedFor = -1;
    std::uint64_t roundOver = 0;
    bool quitting = false;
    host::headless::SetIdleHook([&] {
        const GameRound& round = gameRound;
        const std::uint64_t now = host::headless::Elapsed();
        const bool playing = round.speed > 0.0f && round.x < 320.0f && round.x > -82.0f;
        if (playing && round.hit == 0 && round.score <= kEnough && pressedFor != round.score) {
            Press(now, TargetKey[round.kind]);
            pressedFor = round.score;
        }
        if (roundOver == 0 && round.speed > 0.0f && round.x <= -82.0f && round.hit == 0) {
            roundOver = now;
        }
        // The title is up again 5 s after the round: the cursor to QUIT, then Enter.
        if (roundOver != 0 && !quitting && now >= roundOver + 5000) {
            quitting = true;
            if (titleScreen.cursor == 0) Press(now, VK_DOWN);
            Press(now + 200, VK_RETURN);
        }
    });
    static char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWDEFAULT);
}
