// Controller buttons and sticks as arrow keys and Enter.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "controller_keys.h"

using namespace host;

namespace {

constexpr unsigned kReturn = 0x0D, kLeft = 0x25, kUp = 0x26, kRight = 0x27, kDown = 0x28;

// One input to the mapper: a button, an axis or a removal.
struct Step {
    enum { Button, Axis, Removed } what;
    int pad;
    PadButton button = PadButton::Other;
    PadAxis axis = PadAxis::Other;
    int value = 0;  // pressed (0/1) for buttons
};
Step Press(int pad, PadButton b) {
    return {Step::Button, pad, b, PadAxis::Other, 1};
}
Step Release(int pad, PadButton b) {
    return {Step::Button, pad, b, PadAxis::Other, 0};
}
Step Move(int pad, PadAxis a, int v) {
    return {Step::Axis, pad, PadButton::Other, a, v};
}
Step Gone(int pad) {
    return {Step::Removed, pad};
}
KeyChange Down(unsigned key) {
    return {key, true};
}
KeyChange Up(unsigned key) {
    return {key, false};
}

struct Case {
    std::string name;
    std::vector<Step> steps;
    std::vector<KeyChange> keys;
};

void Check(const Case& c, const PadMap& map) {
    SCOPED_TRACE(c.name);
    ControllerKeys mapper;
    mapper.SetMap(map);
    std::vector<KeyChange> keys;
    for (const Step& s : c.steps) {
        switch (s.what) {
            case Step::Button:
                mapper.Button(s.pad, s.button, s.value != 0, keys);
                break;
            case Step::Axis:
                mapper.Axis(s.pad, s.axis, s.value, keys);
                break;
            case Step::Removed:
                mapper.Removed(s.pad, keys);
                break;
        }
    }
    EXPECT_EQ(keys, c.keys);
}

TEST(ControllerKeys, EventsBecomeKeyChanges) {
    const Case cases[] = {
        {"south button is Enter",
         {Press(0, PadButton::South), Release(0, PadButton::South)},
         {Down(kReturn), Up(kReturn)}},
        {"start is Enter",
         {Press(0, PadButton::Start), Release(0, PadButton::Start)},
         {Down(kReturn), Up(kReturn)}},
        {"d-pad directions",
         {Press(0, PadButton::DPadUp), Release(0, PadButton::DPadUp), Press(0, PadButton::DPadDown),
          Release(0, PadButton::DPadDown), Press(0, PadButton::DPadLeft),
          Release(0, PadButton::DPadLeft), Press(0, PadButton::DPadRight),
          Release(0, PadButton::DPadRight)},
         {Down(kUp), Up(kUp), Down(kDown), Up(kDown), Down(kLeft), Up(kLeft), Down(kRight),
          Up(kRight)}},
        {"other buttons and axes do nothing",
         {Press(0, PadButton::Other), Move(0, PadAxis::Other, 32767), Release(0, PadButton::Other),
          Press(0, PadButton::East), Move(0, PadAxis::RightX, 32767)},
         {}},
        {"A and Start together: one press, released with the last",
         {Press(0, PadButton::South), Press(0, PadButton::Start), Release(0, PadButton::South),
          Release(0, PadButton::Start)},
         {Down(kReturn), Up(kReturn)}},
        {"stick and d-pad on the same direction",
         {Move(0, PadAxis::LeftX, -30000), Press(0, PadButton::DPadLeft),
          Move(0, PadAxis::LeftX, 0), Release(0, PadButton::DPadLeft)},
         {Down(kLeft), Up(kLeft)}},
        {"two controllers on the same key",
         {Press(0, PadButton::DPadUp), Press(1, PadButton::DPadUp), Release(0, PadButton::DPadUp),
          Release(1, PadButton::DPadUp)},
         {Down(kUp), Up(kUp)}},
        {"stick needs the press threshold and releases below the release threshold",
         {Move(0, PadAxis::LeftX, kPressAt - 1), Move(0, PadAxis::LeftX, kPressAt),
          Move(0, PadAxis::LeftX, kReleaseAt + 1), Move(0, PadAxis::LeftX, kPressAt + 500),
          Move(0, PadAxis::LeftX, kReleaseAt)},
         {Down(kRight), Up(kRight)}},
        {"a stick resting near the threshold does not chatter",
         {Move(0, PadAxis::LeftY, 17000), Move(0, PadAxis::LeftY, 15000),
          Move(0, PadAxis::LeftY, 17000), Move(0, PadAxis::LeftY, 12000),
          Move(0, PadAxis::LeftY, 16500), Move(0, PadAxis::LeftY, 9000),
          Move(0, PadAxis::LeftY, 15999)},
         {Down(kDown), Up(kDown)}},
        {"stick up and left; y grows downwards",
         {Move(0, PadAxis::LeftY, -32768), Move(0, PadAxis::LeftX, -32768),
          Move(0, PadAxis::LeftY, 0), Move(0, PadAxis::LeftX, 0)},
         {Down(kUp), Down(kLeft), Up(kUp), Up(kLeft)}},
        {"stick flicked across: release before press",
         {Move(0, PadAxis::LeftX, -32768), Move(0, PadAxis::LeftX, 32767)},
         {Down(kLeft), Up(kLeft), Down(kRight)}},
        {"unplugging releases what the controller held, and only that",
         {Press(0, PadButton::South), Move(0, PadAxis::LeftX, 20000), Press(1, PadButton::DPadUp),
          Gone(0), Release(1, PadButton::DPadUp)},
         {Down(kReturn), Down(kRight), Down(kUp), Up(kReturn), Up(kRight), Up(kUp)}},
        {"a controller plugged in again starts from rest",
         {Move(3, PadAxis::LeftX, 20000), Gone(3), Move(3, PadAxis::LeftX, 12000),
          Move(3, PadAxis::LeftX, 20000)},
         {Down(kRight), Up(kRight), Down(kRight)}},
        {"release of a button never pressed does nothing",
         {Release(0, PadButton::DPadDown), Release(0, PadButton::South)},
         {}},
    };
    for (const Case& c : cases) Check(c, PadMap::Default());
}

// The player's own map: B is Left, the right stick's x the arrows up and down, a trigger Enter;
// the D-pad's left and the left stick are nothing now.
TEST(ControllerKeys, APlayersMapDecidesWhatEachControlGives) {
    PadMap map;
    map.buttons[static_cast<std::size_t>(PadButton::East)] = kLeft;
    map.negative[static_cast<std::size_t>(PadAxis::RightX)] = kUp;
    map.positive[static_cast<std::size_t>(PadAxis::RightX)] = kDown;
    map.positive[static_cast<std::size_t>(PadAxis::LeftTrigger)] = kReturn;
    const Case cases[] = {
        {"mapped button",
         {Press(0, PadButton::East), Release(0, PadButton::East)},
         {Down(kLeft), Up(kLeft)}},
        {"unmapped controls", {Press(0, PadButton::DPadLeft), Move(0, PadAxis::LeftX, -32768)}, {}},
        {"an axis each way, flicked across",
         {Move(0, PadAxis::RightX, -32768), Move(0, PadAxis::RightX, 32767),
          Move(0, PadAxis::RightX, 0)},
         {Down(kUp), Up(kUp), Down(kDown), Up(kDown)}},
        {"a trigger pulled and let go",
         {Move(0, PadAxis::LeftTrigger, 32767), Move(0, PadAxis::LeftTrigger, 0)},
         {Down(kReturn), Up(kReturn)}},
        {"a button and an axis of two controllers, unplugged",
         {Press(0, PadButton::East), Move(1, PadAxis::RightX, -20000), Gone(0), Gone(1)},
         {Down(kLeft), Down(kUp), Up(kLeft), Up(kUp)}},
    };
    for (const Case& c : cases) Check(c, map);
}

}  // namespace
