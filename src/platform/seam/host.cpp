// The host of this run.
#include "host.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace host {

void KeptScreen::Keep(const ScreenImage& image) {
    width = image.width;
    height = image.height;
    const auto rowBytes = static_cast<std::size_t>(image.width);
    pixels.resize(rowBytes * static_cast<std::size_t>(image.height));
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(pixels.data() + static_cast<std::size_t>(y) * rowBytes,
                    image.pixels + static_cast<long>(y) * image.pitch, rowBytes);
    }
    std::memcpy(colours.data(), image.colours, sizeof(Rgb) * colours.size());
}

namespace {

volatile std::sig_atomic_t stopRequested = 0;
Host* (*hostFactory)() = nullptr;
Host* current = nullptr;
void (*debugListener)(const char*) = nullptr;
MessageNote messageNote = nullptr;

}  // namespace

void SetDebugListener(void (*listener)(const char* text)) {
    debugListener = listener;
}

void SetMessageNote(MessageNote note) {
    messageNote = note;
}

std::string NoteForMessage(const std::string& textUtf8) {
    return messageNote ? messageNote(textUtf8) : std::string();
}

void RequestStop(bool stop) {
    stopRequested = stop ? 1 : 0;
}

bool StopRequested() {
    return stopRequested != 0;
}

void DebugOutput(const char* text) {
    if (debugListener) debugListener(text);
}

void SetHostFactory(Host* (*factory)()) {
    hostFactory = factory;
}

Host& Current() {
    if (current == nullptr) {
        if (hostFactory == nullptr) {
            std::fputs("tavlo: no host was chosen for this program\n", stderr);
            std::exit(2);
        }
        current = hostFactory();
    }
    return *current;
}

void Shutdown() {
    Host* ending = current;
    current = nullptr;
    delete ending;
}

}  // namespace host
