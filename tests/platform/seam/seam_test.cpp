// The seam without a real host: the orderly end that the program's entry registers with atexit.
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host.h"
#include "idle_host.h"

namespace {

class NoisyHost final : public testing_support::IdleHost {
  public:
    ~NoisyHost() override { std::fputs("host ended\n", stderr); }
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
