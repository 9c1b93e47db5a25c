// The host a program on Linux runs on, and the settings it is given.
#include "host_choice.h"

#include <cstdlib>
#include <cstring>

#include "host_headless.h"
#include "host_sdl.h"

namespace entry {

const host::LoadedSettings& PlayerSettings() {
    static const host::LoadedSettings loaded =
        host::LoadSettings(host::SettingsPath(), sdl::SdlKeyName);
    return loaded;
}

host::Host* CreateHostNamedByEnvironment() {
    const char* video = std::getenv("TAVLO_VIDEO");
    // Nothing in the program reads the headless host's last picture.
    if (video && std::strcmp(video, "headless") == 0) {
        return headless::CreateHeadlessHost(headless::Pictures::Unkept);
    }
    return sdl::CreateSdlHost(sdl::SdlHostSettingsOf(PlayerSettings()));
}

}  // namespace entry
