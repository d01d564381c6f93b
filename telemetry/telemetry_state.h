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
    std::wstring statusText;   // not persisted: last outcome for the settings page
    bool busy = false;         // not persisted: a request is running
};

constexpr int64_t kNoticeDelaySeconds = 3600;
constexpr int64_t kAttemptSpacingSeconds = 1800;
constexpr int64_t kSentSpacingSeconds = 21600;
constexpr int64_t kUnchangedResendSeconds = 2592000;

// telemetry.txt. Parsing keeps the persisted fields of base that the text lacks at
// their defaults; idValid is false when the id is not 36 characters long.
TelemetryState ParseTelemetryState(std::string_view text, bool* idValid);
std::string SerializeTelemetryState(const TelemetryState& s);

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
void FinishDeletion(TelemetryState& s, bool ok, const std::wstring& message, const std::string& newId, int64_t now);

// The compact body of a deletion request.
std::string DeletionBody(std::string_view id);

}  // namespace kalorix
