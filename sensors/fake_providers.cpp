#include "sensors/fake_providers.h"

#include <algorithm>
#include <cmath>

namespace kalorix {

namespace {

constexpr double kGiB = 1024.0 * 1024.0 * 1024.0;

class DemoProvider : public Provider {
public:
    explicit DemoProvider(bool hot) : hot_(hot) {}
    const wchar_t* name() const override { return L"Demo"; }

    void poll(SensorFrame& f) override {
        const double k = static_cast<double>(tick_++);
        const std::wstring cpu = hot_ ? L"Intel Core i7-12700H" : L"AMD Ryzen 5 5600X";
        const double wave = std::sin(k / 7.0);
        const double ramp = std::min(1.0, k / 40.0);
        const double cpuTemp = hot_ ? 48.0 + ramp * (42.5 + 6.5 * wave) : 41.0 + 3.0 * wave;
        const double load = hot_ ? 55.0 + ramp * (37.0 + 8.0 * std::sin(k / 3.0)) : 6.0 + 3.0 * wave;
        const int cores = hot_ ? 8 : 6;

        f.cpuLoad = load;
        f.add(L"cpu/load/total", cpu, L"Toplam yük", SensorKind::Load, load);
        for (int c = 0; c < cores; ++c) {
            const double v = std::clamp(load + 9.0 * std::sin(k / 4.0 + c), 0.0, 100.0);
            f.add(L"cpu/load/core" + CoreNumber2(c), cpu, L"Çekirdek #" + std::to_wstring(c + 1) + L" yük",
                  SensorKind::Load, v);
        }
        const double clock = hot_ ? 3650.0 - 400.0 * std::max(0.0, wave) : 4420.0;
        f.cpuClock = clock;
        f.add(L"cpu/clock/avg", cpu, L"Ortalama frekans", SensorKind::Clock, clock);
        for (int c = 0; c < cores; ++c)
            f.add(L"cpu/clock/core" + CoreNumber2(c), cpu, L"Çekirdek #" + std::to_wstring(c + 1) + L" frekans",
                  SensorKind::Clock, clock + 35.0 * c);
        f.add(L"acpi/\\_tz.cpuz", L"ACPI termal bölgeleri", L"Bölge CPUZ", SensorKind::Temperature, cpuTemp - 2.0);
        f.cpuTemp = cpuTemp;
        f.cpuTempSource = L"ACPI";
        const double power = hot_ ? 38.0 + 9.0 * wave : 14.5;
        f.cpuPackagePower = power;
        f.add(L"rapl/rapl_package0_pkg", cpu, L"Paket gücü", SensorKind::Power, power);

        const double total = hot_ ? 16.0 * kGiB : 32.0 * kGiB;
        const double avail = hot_ ? 5.6 * kGiB : 21.3 * kGiB;
        f.memoryTotalBytes = static_cast<uint64_t>(total);
        f.memoryAvailableBytes = static_cast<uint64_t>(avail);
        f.add(L"mem/load", L"Bellek", L"Kullanım", SensorKind::Load, (total - avail) / total * 100.0);
        f.add(L"mem/used", L"Bellek", L"Kullanılan", SensorKind::Data, (total - avail) / kGiB);
        f.add(L"mem/avail", L"Bellek", L"Boş", SensorKind::Data, avail / kGiB);

        if (!hot_) return;

        GpuSummary g;
        g.name = L"NVIDIA GeForce RTX 4060 Laptop GPU";
        g.discrete = true;
        g.temperature = 72.0 + 4.0 * std::sin(k / 9.0);
        g.load = 64.0 + 20.0 * std::sin(k / 5.0);
        g.fanSpeed = 2650.0 + 300.0 * wave;
        g.dedicatedTotalBytes = 8ull << 30;
        g.dedicatedUsedBytes = 3ull << 30;
        const std::wstring key = L"gpu/0000_0001b2c4/";
        f.add(key + L"temp", g.name, L"Sıcaklık", SensorKind::Temperature, *g.temperature);
        f.add(key + L"load", g.name, L"Yük", SensorKind::Load, *g.load);
        f.add(key + L"fan", g.name, L"Fan", SensorKind::Fan, *g.fanSpeed);
        f.add(key + L"mem", g.name, L"Ayrılmış bellek", SensorKind::Data, 3.0);
        f.gpu = g;

        f.add(L"disk/0/temp", L"Samsung SSD 980 PRO 1TB", L"Sıcaklık", SensorKind::Temperature, 47.0 + wave);
        f.hottestDiskTemp = 47.0 + wave;
        f.hottestDiskName = L"Samsung SSD 980 PRO 1TB";

        f.fans = {{L"CPU Fanı", 3900.0 + 250.0 * wave}, {L"GPU Fanı", 3400.0}};
        f.add(L"msi/fan/1", L"MSI gömülü denetleyici", L"CPU Fanı", SensorKind::Fan, f.fans[0].speed);
        f.add(L"msi/fan/2", L"MSI gömülü denetleyici", L"GPU Fanı", SensorKind::Fan, f.fans[1].speed);

        f.hasBattery = true;
        f.batteryPercent = 76;
        f.onAcPower = true;
        f.charging = false;
        f.designCapacity = 90000;
        f.fullChargeCapacity = 81500;
        f.cycleCount = 212;
        f.add(L"bat/level", L"Pil", L"Şarj", SensorKind::Level, 76.0);
        f.add(L"bat/health", L"Pil", L"Sağlık", SensorKind::Level, 81500.0 / 90000.0 * 100.0);
    }

private:
    bool hot_;
    long tick_ = 0;
};

}  // namespace

std::vector<std::unique_ptr<Provider>> MakeFakeProviders(const std::string& scenario) {
    std::vector<std::unique_ptr<Provider>> list;
    if (scenario == "demo") list.push_back(std::make_unique<DemoProvider>(true));
    else if (scenario == "idle") list.push_back(std::make_unique<DemoProvider>(false));
    return list;
}

}  // namespace kalorix
