#include "telemetry/report.h"

#include <cmath>
#include <cstdlib>

#include "base/log.h"
#include "sensors/text.h"
#include "telemetry/json_writer.h"
#include "telemetry/telemetry_state.h"

namespace kalorix {

uint32_t CpuFamily(uint32_t eax) {
    const uint32_t base = (eax >> 8) & 0xF;
    return base == 15 ? base + ((eax >> 20) & 0xFF) : base;
}

uint32_t CpuModel(uint32_t eax) {
    const uint32_t base = (eax >> 8) & 0xF;
    uint32_t model = (eax >> 4) & 0xF;
    if (base == 6 || base == 15) model |= ((eax >> 16) & 0xF) << 4;
    return model;
}

const char* CpuVendorWord(const std::string& v) {
    if (v == "GenuineIntel") return "intel";
    if (v == "AuthenticAMD") return "amd";
    return "other";
}

const char* GpuVendorWord(uint32_t id) {
    switch (id) {
        case 0x10DE: return "nvidia";
        case 0x1002: return "amd";
        case 0x8086: return "intel";
        default: return "other";
    }
}

const char* TempSourceWord(const std::wstring& src) {
    if (src == L"ACPI") return "acpi";
    if (src.find(L"MSI EC") != std::wstring::npos) return "msi";
    if (src.find(L"PawnIO") != std::wstring::npos) return "pawnio";
    return "none";
}

namespace {

bool AnyId(const SensorSnapshot& s, const std::wstring& prefix) {
    for (const auto& e : s.sensors)
        if (StartsWith(e.id, prefix)) return true;
    return false;
}

bool AdapterSensor(const SensorSnapshot& s, const std::wstring& description, const std::wstring& suffix) {
    for (const auto& e : s.sensors)
        if (StartsWith(e.id, L"gpu/") && EndsWith(e.id, suffix) && e.device == description) return true;
    return false;
}

int64_t ParseBuild(const std::wstring& text) {
    const std::string t = WideToUtf8(TrimSpaces(std::wstring_view(text)));
    return std::strtoll(t.c_str(), nullptr, 10);
}

void WriteBench(JsonWriter& w, const char* name, const std::optional<TestRecord>& rec) {
    if (!rec) return;
    w.beginObject(name);
    w.number("at", static_cast<double>(rec->time));
    if (auto it = rec->info.find("gpu.name"); it != rec->info.end()) w.string("device", std::wstring_view(it->second));
    if (auto it = rec->info.find("disk.model"); it != rec->info.end()) w.string("device", std::wstring_view(it->second));
    w.beginObject("metrics");
    // std::map: ascending byte order. A damaged key or figure is left out, never sent.
    for (const auto& [key, value] : rec->metrics)
        if (IsStorableKey(key) && std::isfinite(value)) w.number(key, value);
    w.endObject();
    w.endObject();
}

}  // namespace

std::string BuildCompatibilityReport(const ReportInputs& in, const SensorSnapshot& s) {
    JsonWriter w;
    w.beginObject();
    w.number("v", 1);
    w.string("id", std::string_view(in.id));
    w.string("app", std::wstring_view(in.appVersion));
    w.beginObject("os");
    w.number("build", static_cast<double>(ParseBuild(in.osBuildText)));
    w.endObject();

    w.beginObject("device");
    w.string("type", std::string_view(s.hasBattery ? "laptop" : "desktop"));
    w.string("maker", std::wstring_view(TrimSpaces(std::wstring_view(in.maker))));
    w.string("model", std::wstring_view(TrimSpaces(std::wstring_view(in.model))));
    w.endObject();

    w.beginObject("cpu");
    w.string("vendor", std::string_view(CpuVendorWord(in.cpuVendor)));
    w.string("name", std::wstring_view(in.cpuName));
    w.number("family", CpuFamily(in.cpuidLeaf1Eax));
    w.number("model", CpuModel(in.cpuidLeaf1Eax));
    w.number("threads", in.threads);
    w.string("tempSource", std::string_view(TempSourceWord(s.cpuTempSource)));
    w.boolean("acpiTemp", AnyId(s, L"acpi/"));
    w.boolean("coreTemps", AnyId(s, L"pawnio/temp/core"));
    w.boolean("power", s.cpuPackagePower.has_value());
    w.endObject();

    w.beginArray("gpus");
    for (const ReportAdapter& a : in.adapters) {
        if (a.software || a.vendorId == 0x1414) continue;
        w.beginObject();
        w.string("name", std::wstring_view(a.description));
        w.string("vendor", std::string_view(GpuVendorWord(a.vendorId)));
        w.boolean("discrete", a.dedicatedVideoMemory >= (1ull << 30));
        w.boolean("temp", AdapterSensor(s, a.description, L"/temp"));
        w.boolean("fan", AdapterSensor(s, a.description, L"/fan"));
        w.endObject();
    }
    w.endArray();

    w.beginArray("disks");
    for (const ReportDisk& d : in.disks) {
        if (d.bus == L"virtual") continue;
        w.beginObject();
        w.string("model", std::wstring_view(d.model));
        w.string("bus", std::wstring_view(d.bus));
        w.boolean("temp", AnyId(s, L"disk/" + std::to_wstring(d.number) + L"/temp"));
        w.endObject();
    }
    w.endArray();

    int fans = 0;
    for (const auto& e : s.sensors)
        if (StartsWith(e.id, L"msi/fan/")) ++fans;
    w.number("fans", fans);
    w.boolean("battery", s.hasBattery);
    w.boolean("pawnio", in.pawnIoInstalled);
    w.boolean("elevated", s.elevated);
    w.number("memoryGb", in.installedMemoryKb ? std::round(static_cast<double>(*in.installedMemoryKb) / 1048576.0) : 0.0);
    w.beginObject("leaderboard");
    w.string("name", std::wstring_view(MakeNickname(in.id)));
    w.endObject();

    w.beginObject("bench");
    WriteBench(w, "cpu", in.latest[0]);
    WriteBench(w, "gpu", in.latest[1]);
    WriteBench(w, "memory", in.latest[3]);
    WriteBench(w, "disk", in.latest[2]);
    w.endObject();
    w.endObject();
    if (!w.ok()) Log(LogLevel::Error, "telemetry", "a member without a name was left out of the report");
    return w.text();
}

}  // namespace kalorix
