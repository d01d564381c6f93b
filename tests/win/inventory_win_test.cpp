// Inventory on Windows: VARIANT conversion, real WMI queries, the display class
// keys, the personal-info switch and the clipboard. The report's layout is checked natively.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

#include "base/scoped_win.h"
#include "inventory/inventory_win.h"
#include "inventory/wmi_win.h"
#include "sensors/text.h"
#include "test_util_win.h"

using namespace kalorix;
using test::MessageWindow;
using test::ScopedEnv;

namespace {

// Runs `body` on a new thread set up like the inventory thread (COM for multithreaded use).
void OnComThread(const std::function<void()>& body) {
    std::thread([&] {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        body();
        if (SUCCEEDED(hr)) CoUninitialize();
    }).join();
}

// Builds the real report the way the window's inventory thread does.
HardwareInventory CollectOnWorker() {
    HardwareInventory result;
    std::thread([&] { CollectHardwareInventory([&](HardwareInventory&& inv) { result = std::move(inv); }); }).join();
    return result;
}

// ": name\r\n" as the report writes this computer's (or user's) name.
std::wstring NameLine(BOOL(WINAPI* get)(wchar_t*, DWORD*)) {
    wchar_t buffer[257] = {};
    DWORD size = 257;
    return L": " + std::wstring(get(buffer, &size) ? buffer : L"") + L"\r\n";
}

std::optional<std::wstring> ReadClipboardText(HWND owner) {
    if (!OpenClipboard(owner)) return std::nullopt;
    std::optional<std::wstring> text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = std::wstring(p, wcsnlen(p, GlobalSize(data) / sizeof(wchar_t)));
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace

TEST(WmiValueText, NullEmptyBlankNumericAndArrays) {
    using Text = std::optional<std::wstring>;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(WmiValueText(v), std::nullopt);  // VT_EMPTY
    v.vt = VT_BSTR, v.bstrVal = SysAllocString(L"  Intel(R) Core(TM) i7  ");
    EXPECT_EQ(WmiValueText(v), Text(L"Intel(R) Core(TM) i7"));
    VariantClear(&v);
    v.vt = VT_BSTR, v.bstrVal = nullptr;
    EXPECT_EQ(WmiValueText(v), Text(L""));
    v.vt = VT_UI8, v.ullVal = 17179869184ull;
    EXPECT_EQ(WmiValueText(v), Text(L"17179869184"));
    v.vt = VT_ARRAY | VT_I4, v.parray = SafeArrayCreateVector(VT_I4, 0, 2);  // arrays do not convert: left out
    EXPECT_EQ(WmiValueText(v), std::nullopt);
    VariantClear(&v);
}

TEST(WmiQueryWine, RealRowsMissingPropertiesAndFailures) {
    OnComThread([] {
        const auto rows = WmiQuery(L"ROOT\\CIMV2", L"SELECT Name, NumberOfCores FROM Win32_Processor",
                                   {L"Name", L"NoSuchProperty", L"NumberOfCores"});
        ASSERT_FALSE(rows.empty());
        EXPECT_FALSE(RowText(rows[0], L"Name").empty());
        EXPECT_EQ(rows[0].count(L"NoSuchProperty"), 0u);
        EXPECT_TRUE(WmiQuery(L"ROOT\\CIMV2", L"this is not WQL", {L"Name"}).empty());
    });
}

namespace {

constexpr const wchar_t* kDisplayClass =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}";

// Adapter keys written into the (throwaway) prefix's registry for one test and
// removed afterwards.
class FakeAdapterKeys {
public:
    ~FakeAdapterKeys() {
        for (const auto& name : created_) RegDeleteKeyW(cls_.get(), name.c_str());
    }
    bool ok() const { return ok_; }
    // The size bytes are written as they are given.
    bool add(const std::wstring& name, const wchar_t* desc, DWORD type, const void* size, DWORD sizeBytes) {
        created_.push_back(name);
        return RegSetKeyValueW(cls_.get(), name.c_str(), L"DriverDesc", REG_SZ, desc, DWORD((wcslen(desc) + 1) * 2)) == 0 &&
               RegSetKeyValueW(cls_.get(), name.c_str(), L"HardwareInformation.qwMemorySize", type, size, sizeBytes) == 0;
    }

private:
    UniqueRegKey cls_;
    const bool ok_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDisplayClass, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, cls_.put(),
                                     nullptr) == ERROR_SUCCESS;
    std::vector<std::wstring> created_;
};

}  // namespace

TEST(InventoryWine, DisplayAdapterMemoryFromTheRegistry) {
    FakeAdapterKeys keys;
    if (!keys.ok()) GTEST_SKIP() << "display class key not writable here";
    const uint64_t eight = 8ull << 30, zero = 0, four = 4ull << 30;
    const DWORD twoGiB = 2u << 30;
    const unsigned char twelveBytes[12] = {1, 2, 3};
    // A name too long for the enumeration buffer sorts first; the adapters after it are still read.
    // Only the last key of a name counts; a size of 4 bytes is read, 0 or 12 bytes and a key
    // whose name does not begin with a digit give nothing.
    const struct { const wchar_t *key, *desc; DWORD type; const void* size; DWORD bytes; double expected; } cases[] = {
        {L"0000000000000000 Kalorix", L"Kalorix Test Overlong", REG_QWORD, &eight, 8, -1},
        {L"9990", L"Kalorix Test GPU A", REG_QWORD, &eight, 8, double(four)},
        {L"9991", L"Kalorix Test GPU B", REG_DWORD, &twoGiB, 4, double(twoGiB)},
        {L"9992", L"Kalorix Test Zero", REG_QWORD, &zero, 8, -1},
        {L"9995", L"Kalorix Test TooBig", REG_BINARY, twelveBytes, 12, -1},
        {L"9996", L"Kalorix Test GPU A", REG_QWORD, &four, 8, double(four)},
        {L"KalorixTestName", L"Kalorix Test Letter", REG_QWORD, &eight, 8, -1}};
    for (const auto& c : cases) ASSERT_TRUE(keys.add(c.key, c.desc, c.type, c.size, c.bytes));
    const auto map = ReadDisplayAdapterMemory();
    for (const auto& c : cases) EXPECT_EQ(map.count(c.desc) ? map.at(c.desc) : -1.0, c.expected) << WideToUtf8(c.desc);
}

// The real report names this computer and user and lists the C: drive; with
// redaction asked for (any value, even an empty one) the names go. Its text goes
// to the clipboard.
TEST(InventoryWine, RedactionAndTheClipboardText) {
    const std::wstring computer = NameLine(GetComputerNameW), user = NameLine(GetUserNameW);
    std::wstring text;
    {
        ScopedEnv noRedact(kRedactVariable, nullptr);
        text = InventoryToText(CollectOnWorker());
        EXPECT_NE(text.find(computer), std::wstring::npos);
        EXPECT_NE(text.find(user), std::wstring::npos);
        EXPECT_NE(text.find(L"\r\nC:", text.find(L"[Depolama]")), std::wstring::npos) << WideToUtf8(text);
    }
    {
        ScopedEnv redact(kRedactVariable, L"");
        const std::wstring redacted = InventoryToText(CollectOnWorker());
        EXPECT_EQ(redacted.find(computer), std::wstring::npos);
        EXPECT_EQ(redacted.find(user), std::wstring::npos);
    }
    MessageWindow window;
    ASSERT_TRUE(CopyTextToClipboard(window.get(), text));
    EXPECT_EQ(ReadClipboardText(window.get()), std::optional<std::wstring>(text));
    EXPECT_FALSE(CopyTextToClipboard(window.get(), L""));  // leaves the clipboard as it was
    EXPECT_EQ(ReadClipboardText(window.get()), std::optional<std::wstring>(text));
}
