// The host a program on Linux runs on, and the settings it is given.
#include "host_choice.h"

#include <cstdlib>
#include <cstring>

#include "host_headless.h"
#include "host_sdl.h"

namespace host {

const LoadedSettings& PlayerSettings() {
    static const LoadedSettings loaded = LoadSettings(SettingsPath(), SdlKeyName);
    return loaded;
}

Host* CreateHostNamedByEnvironment() {
    const char* video = std::getenv("TAVLO_VIDEO");
    // Nothing in the program reads the headless host's last picture.
    if (video && std::strcmp(video, "headless") == 0) {
        return CreateHeadlessHost(headless::Pictures::Unkept);
    }
    return CreateSdlHost(SdlHostSettingsOf(PlayerSettings()));
}

}  // namespace host
