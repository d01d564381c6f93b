#include "telemetry/telemetry_client_win.h"

#include "base/messages.h"

#include <bcrypt.h>

#include <array>
#include <ctime>
#include <random>
#include <vector>

#include "app/elevation_win.h"
#include "base/log.h"
#include "store/file_util.h"
#include "store/paths.h"
#include "store/settings.h"
#include "telemetry/http_win.h"
#include "telemetry/report.h"
#include "telemetry/report_sources_win.h"

namespace kalorix {

namespace {

int64_t UnixNow() { return static_cast<int64_t>(std::time(nullptr)); }

// After a deletion the setting follows: the window reads it back when told.
void SwitchSharingOff() {
    Settings s = LoadSettings();
    if (!s.ShareData) return;
    s.ShareData = false;
    SaveSettings(s);
}

}  // namespace

std::string NewAnonymousId() {
    std::array<uint8_t, 16> bytes{};
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes.data(), static_cast<ULONG>(bytes.size()),
                                        BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
        std::random_device rd;  // the system generator failed: still never a fixed id
        for (auto& b : bytes) b = static_cast<uint8_t>(rd());
    }
    return UuidFromBytes(bytes);
}

std::wstring AppVersionText() {
    const std::wstring path = OwnProgramPath();
    if (path.empty()) return L"?";
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return L"?";
    std::vector<char> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return L"?";
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info || len < sizeof(*info))
        return L"?";
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) +
           L"." + std::to_wstring(HIWORD(info->dwFileVersionLS));
}

std::filesystem::path TelemetryPath(bool createFolder) {
    const std::filesystem::path folder = KalorixDataFolder(createFolder);
    return folder.empty() ? folder : folder / "telemetry.txt";
}

TelemetryClient::TelemetryClient() = default;

TelemetryClient::~TelemetryClient() { join(); }

void TelemetryClient::join() {
    std::thread t;
    {
        std::lock_guard<std::mutex> g(lock_);
        t = std::move(worker_);
    }
    if (t.joinable()) t.join();
}

namespace {

// A telemetry.txt that is there but yields no identity is kept as
// telemetry.txt.bad (replacing an older one) instead of being overwritten.
bool KeepAside(const std::filesystem::path& path) {
    std::filesystem::path aside = path;
    aside += ".bad";
    if (!MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        LogWin32Error("telemetry", "cannot keep " + PathText(path) + " aside", GetLastError());
        return false;
    }
    Log(LogLevel::Warning, "telemetry", PathText(path) + " held no identity; kept as " + PathText(aside));
    return true;
}

}  // namespace

void TelemetryClient::load() {
    std::lock_guard<std::mutex> g(lock_);
    const std::filesystem::path path = TelemetryPath(false);
    std::string text;
    const ReadStatus read = ReadWholeFile(path, text);
    bool idValid = false;
    TelemetryState loaded = ParseTelemetryState(text, &idValid);
    ClampTelemetryTimes(loaded, UnixNow());
    loaded.statusText = state_.statusText;
    state_ = loaded;
    if (idValid) return;
    state_.id = NewAnonymousId();
    // A file that cannot even be moved aside is left alone; the next save replaces it.
    if (read != ReadStatus::Missing && !KeepAside(path)) return;
    // The file then holds only the new id; the rest reaches it at the next save.
    AtomicWriteFile(TelemetryPath(true), "id=" + state_.id + "\n");
}

void TelemetryClient::saveLocked() {
    AtomicWriteFile(TelemetryPath(true), SerializeTelemetryState(state_));  // a failure is logged there
}

TelemetryState TelemetryClient::state() const {
    std::lock_guard<std::mutex> g(lock_);
    return state_;
}

std::wstring TelemetryClient::nickname() const {
    std::lock_guard<std::mutex> g(lock_);
    return MakeNickname(state_.id);
}

std::wstring TelemetryClient::statusText() const {
    std::lock_guard<std::mutex> g(lock_);
    return state_.statusText;
}

bool TelemetryClient::busy() const {
    std::lock_guard<std::mutex> g(lock_);
    return state_.busy;
}

void TelemetryClient::markNoticeShown() {
    std::lock_guard<std::mutex> g(lock_);
    if (state_.noticeShownAt != 0) return;
    state_.noticeShownAt = UnixNow();
    saveLocked();
}

void TelemetryClient::acknowledgeNotice() {
    std::lock_guard<std::mutex> g(lock_);
    AcknowledgeNotice(state_, UnixNow());
    saveLocked();
}

void TelemetryClient::markNewResult() {
    std::lock_guard<std::mutex> g(lock_);
    state_.pending = true;
    state_.lastAttemptAt = 0;
    saveLocked();
}

void TelemetryClient::notify() {
    if (window_) PostMessageW(window_, kMsgTelemetry, 0, 0);
}

std::string TelemetryClient::previewReport(const SensorSnapshot& snapshot,
                                           const std::optional<std::wstring>& inventoryCpuName) const {
    std::string id;
    {
        std::lock_guard<std::mutex> g(lock_);
        id = state_.id;
    }
    return BuildCompatibilityReport(GatherReportInputs(id, inventoryCpuName), snapshot);
}

void TelemetryClient::maybeSendReport(bool share, const SensorSnapshot& snapshot,
                                      const std::optional<std::wstring>& inventoryCpuName) {
    if (!share || !snapshot.valid || !inventoryCpuName) return;
    const int64_t now = UnixNow();
    {
        std::lock_guard<std::mutex> g(lock_);
        if (!ReportGateOpen(state_, now)) return;
    }
    const std::string report = previewReport(snapshot, inventoryCpuName);
    const std::string hash = ChangeHash(report);

    std::unique_lock<std::mutex> held(lock_);
    if (!ReportWorthSending(state_, hash, now)) return;
    const bool wasPending = BeginReportAttempt(state_, now);
    startWorker(held, [this, report, hash, wasPending] {
        const RequestResult r = PostJson(report);
        {
            std::lock_guard<std::mutex> g(lock_);
            FinishReport(state_, r.ok, r.message, hash, wasPending, UnixNow());
            saveLocked();
        }
        notify();
    });
}

void TelemetryClient::startWorker(std::unique_lock<std::mutex>& held, std::function<void()> job) {
    // busy is set, so no other request starts while the previous thread is joined
    // outside the lock (it may still be posting its message).
    std::thread previous = std::move(worker_);
    held.unlock();
    if (previous.joinable()) previous.join();
    held.lock();
    worker_ = std::thread(std::move(job));
}

void TelemetryClient::requestDeletion() {
    std::unique_lock<std::mutex> held(lock_);
    if (state_.busy) return;
    state_.busy = true;
    const std::string body = DeletionBody(state_.id);
    startWorker(held, [this, body] {
        const RequestResult r = PostJson(body);
        const std::string newId = r.ok ? NewAnonymousId() : std::string();
        {
            std::lock_guard<std::mutex> g(lock_);
            FinishDeletion(state_, r.ok, r.message, newId, UnixNow());
            saveLocked();
        }
        if (r.ok) SwitchSharingOff();
        notify();
    });
}

}  // namespace kalorix
