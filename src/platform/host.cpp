// Chooses the host for this run.
#include <cstdlib>
#include <cstring>

#include "host.h"

namespace host {

Host& Current() {
    static Host* current = [] {
        const char* video = std::getenv("TAVLO_VIDEO");
        if (video && std::strcmp(video, "headless") == 0) return CreateHeadlessHost();
        return CreateSdlHost();
    }();
    return *current;
}

}  // namespace host
