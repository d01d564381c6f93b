// The metrics endpoint's state as the Settings page shows it: off, listening
// (where), or why it could not start. Portable.
#pragma once

#include <string>

namespace kalorix {

enum class MetricsState {
    Off,
    Listening,
    PortInUse,  // another program holds the port (or the system reserved it)
    Failed,     // any other failure to listen; error holds the code
};

struct MetricsView {
    MetricsState state = MetricsState::Off;
    int port = 0;
    bool listenAll = false;     // listening on every interface (with the token)
    bool tokenMissing = false;  // every interface was asked for without a usable token: loopback only
    long error = 0;             // the failing call's code (PortInUse, Failed)
    std::wstring host;          // this computer's name, for the address when listening on every interface
};

// One word per state for the test build's frame report: "off", "listening",
// "port-in-use", "failed".
const char* MetricsStateWord(MetricsState state);

}  // namespace kalorix
