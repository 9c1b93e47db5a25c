// The probe a host reports to (host_probe.h).
#include "host_probe.h"

namespace host {
namespace {
Probe* probe = nullptr;
}  // namespace

void SetProbe(Probe* p) {
    probe = p;
}

Probe* CurrentProbe() {
    return probe;
}

}  // namespace host
