// The seam without a real host: the orderly end that the program's entry registers with atexit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "host.h"

namespace {

class NoisyHost final : public host::Host {
  public:
    ~NoisyHost() override { std::fputs("host ended\n", stderr); }
    std::uint32_t Milliseconds() override { return 0; }
    bool NextEvent(host::InputEvent&) override { return false; }
    void Idle() override {}
    void DesktopSize(int& width, int& height) override { width = height = 0; }
    bool OpenVideo() override { return false; }
    void WindowChanged(bool, const std::string&) override {}
    bool SetFullScreenMode() override { return false; }
    void ShowScreen(const host::ScreenImage&, host::ScreenChange) override {}
    void MessageBox(const std::string&, const std::string&) override {}
    void SetCursorVisible(bool) override {}
    void ShowEndNotice(const std::string& text) override {
        std::fprintf(stderr, "notice: %s\n", text.c_str());
    }
};

}  // namespace

TEST(Shutdown, EndsTheHostOnceWhenTheProcessExits) {
    EXPECT_EXIT(
        {
            host::SetHostFactory([]() -> host::Host* { return new NoisyHost; });
            host::Current();
            std::atexit(host::Shutdown);
            host::Shutdown();  // an early end leaves nothing for the one at exit
            std::fputs("between\n", stderr);
            host::Current();
            std::exit(1);
        },
        ::testing::ExitedWithCode(1), "^host ended\nbetween\nhost ended\n$");
}
