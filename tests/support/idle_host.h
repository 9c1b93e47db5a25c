// A host that shows nothing and hears nothing: tests derive from it and override what they
// watch.
#pragma once

#include <cstdint>
#include <string>

#include "host.h"

namespace testing_support {

class IdleHost : public host::Host {
  public:
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
    void ShowEndNotice(const std::string&) override {}
};

}  // namespace testing_support
