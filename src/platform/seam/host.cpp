// The host of this run.
#include "host.h"

#include <cstdio>
#include <cstdlib>

namespace host {
namespace {

Host* (*hostFactory)() = nullptr;
Host* current = nullptr;

}  // namespace

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

void DiscardHostForTests() {
    delete current;
    current = nullptr;
}

}  // namespace host
