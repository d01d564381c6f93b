#include "inventory/inventory_win.h"

#include <objbase.h>

#include <cstring>
#include <exception>
#include <string>

#include "base/log.h"
#include "base/scoped_win.h"
#include "inventory/wmi_win.h"

namespace kalorix {

namespace {

constexpr const wchar_t* kDisplayClassKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4d36e968-e325-11ce-bfc1-08002be10318}";
constexpr const wchar_t* kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// Opens a registry key for reading; empty when it cannot be opened.
UniqueRegKey OpenKey(HKEY parent, const wchar_t* path) {
    UniqueRegKey key;
    if (RegOpenKeyExW(parent, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS) key.reset();
    return key;
}

std::wstring ReadRegistryString(HKEY parent, const wchar_t* subkey, const wchar_t* value) {
    DWORD bytes = 0;
    if (RegGetValueW(parent, subkey, value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) return {};
    // The value may grow between the two calls; try a few times.
    for (int attempt = 0; attempt < 3; ++attempt) {
        std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        const LSTATUS st = RegGetValueW(parent, subkey, value, RRF_RT_REG_SZ, nullptr, text.data(), &size);
        if (st == ERROR_SUCCESS) {
            text.resize(wcsnlen(text.c_str(), text.size()));
            return text;
        }
        if (st != ERROR_MORE_DATA) return {};
        bytes = size;
    }
    return {};
}

std::wstring ComputerName() {
    wchar_t buffer[16] = {};
    DWORD size = 16;
    return GetComputerNameW(buffer, &size) ? std::wstring(buffer, wcsnlen(buffer, 16)) : std::wstring();
}

std::wstring UserName() {
    wchar_t buffer[257] = {};
    DWORD size = 257;
    return GetUserNameW(buffer, &size) ? std::wstring(buffer, wcsnlen(buffer, 257)) : std::wstring();
}

std::vector<VolumeProbe> ProbeVolumes() {
    std::vector<VolumeProbe> out;
    const DWORD mask = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(mask & (1u << i))) continue;
        VolumeProbe v;
        v.letter = static_cast<wchar_t>(L'A' + i);
        const wchar_t root[4] = {v.letter, L':', L'\\', 0};
        v.driveType = GetDriveTypeW(root);
        if (v.driveType == DRIVE_FIXED) {
            ULARGE_INTEGER freeToCaller{}, total{}, totalFree{};
            if (GetDiskFreeSpaceExW(root, &freeToCaller, &total, &totalFree)) {
                v.spaceKnown = true;
                v.freeBytes = freeToCaller.QuadPart;
                v.totalBytes = total.QuadPart;
                wchar_t label[260] = {};
                if (GetVolumeInformationW(root, label, 260, nullptr, nullptr, nullptr, nullptr, 0))
                    v.label.assign(label, wcsnlen(label, 260));
            }
        }
        out.push_back(std::move(v));
    }
    return out;
}

}  // namespace

std::map<std::wstring, double> ReadDisplayAdapterMemory() {
    std::map<std::wstring, double> out;
    const UniqueRegKey cls = OpenKey(HKEY_LOCAL_MACHINE, kDisplayClassKey);
    if (!cls) return out;
    for (DWORD index = 0;; ++index) {
        wchar_t name[16] = {};
        DWORD nameLen = 16;
        const LSTATUS st = RegEnumKeyExW(cls.get(), index, name, &nameLen, nullptr, nullptr, nullptr, nullptr);
        // A name too long for the buffer cannot be an adapter's "0000" key; skip it
        // instead of losing the adapters listed after it.
        if (st == ERROR_MORE_DATA) continue;
        if (st != ERROR_SUCCESS) break;
        if (name[0] < L'0' || name[0] > L'9') continue;

        wchar_t desc[256] = {};  // 512 bytes
        DWORD descBytes = sizeof(desc);
        if (RegGetValueW(cls.get(), name, L"DriverDesc", RRF_RT_REG_SZ, nullptr, desc, &descBytes) != ERROR_SUCCESS)
            continue;
        unsigned char sizeBytes[8] = {};
        DWORD sizeLen = sizeof(sizeBytes);
        if (RegGetValueW(cls.get(), name, L"HardwareInformation.qwMemorySize", RRF_RT_ANY | RRF_NOEXPAND, nullptr,
                         sizeBytes, &sizeLen) != ERROR_SUCCESS)
            continue;
        uint64_t size = 0;
        std::memcpy(&size, sizeBytes, sizeof(size));  // little-endian; a shorter value leaves the rest 0
        if (size == 0) continue;
        out[std::wstring(desc, wcsnlen(desc, 256))] = static_cast<double>(size);
    }
    return out;
}

InventoryInputs GatherInventoryInputs() {
    InventoryInputs in;
    in.computerName = ComputerName();
    in.redact = GetEnvironmentVariableW(kRedactVariable, nullptr, 0) != 0;
    for (int q = 0; q < kInventoryQueryCount; ++q) {
        const InventoryQuery query = static_cast<InventoryQuery>(q);
        if (query == InventoryQuery::VideoController) in.adapterMemory = ReadDisplayAdapterMemory();
        if (query == InventoryQuery::OperatingSystem) {
            in.displayVersion = ReadRegistryString(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"DisplayVersion");
            DWORD ubr = 0, ubrSize = sizeof(ubr);
            if (RegGetValueW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, L"UBR", RRF_RT_REG_DWORD, nullptr, &ubr,
                             &ubrSize) == ERROR_SUCCESS)
                in.ubr = ubr;
        }
        const InventoryQueryText& text = InventoryQueryTextOf(query);
        in.rows(query) = WmiQuery(text.wmiNamespace, text.wql, text.properties);
        if (query == InventoryQuery::PhysicalDisk) in.volumes = ProbeVolumes();
    }
    in.userName = UserName();
    return in;
}

HardwareInventory BuildHardwareInventory() { return BuildHardwareInventoryFrom(GatherInventoryInputs()); }

void CollectHardwareInventory(const std::function<void(HardwareInventory&&)>& deliver) {
    const ComApartment apartment(COINIT_MULTITHREADED);
    if (!apartment.ok()) LogHResult("inventory", "CoInitializeEx", apartment.result());
    HardwareInventory inventory;
    try {
        inventory = BuildHardwareInventory();
    } catch (const std::exception& e) {
        // Out of memory half-way: the owner still gets a (empty) report, so it
        // does not wait for one forever.
        Log(LogLevel::Error, "inventory", std::string("collection failed: ") + e.what());
        inventory = HardwareInventory{};
    }
    deliver(std::move(inventory));
}

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    if (text.empty()) return false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!block) return false;
    void* dst = GlobalLock(block);
    if (!dst) {
        GlobalFree(block);
        return false;
    }
    std::memcpy(dst, text.c_str(), bytes);
    GlobalUnlock(block);

    if (!OpenClipboard(owner)) {
        GlobalFree(block);
        return false;
    }
    bool ok = false;
    if (EmptyClipboard()) ok = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(block);  // the clipboard owns the block only when SetClipboardData succeeded
    return ok;
}

}  // namespace kalorix
