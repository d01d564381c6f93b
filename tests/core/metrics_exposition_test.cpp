// The metrics pages: Prometheus text (promtool checks its syntax in tests/e2e/prometheus.sh), JSON, the
// copy taken from a snapshot, and the Settings row's texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "metrics/exposition.h"
#include "sensors/sampling_engine.h"
#include "tests/core/engine_fakes.h"
#include "ui/settings_model.h"

namespace kalorix {
namespace {

SensorEntry Entry(const wchar_t* id, SensorKind kind, double value, const wchar_t* device = L"Cihaz", const wchar_t* label = L"Ad") {
    SensorEntry e;
    return e.id = id, e.device = device, e.label = label, e.kind = kind, e.value = value, e;
}

MetricsSource Source(std::vector<SensorEntry> sensors) {
    MetricsSource s;
    return s.valid = true, s.sensors = std::move(sensors), s;
}

MetricsSource Source() {
    MetricsSource s = Source({Entry(L"cpu/load/total", SensorKind::Load, 6.0),
                 Entry(L"acpi/\\_tz.cpuz", SensorKind::Temperature, 41.5, L"ACPI termal bölgeleri", L"Bölge CPUZ"),
                 Entry(L"cpu/clock/avg", SensorKind::Clock, 4420.0), Entry(L"rapl/pkg", SensorKind::Power, 14.5),
                 Entry(L"msi/fan/1", SensorKind::Fan, 3900.0), Entry(L"mem/used", SensorKind::Data, 3.0),
                 Entry(L"bat/level", SensorKind::Level, 76.0), Entry(L"cpu/load/core01", SensorKind::Load, 100.0)});
    s.cpuTemperature = 43.25, s.thermalLimitSecondsRecent = 12.5, s.heavyUseActive = true;
    return s;
}

MetricsExtras Extras() {
    MetricsExtras x;
    return x.version = "2.1.7", x.scores.cpu = 1234, x.scores.disk = 845, x;
}

bool Has(const std::string& text, const std::string& line) { return text.find("\n" + line + "\n") != std::string::npos; }

TEST(MetricsTextTest, ReadingsInBaseUnitsWithTheirLabels) {
    const std::string t = "\n" + WriteMetricsText(Source(), Extras());
    for (const char* line : {"kalorix_load_ratio{sensor=\"cpu/load/total\",device=\"Cihaz\",name=\"Ad\"} 0.06",
                             "kalorix_temperature_celsius{sensor=\"acpi/\\\\_tz.cpuz\",device=\"ACPI termal bölgeleri\",name=\"Bölge CPUZ\"} 41.5",
                             "kalorix_clock_hertz{sensor=\"cpu/clock/avg\",device=\"Cihaz\",name=\"Ad\"} 4420000000",
                             "kalorix_memory_bytes{sensor=\"mem/used\",device=\"Cihaz\",name=\"Ad\"} 3221225472",
                             "kalorix_last_score{test=\"disk\"} 845"})
        EXPECT_TRUE(Has(t, line)) << line;
}

TEST(MetricsTextTest, AbsentValuesHaveNoSeries) {
    const std::string t = WriteMetricsText(Source({Entry(L"cpu/load/total", SensorKind::Load, 6.0), Entry(L"x/kind", SensorKind(99), 1.0),
                                                  Entry(L"x/nan", SensorKind::Temperature, std::nan(""))}), MetricsExtras{{}, "1.0.0"});

    for (const char* absent : {"kalorix_cpu_temperature_celsius", "kalorix_temperature_celsius", "kalorix_last_score",
                               "x/kind", "NaN", "nan"})
        EXPECT_EQ(t.find(absent), std::string::npos) << absent;
    EXPECT_NE(t.find("kalorix_heavy_use_active 0\n"), std::string::npos);

    EXPECT_EQ(WriteMetricsText(MetricsSource{}, MetricsExtras{{}, "1.0.0"}),  // before the first cycle only the build
              "# HELP kalorix_build_info Kalorix sürümü; değeri her zaman 1.\n# TYPE kalorix_build_info gauge\n"
              "kalorix_build_info{version=\"1.0.0\"} 1\n");
}

TEST(MetricsTextTest, Escaping) {
    EXPECT_EQ(EscapeHelpText("a\\b\"c\nd"), "a\\\\b\"c\\nd");  // quotes stay in help texts
    const std::string t = WriteMetricsText(Source({Entry(L"disk/0/temp", SensorKind::Temperature, 40.0, L"Disk \"A\"\\B\nC", L"Sıcaklık")}),
                                           MetricsExtras{{}, "1\"2"});
    EXPECT_NE(t.find("device=\"Disk \\\"A\\\"\\\\B\\nC\",name=\"Sıcaklık\"} 40\n"), std::string::npos);
}

TEST(MetricsTextTest, SampleValuesReadBackExactly) {
    EXPECT_EQ(SampleValueText(21.3 * 1024 * 1024 * 1024), "22870700851.2");
    for (double v : {41.0 + 3.0 * std::sin(0.7), 1.0 / 3.0, 6.02e-23, 123456.789e10})
        EXPECT_EQ(std::strtod(SampleValueText(v).c_str(), nullptr), v);
}

TEST(MetricsJsonTest, SameValuesAsJson) {
    const std::string j = WriteMetricsJson(Source(), Extras());
    for (const char* part : {"\"cpuTemperatureCelsius\": 43.25", "\"id\": \"acpi/\\\\_tz.cpuz\"", "\"value\": 4420000000"})
        EXPECT_NE(j.find(part), std::string::npos) << part;
    EXPECT_EQ(j.find("gpuTemperatureCelsius"), std::string::npos);  // absent, not null
}

TEST(MetricsSourceTest, OnlyTheLatestCycleReadings) {
    test::NullHost host;
    SamplingEngine engine(host);
    SensorFrame frame;
    frame.add(L"a", L"d", L"A", SensorKind::Temperature, 50), frame.add(L"b", L"d", L"B", SensorKind::Fan, 1200);
    frame.cpuTemp = 60;
    engine.fold(frame, 10.0), frame.clear();
    frame.add(L"a", L"d", L"A", SensorKind::Temperature, 51);  // b stopped reporting
    engine.fold(frame, 11.0);
    const SensorSnapshot snapshot = engine.snapshot();
    ASSERT_EQ(snapshot.sensors.size(), 2u);  // the snapshot keeps b with its last value
    const MetricsSource m = MakeMetricsSource(snapshot);  // no headline this cycle: absent, not the last one
    EXPECT_TRUE(m.sensors.size() == 1u && !m.cpuTemperature);
    EXPECT_FALSE(MakeMetricsSource(SensorSnapshot{}).valid);
}

TEST(MetricsRowTest, StatusLines) {
    MetricsView v;
    v.port = 9798, v.state = MetricsState::Listening;
    EXPECT_FALSE(MetricsStatusLine(true, v, false).problem);
    v.tokenMissing = true;
    EXPECT_TRUE(MetricsStatusLine(true, v, false).problem);
    v.listenAll = true, v.host = L"OFIS-PC";
    EXPECT_EQ(MetricsAddress(v, true), L"http://<bilgisayar-adı>:9798/metrics");  // personal info hidden
    v.state = MetricsState::Failed, v.error = 10049;

    EXPECT_EQ(MetricsStatusLine(true, v, false).text, L"Uzaktan izleme başlatılamadı (Winsock hatası 10049).");
}

}  // namespace
}  // namespace kalorix
