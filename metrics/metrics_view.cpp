#include "metrics/metrics_view.h"

namespace kalorix {

const char* MetricsStateWord(MetricsState state) {
    switch (state) {
        case MetricsState::Off: return "off";
        case MetricsState::Listening: return "listening";
        case MetricsState::PortInUse: return "port-in-use";
        case MetricsState::Failed: return "failed";
    }
    return "off";
}

}  // namespace kalorix
