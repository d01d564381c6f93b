#include "metrics/exposition.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "sensors/text.h"
#include "telemetry/json_writer.h"

namespace kalorix {

namespace {

constexpr double kBytesPerGiB = 1024.0 * 1024.0 * 1024.0;

constexpr MetricFamily kFamilies[] = {
    {"kalorix_temperature_celsius", "temperature", "celsius", 1.0, "Sensör sıcaklığı, santigrat derece."},
    {"kalorix_load_ratio", "load", "ratio", 0.01, "Yük, 0 ile 1 arasında oran."},
    {"kalorix_clock_hertz", "clock", "hertz", 1e6, "Saat hızı, hertz."},
    {"kalorix_power_watts", "power", "watts", 1.0, "Güç, watt."},
    {"kalorix_fan_rpm", "fan", "rpm", 1.0, "Fan hızı, dakikadaki devir."},
    {"kalorix_memory_bytes", "memory", "bytes", kBytesPerGiB, "Bellek miktarı, bayt."},
    {"kalorix_level_ratio", "level", "ratio", 0.01, "Seviye (pil şarjı, pil sağlığı), 0 ile 1 arasında oran."},
};
constexpr SensorKind kKindOrder[] = {SensorKind::Temperature, SensorKind::Load, SensorKind::Clock, SensorKind::Power,
                                     SensorKind::Fan,         SensorKind::Data, SensorKind::Level};

struct Scalar {
    const char* name;
    const char* help;
};
constexpr Scalar kCpuTemperature{"kalorix_cpu_temperature_celsius",
                                 "İşlemci sıcaklığı, pencerede gösterilen (yumuşatılmış) değer, santigrat derece."};
constexpr Scalar kGpuTemperature{"kalorix_gpu_temperature_celsius", "Ekran kartı sıcaklığı, santigrat derece."};
constexpr Scalar kThermalLimit{"kalorix_thermal_limit_seconds_recent",
                               "Son 10 dakikada işlemcinin ısıl sınırında geçirdiği süre, saniye."};
constexpr Scalar kHeavyUse{"kalorix_heavy_use_active", "Yoğun kullanım dönemi sürüyorsa 1, sürmüyorsa 0."};
constexpr Scalar kLastScore{"kalorix_last_score", "Testin son puanı; referans makine 1000 puandır."};
constexpr Scalar kBuildInfo{"kalorix_build_info", "Kalorix sürümü; değeri her zaman 1."};

struct ScoreField {
    const char* test;
    std::optional<double> bench::LatestScores::*member;
};
constexpr ScoreField kScores[] = {{"cpu", &bench::LatestScores::cpu},
                                  {"gpu", &bench::LatestScores::gpu},
                                  {"memory", &bench::LatestScores::memory},
                                  {"disk", &bench::LatestScores::disk},
                                  {"overall", &bench::LatestScores::overall}};

void FamilyHeader(std::string& out, const char* name, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += EscapeHelpText(help);
    out += "\n# TYPE ";
    out += name;
    out += " gauge\n";
}

void Sample(std::string& out, const char* name, std::string_view labels, double value) {
    out += name;
    out += labels;
    out += ' ';
    out += SampleValueText(value);
    out += '\n';
}

// A family of one unlabelled series, or nothing when the value is absent.
void ScalarFamily(std::string& out, const Scalar& scalar, std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return;
    FamilyHeader(out, scalar.name, scalar.help);
    Sample(out, scalar.name, {}, *value);
}

std::string SensorLabels(const SensorEntry& e) {
    return "{sensor=\"" + EscapeLabelValue(WideToUtf8(e.id)) + "\",device=\"" +
           EscapeLabelValue(WideToUtf8(e.device)) + "\",name=\"" + EscapeLabelValue(WideToUtf8(e.label)) + "\"}";
}

}  // namespace

const MetricFamily* FamilyOf(SensorKind kind) {
    const auto index = static_cast<uint32_t>(kind);
    return index < std::size(kFamilies) ? &kFamilies[index] : nullptr;
}

MetricsSource MakeMetricsSource(const SensorSnapshot& s) {
    MetricsSource m;
    m.valid = s.valid;
    if (!s.valid) return m;
    m.sensors.reserve(s.sensors.size());
    for (const SensorEntry& e : s.sensors)
        if (e.seenAt == s.updatedAt) m.sensors.push_back(e);
    m.cpuTemperature = s.cpuTempShown;
    if (s.gpu) m.gpuTemperature = s.gpu->temperature;
    m.thermalLimitSecondsRecent = s.atLimitSecondsRecent;
    m.heavyUseActive = s.currentPeriod.has_value();
    return m;
}

std::string EscapeLabelValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '"') out += "\\\"";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string EscapeHelpText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string SampleValueText(double value) {
    char buffer[64];
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        return buffer;
    }
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string WriteMetricsText(const MetricsSource& source, const MetricsExtras& extras) {
    std::string out;
    out.reserve(256 + source.sensors.size() * 160);
    FamilyHeader(out, kBuildInfo.name, kBuildInfo.help);
    Sample(out, kBuildInfo.name, "{version=\"" + EscapeLabelValue(extras.version) + "\"}", 1);
    if (!source.valid) return out;

    for (const SensorKind kind : kKindOrder) {
        const MetricFamily& family = *FamilyOf(kind);
        bool headerWritten = false;
        for (const SensorEntry& e : source.sensors) {
            if (e.kind != kind || !std::isfinite(e.value)) continue;
            if (!headerWritten) FamilyHeader(out, family.name, family.help);
            headerWritten = true;
            Sample(out, family.name, SensorLabels(e), e.value * family.scale);
        }
    }
    ScalarFamily(out, kCpuTemperature, source.cpuTemperature);
    ScalarFamily(out, kGpuTemperature, source.gpuTemperature);
    ScalarFamily(out, kThermalLimit, source.thermalLimitSecondsRecent);
    ScalarFamily(out, kHeavyUse, source.heavyUseActive ? 1.0 : 0.0);

    bool scoreHeader = false;
    for (const ScoreField& field : kScores) {
        const std::optional<double>& score = extras.scores.*field.member;
        if (!score || !std::isfinite(*score)) continue;
        if (!scoreHeader) FamilyHeader(out, kLastScore.name, kLastScore.help);
        scoreHeader = true;
        Sample(out, kLastScore.name, std::string("{test=\"") + field.test + "\"}", *score);
    }
    return out;
}

std::string WriteMetricsJson(const MetricsSource& source, const MetricsExtras& extras) {
    JsonWriter w;
    w.beginObject();
    w.string("version", std::string_view(extras.version));
    w.boolean("valid", source.valid);
    if (source.valid) {
        if (source.cpuTemperature && std::isfinite(*source.cpuTemperature))
            w.number("cpuTemperatureCelsius", *source.cpuTemperature);
        if (source.gpuTemperature && std::isfinite(*source.gpuTemperature))
            w.number("gpuTemperatureCelsius", *source.gpuTemperature);
        w.number("thermalLimitSecondsRecent", source.thermalLimitSecondsRecent);
        w.boolean("heavyUseActive", source.heavyUseActive);
        w.beginObject("lastScores");
        for (const ScoreField& field : kScores) {
            const std::optional<double>& score = extras.scores.*field.member;
            if (score && std::isfinite(*score)) w.number(field.test, *score);
        }
        w.endObject();
        w.beginArray("sensors");
        for (const SensorEntry& e : source.sensors) {
            const MetricFamily* family = FamilyOf(e.kind);
            if (!family || !std::isfinite(e.value)) continue;
            w.beginObject();
            w.string("id", std::wstring_view(e.id));
            w.string("device", std::wstring_view(e.device));
            w.string("name", std::wstring_view(e.label));
            w.string("quantity", std::string_view(family->quantity));
            w.string("unit", std::string_view(family->unit));
            w.number("value", e.value * family->scale);
            w.endObject();
        }
        w.endArray();
    }
    w.endObject();
    return w.text();
}

}  // namespace kalorix
