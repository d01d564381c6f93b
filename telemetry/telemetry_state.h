// What the telemetry client remembers between runs, the nickname, the change hash
// and the rules that decide when a compatibility report goes out.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kalorix {

struct TelemetryState {
    std::string id;            // version-4 UUID, lower-case, 36 characters
    int64_t noticeShownAt = 0; // Unix seconds; 0 = never
    bool noticeAcked = false;
    int64_t lastSentAt = 0;    // Unix seconds; 0 = never
    int64_t lastAttemptAt = 0; // not persisted; 0 = none since start
    std::string lastHash;      // 16 hex digits of the last sent report
    bool pending = false;      // a new test result waits to be reported
    bool sharingOff = false;   // a deletion switched sharing off; nothing goes out until the user chooses again
    std::wstring statusText;   // not persisted: last outcome for the settings page
    bool busy = false;         // not persisted: a request is running
};

constexpr int64_t kNoticeDelaySeconds = 3600;
constexpr int64_t kAttemptSpacingSeconds = 1800;
constexpr int64_t kSentSpacingSeconds = 21600;
constexpr int64_t kUnchangedResendSeconds = 2592000;
constexpr int64_t kFutureToleranceSeconds = 86400;

// telemetry.txt. Lines may end in CRLF and carry blanks around key and value;
// times are the value's leading digits (no sign). Fields the text lacks keep
// their defaults; idValid is false unless the id is a 36-character UUID text.
// sharingOff is written only when set (as the last line), so earlier versions,
// which skip keys they do not know, read the file as before.
TelemetryState ParseTelemetryState(std::string_view text, bool* idValid);
std::string SerializeTelemetryState(const TelemetryState& s);
bool IsAnonymousId(std::string_view id);
// Holds the stored times inside [0, now + 1 day]: a clock set back or a damaged
// value can neither open the notice gate early nor close it for years.
void ClampTelemetryTimes(TelemetryState& s, int64_t now);
// now - then without overflow, saturated to the 64-bit range.
int64_t SecondsSince(int64_t now, int64_t then);

// The id text of 16 random bytes, with the version and variant bits set.
std::string UuidFromBytes(std::array<uint8_t, 16> bytes);
std::wstring MakeNickname(std::string_view id);
std::string ChangeHash(std::string_view reportText);

// Steps of the send decision; the caller holds the client's lock for each.
// Busy, notice and spacing rules: may a report be built now?
bool ReportGateOpen(const TelemetryState& s, int64_t now);
// After building: is this report worth sending (new result, or changed, or 30 days old)?
bool ReportWorthSending(const TelemetryState& s, std::string_view hash, int64_t now);
// Marks the start of an upload; returns whether it was started for a pending result.
bool BeginReportAttempt(TelemetryState& s, int64_t now);
void FinishReport(TelemetryState& s, bool ok, const std::wstring& message, const std::string& hash,
                  bool wasPending, int64_t now);
// A successful deletion also switches sharing off (sharingOff, and the caller the setting).
void FinishDeletion(TelemetryState& s, bool ok, const std::wstring& message, const std::string& newId, int64_t now);
// The user answered the notice or set the sharing switch: sharing may resume.
void AcknowledgeNotice(TelemetryState& s, int64_t now);

inline constexpr wchar_t kDeletedStatus[] =
    L"Sunucudaki verilerin silindi; yeni bir anonim kimlik oluşturuldu. Veri paylaşımı kapatıldı.";

// The compact body of a deletion request.
std::string DeletionBody(std::string_view id);

}  // namespace kalorix
