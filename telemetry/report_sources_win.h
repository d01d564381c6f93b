// Gathers the facts of the compatibility report from the registry, CPUID, DXGI,
// the disk list, the PawnIO installation and the usage history.
#pragma once

#include <optional>
#include <string>

#include "telemetry/report.h"

namespace kalorix {

ReportInputs GatherReportInputs(const std::string& id, const std::optional<std::wstring>& inventoryCpuName);

}  // namespace kalorix
