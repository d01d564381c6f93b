#include "telemetry/telemetry_state.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "telemetry/json_writer.h"

namespace kalorix {

namespace {

const wchar_t* const kAdjectives[24] = {
    L"Flying", L"Silent", L"Swift", L"Frosty", L"Brave", L"Clever", L"Mighty", L"Calm",
    L"Bright", L"Lucky", L"Rapid", L"Cosmic", L"Golden", L"Icy", L"Stormy", L"Quiet",
    L"Bold", L"Nimble", L"Chill", L"Turbo", L"Electric", L"Hidden", L"Noble", L"Wild"};
const wchar_t* const kAnimals[24] = {
    L"Dolphin", L"Falcon", L"Fox", L"Owl", L"Wolf", L"Panda", L"Lynx", L"Tiger",
    L"Eagle", L"Otter", L"Penguin", L"Hawk", L"Whale", L"Badger", L"Raven", L"Koala",
    L"Cheetah", L"Beaver", L"Gecko", L"Bison", L"Jaguar", L"Heron", L"Moose", L"Orca"};

// Leading decimal digits as a 64-bit number, saturated; 0 when there are none.
int64_t LeadingInteger(std::string_view v) {
    int64_t n = 0;
    for (size_t i = 0; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) {
        const int digit = v[i] - '0';
        if (n > (INT64_MAX - digit) / 10) return INT64_MAX;
        n = n * 10 + digit;
    }
    return n;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trimmed(std::string_view v) {
    while (!v.empty() && IsBlank(v.front())) v.remove_prefix(1);
    while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
    return v;
}

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

bool IsAnonymousId(std::string_view id) {
    if (id.size() != 36) return false;
    for (size_t i = 0; i < id.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? id[i] != '-' : !IsHex(id[i])) return false;
    }
    return true;
}

TelemetryState ParseTelemetryState(std::string_view text, bool* idValid) {
    TelemetryState s;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view key = Trimmed(line.substr(0, eq)), value = Trimmed(line.substr(eq + 1));
        if (key == "id") s.id = std::string(value);
        else if (key == "noticeShownAt") s.noticeShownAt = LeadingInteger(value);
        else if (key == "noticeAcked") s.noticeAcked = value == "1";
        else if (key == "lastSentAt") s.lastSentAt = LeadingInteger(value);
        else if (key == "lastHash") s.lastHash = std::string(value);
        else if (key == "pending") s.pending = value == "1";
        else if (key == "sharingOff") s.sharingOff = value == "1";
    }
    if (idValid) *idValid = IsAnonymousId(s.id);
    return s;
}

int64_t SecondsSince(int64_t now, int64_t then) {
    int64_t d = 0;
    if (__builtin_sub_overflow(now, then, &d)) return then > now ? INT64_MIN : INT64_MAX;
    return d;
}

void ClampTelemetryTimes(TelemetryState& s, int64_t now) {
    const int64_t latest = now > INT64_MAX - kFutureToleranceSeconds ? INT64_MAX : now + kFutureToleranceSeconds;
    for (int64_t* t : {&s.noticeShownAt, &s.lastSentAt, &s.lastAttemptAt}) *t = std::clamp<int64_t>(*t, 0, std::max<int64_t>(latest, 0));
}

std::string SerializeTelemetryState(const TelemetryState& s) {
    std::string out;
    out += "id=" + s.id + "\n";
    out += "noticeShownAt=" + std::to_string(s.noticeShownAt) + "\n";
    out += std::string("noticeAcked=") + (s.noticeAcked ? "1" : "0") + "\n";
    out += "lastSentAt=" + std::to_string(s.lastSentAt) + "\n";
    out += "lastHash=" + s.lastHash + "\n";
    out += std::string("pending=") + (s.pending ? "1" : "0") + "\n";
    if (s.sharingOff) out += "sharingOff=1\n";
    return out;
}

std::string UuidFromBytes(std::array<uint8_t, 16> b) {
    b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
    b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
    char buf[40];
    std::snprintf(buf, sizeof(buf), "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0], b[1],
                  b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return buf;
}

std::wstring MakeNickname(std::string_view id) {
    uint32_t h = 0x811C9DC5u;
    for (const char c : id) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return std::wstring(kAdjectives[h % 24]) + kAnimals[(h / 24) % 24] + std::to_wstring((h / 576) % 900 + 100);
}

std::string ChangeHash(std::string_view text) {
    uint64_t h = 0x14650FB0739D0383ull;
    for (const char c : text) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001B3ull;
    }
    char buf[24];
    std::snprintf(buf, sizeof(buf), "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

bool ReportGateOpen(const TelemetryState& s, int64_t now) {
    if (s.busy || s.sharingOff) return false;
    if (!s.noticeAcked && (s.noticeShownAt == 0 || SecondsSince(now, s.noticeShownAt) < kNoticeDelaySeconds))
        return false;
    if (!s.pending) {
        if (s.lastAttemptAt != 0 && SecondsSince(now, s.lastAttemptAt) < kAttemptSpacingSeconds) return false;
        if (s.lastSentAt != 0 && SecondsSince(now, s.lastSentAt) < kSentSpacingSeconds) return false;
    }
    return true;
}

bool ReportWorthSending(const TelemetryState& s, std::string_view hash, int64_t now) {
    if (s.busy || s.sharingOff) return false;  // a request started while the report was being built
    if (s.pending) return true;
    if (s.lastSentAt != 0 && SecondsSince(now, s.lastSentAt) < kUnchangedResendSeconds && hash == s.lastHash)
        return false;
    return true;
}

bool BeginReportAttempt(TelemetryState& s, int64_t now) {
    const bool wasPending = s.pending;
    s.pending = false;
    s.lastAttemptAt = now;
    s.busy = true;
    return wasPending;
}

void FinishReport(TelemetryState& s, bool ok, const std::wstring& message, const std::string& hash, bool wasPending,
                  int64_t now) {
    s.busy = false;
    if (ok) {
        s.lastSentAt = now;
        s.lastHash = hash;
        s.statusText.clear();
    } else {
        s.statusText = L"Son gönderim başarısız: " + message;
        if (wasPending) s.pending = true;
    }
}

void FinishDeletion(TelemetryState& s, bool ok, const std::wstring& message, const std::string& newId, int64_t now) {
    s.busy = false;
    if (ok) {
        s.id = newId;
        s.lastSentAt = 0;
        s.lastHash.clear();
        s.lastAttemptAt = now;
        s.sharingOff = true;  // otherwise the same data would go out again under the new id
        s.statusText = kDeletedStatus;
    } else {
        s.statusText = L"Silinemedi: " + message + L". Daha sonra yeniden dene.";
    }
}

void AcknowledgeNotice(TelemetryState& s, int64_t now) {
    if (s.noticeShownAt == 0) s.noticeShownAt = now;
    s.noticeAcked = true;
    s.sharingOff = false;
}

std::string DeletionBody(std::string_view id) {
    return "{\"v\":1,\"action\":\"delete\",\"id\":" + JsonWriter::Escape(id) + "}";
}

}  // namespace kalorix
