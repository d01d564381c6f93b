// The telemetry state file, the rules for sending, and the compatibility report.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <tuple>

#include "sensors/text.h"
#include "telemetry/json_writer.h"
#include "telemetry/report.h"
#include "telemetry/telemetry_state.h"

using namespace kalorix;

// The nested layout is checked with the whole report below; a member without a
// name is left out with its contents.
TEST(JsonWriter, EscapesNumbersAndNamelessMembers) {
    JsonWriter w;
    w.beginObject(), w.number("c", 1e15), w.number("d", -0.0001234);
    w.string("model", std::string_view("Disk \"X\"\tA\\B\x7f"));
    w.number("", 1), w.beginObject(""), w.beginArray("list"), w.endArray(), w.endObject();
    w.number("nan", std::numeric_limits<double>::quiet_NaN());
    w.beginArray("a"), w.number("", 4), w.endArray();  // elements of an array have no names
    w.endObject();
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.text(), "{\n  \"c\": 1e+15,\n  \"d\": -0.0001234,\n  \"model\": \"Disk \\\"X\\\"\\u0009A\\\\B\x7f\",\n"
                        "  \"nan\": null,\n  \"a\": [\n    4\n  ]\n}\n");
}

// A file saved by a Windows editor, touched by hand or damaged keeps what can be read.
TEST(TelemetryState, FileRoundTripAndTolerantParsing) {
    const std::string id = "0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392";
    const std::string text = "id=" + id + "\nnoticeShownAt=1700000000\nnoticeAcked=1\n"
                             "lastSentAt=1700003600\nlastHash=0123456789abcdef\npending=0\n";
    bool valid = false;
    TelemetryState back = ParseTelemetryState(text, &valid);
    ASSERT_TRUE(valid);
    back.lastAttemptAt = 99;  // not persisted
    EXPECT_EQ(SerializeTelemetryState(back), text);  // every persisted field read back

    TelemetryState s = ParseTelemetryState("garbage\nnoticeAcked=true\r\n  noticeShownAt = 1700000000 \r\n"
                                           "pending=1\npending=0x\nlastSentAt=12abc\nid=" + id + "\r\n",
                                           &valid);
    EXPECT_TRUE(valid);
    // Blanks around; only "1" is true; the last occurrence wins; leading digits only.
    EXPECT_EQ(std::tuple(s.noticeShownAt, s.noticeAcked, s.pending, s.lastSentAt),
              std::tuple(int64_t{1700000000}, false, false, int64_t{12}));
    EXPECT_EQ(ParseTelemetryState("lastSentAt=-5\n", &valid).lastSentAt, 0);  // a sign is no digit
    EXPECT_EQ(ParseTelemetryState("noticeShownAt=99999999999999999999999\n", &valid).noticeShownAt, INT64_MAX);
    // Only the shape of an id the program makes is an id.
    for (const std::string& bad : {id + "x", id.substr(0, 35), id.substr(0, 34) + "\"z"})
        EXPECT_FALSE((ParseTelemetryState("id=" + bad + "\n", &valid), valid)) << bad;
}

TEST(TelemetryState, TimesAreHeldNearNowAndNeverOverflow) {
    const int64_t now = 1'800'000'000;
    TelemetryState s;
    s.noticeShownAt = INT64_MAX, s.lastSentAt = -9'200'000'000'000'000'000;
    ClampTelemetryTimes(s, now);
    EXPECT_EQ(std::pair(s.noticeShownAt, s.lastSentAt), std::pair(now + 86400, int64_t{0}));
    EXPECT_EQ(std::pair(SecondsSince(INT64_MAX, -5), SecondsSince(-5, INT64_MAX)), std::pair(INT64_MAX, INT64_MIN));
    TelemetryState far;  // unclamped extremes in the state still give the right answer
    far.noticeAcked = true, far.lastSentAt = INT64_MIN + 1;
    EXPECT_TRUE(ReportGateOpen(far, now));
}

TEST(TelemetryState, IdNicknameAndHash) {
    std::array<uint8_t, 16> bytes{};
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(0xF0 + i);
    const std::string id = UuidFromBytes(bytes);
    EXPECT_EQ(id, "f0f1f2f3-f4f5-46f7-b8f9-fafbfcfdfeff");
    EXPECT_EQ(MakeNickname("a"), L"BraveOrca464");  // FNV-1a 0xE40C292C: adjective 4, animal 23, number 464
    EXPECT_EQ(ChangeHash(""), "14650fb0739d0383");
    EXPECT_EQ(DeletionBody(id), "{\"v\":1,\"action\":\"delete\",\"id\":\"f0f1f2f3-f4f5-46f7-b8f9-fafbfcfdfeff\"}");
}

// Not before the notice was shown an hour ago (or acknowledged), never while busy.
TEST(TelemetryRules, NoticeRuleIsNeverSkipped) {
    const int64_t now = 1'800'000'000;
    const struct { int64_t shownAt; bool acked, busy, open; } cases[] = {
        {0, false, false, false}, {now - 3599, false, false, false}, {now - 3600, false, false, true},
        {0, true, false, true}, {0, true, true, false}};
    for (const auto& c : cases) {
        TelemetryState s;
        s.pending = true, s.noticeShownAt = c.shownAt, s.noticeAcked = c.acked, s.busy = c.busy;
        EXPECT_EQ(ReportGateOpen(s, now), c.open) << c.shownAt << c.acked << c.busy;
    }
}

TEST(TelemetryRules, SpacingPendingAndUnchangedContent) {
    TelemetryState s{.noticeAcked = true};
    const int64_t t0 = 1'800'000'000;
    ASSERT_TRUE(ReportGateOpen(s, t0));
    EXPECT_FALSE(BeginReportAttempt(s, t0));
    FinishReport(s, true, L"", "aaaaaaaaaaaaaaaa", false, t0);
    // Six hours between successful reports, 30 minutes between attempts...
    EXPECT_FALSE(ReportGateOpen(s, t0 + 21599));
    EXPECT_TRUE(ReportGateOpen(s, t0 + 21600));
    // ...but a new test result goes out at once.
    s.pending = true, s.lastAttemptAt = 0;
    EXPECT_TRUE(ReportGateOpen(s, t0 + 10) && ReportWorthSending(s, "aaaaaaaaaaaaaaaa", t0 + 10));
    s.pending = false;
    // Unchanged content waits 30 days; changed content does not.
    EXPECT_FALSE(ReportWorthSending(s, "aaaaaaaaaaaaaaaa", t0 + 21600));
    EXPECT_TRUE(ReportWorthSending(s, "bbbbbbbbbbbbbbbb", t0 + 21600));
    EXPECT_TRUE(ReportWorthSending(s, "aaaaaaaaaaaaaaaa", t0 + 2592000));
    // A failed attempt for a pending result stays pending and is retried without the pause.
    s.pending = true;
    ASSERT_TRUE(BeginReportAttempt(s, t0 + 100));
    EXPECT_FALSE(ReportGateOpen(s, t0 + 100));  // busy
    FinishReport(s, false, L"Sunucuya ulaşılamadı", "cccccccccccccccc", true, t0 + 101);
    EXPECT_EQ(s.statusText, L"Son gönderim başarısız: Sunucuya ulaşılamadı");
    EXPECT_EQ(s.lastHash, "aaaaaaaaaaaaaaaa");  // the failed content is not taken as sent
    EXPECT_TRUE(s.pending && ReportGateOpen(s, t0 + 102));
}

TEST(TelemetryRules, DeletionOutcomes) {
    TelemetryState s;
    s.id = "old", s.lastSentAt = 5, s.lastHash = "h", s.noticeAcked = true, s.busy = true;
    FinishDeletion(s, false, L"Sunucu hatası (500)", "new", 100);
    EXPECT_EQ(s.statusText, L"Silinemedi: Sunucu hatası (500). Daha sonra yeniden dene.");
    EXPECT_TRUE(s.id == "old" && !s.busy);
    FinishDeletion(s, true, L"", "new", 100);
    EXPECT_EQ(s.id + s.lastHash + std::to_string(s.lastSentAt), "new0");
    EXPECT_EQ(s.statusText,
              L"Sunucudaki verilerin silindi; yeni bir anonim kimlik oluşturuldu. Veri paylaşımı kapatıldı.");
    // Sharing is off: not even a pending result goes out under the new id...
    s.pending = true;
    EXPECT_FALSE(ReportGateOpen(s, 100 + 100000) || ReportWorthSending(s, "h", 100 + 100000));
    EXPECT_NE(SerializeTelemetryState(s).find("\nsharingOff=1\n"), std::string::npos);
    EXPECT_TRUE(ParseTelemetryState(SerializeTelemetryState(s), nullptr).sharingOff);
    AcknowledgeNotice(s, 200), s.pending = false;  // ...until the user chooses again
    EXPECT_FALSE(ReportGateOpen(s, 100 + 1799));  // the next report waits the 30 minutes
    EXPECT_TRUE(ReportGateOpen(s, 100 + 1800));
}

TEST(CompatibilityReport, CpuidDecoding) {
    EXPECT_EQ(std::pair(CpuFamily(0x00A70F52), CpuModel(0x00A70F52)), std::pair(25u, 0x75u));  // base 15 + extended 0x0A
    EXPECT_EQ(CpuModel(0x00000F4A & ~0xF00u | 0x500), 4u);  // family 5: no extended model
    EXPECT_STREQ(CpuVendorWord("HygonGenuine"), "other");
    EXPECT_STREQ(TempSourceWord(L"ACPI "), "none");  // only the exact source names count
}

TEST(CompatibilityReport, WholeDocument) {
    ReportInputs in{"f0f1f2f3-f4f5-46f7-b8f9-fafbfcfdfeff", L"1.4.2", L" 22631 ", L" Micro-Star International Co., Ltd. ",
        L"Katana 15", "GenuineIntel", 0x000906A3, L"12th Gen Intel(R) Core(TM) i7-12650H", 16,
        {{L"Intel(R) UHD Graphics", 0x8086, 128ull << 20, false}, {L"NVIDIA GeForce RTX 4060 Laptop GPU", 0x10DE, 8ull << 30, false},
         {L"Microsoft Basic Render Driver", 0x1414, 0, true}},
        {{0, L"WD \"Black\" SN770", L"nvme"}, {1, L"Msft Virtual Disk", L"virtual"}}, true, 16ull * 1048576 + 400000, {}};
    // Damaged entries are never sent, and the document stays valid JSON.
    in.latest[0] = TestRecord{BenchKind::Cpu, 1765000000, {{"cpu.st_score", 1210}, {"cpu.mt_score", 9050},
        {"cpu.threads", 16}, {"", 5}, {"\x01", 6}, {"cpu.nan", std::numeric_limits<double>::quiet_NaN()}}, {}};
    in.latest[2] = TestRecord{BenchKind::Disk, 1765000100, {{"disk.seq_read_mbs", 3450.5}},
                              {{"disk.drive", L"C:"}, {"disk.model", L"WD Black SN770"}}};

    SensorSnapshot s;
    s.valid = s.hasBattery = s.elevated = true, s.cpuTempSource = L"MSI EC", s.cpuPackagePower = 35.0;
    auto entry = [](const wchar_t* id, const wchar_t* dev) { return SensorEntry{id, dev, L"x", SensorKind::Temperature, 1, 1, 1}; };
    s.sensors = {entry(L"acpi/tz0", L"ACPI termal bölgeleri"),
                 entry(L"gpu/0000_0001/temp", L"NVIDIA GeForce RTX 4060 Laptop GPU"),
                 entry(L"disk/0/temp", L"WD"), entry(L"msi/fan/1", L"MSI"), entry(L"msi/fan/2", L"MSI")};

    const std::string doc = BuildCompatibilityReport(in, s);
    const std::string nick = "\"" + WideToUtf8(MakeNickname(in.id)) + "\"";
    // The pretty layout is the writer's; here the content, one line per member.
    std::string flat;
    for (size_t i = 0; i < doc.size(); ++i) {
        if (doc[i] != '\n') flat += doc[i];
        else while (i + 1 < doc.size() && doc[i + 1] == ' ') ++i;
    }
    EXPECT_EQ(flat,
              R"({"v": 1,"id": "f0f1f2f3-f4f5-46f7-b8f9-fafbfcfdfeff","app": "1.4.2","os": {"build": 22631},)"
              R"("device": {"type": "laptop","maker": "Micro-Star International Co., Ltd.","model": "Katana 15"},)"
              R"("cpu": {"vendor": "intel","name": "12th Gen Intel(R) Core(TM) i7-12650H","family": 6,"model": 154,)"
              R"("threads": 16,"tempSource": "msi","acpiTemp": true,"coreTemps": false,"power": true},)"
              R"("gpus": [{"name": "Intel(R) UHD Graphics","vendor": "intel","discrete": false,"temp": false,"fan": false},)"
              R"({"name": "NVIDIA GeForce RTX 4060 Laptop GPU","vendor": "nvidia","discrete": true,"temp": true,"fan": false}],)"
              R"("disks": [{"model": "WD \"Black\" SN770","bus": "nvme","temp": true}],)"
              R"("fans": 2,"battery": true,"pawnio": true,"elevated": true,"memoryGb": 16,"leaderboard": {"name": )" + nick +
              R"(},"bench": {"cpu": {"at": 1765000000,"metrics": {"cpu.mt_score": 9050,"cpu.st_score": 1210,"cpu.threads": 16}},)"
              R"("disk": {"at": 1765000100,"device": "WD Black SN770","metrics": {"disk.seq_read_mbs": 3450.5}}}})");
    EXPECT_EQ(doc.find("{\n  \"v\": 1,\n  \"id\": \"f0f1f2f3"), 0u);  // members on their own lines
    EXPECT_EQ(doc.back(), '\n');

    // Without records the bench object closes on its own line.
    ReportInputs bare = in;
    bare.latest = {};
    bare.installedMemoryKb.reset();
    const std::string doc2 = BuildCompatibilityReport(bare, SensorSnapshot{});
    EXPECT_NE(doc2.find("\"bench\": {}\n}\n"), std::string::npos);
    EXPECT_NE(doc2.find("\"memoryGb\": 0,"), std::string::npos);
}
