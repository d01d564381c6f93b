#include "bench/disk_bench_win.h"

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/scoped_win.h"
#include "bench/cpu_bench.h"
#include "bench/disk_bench.h"
#include "sensors/text.h"

namespace kalorix::bench {

namespace {

constexpr uint32_t kMaxSlots = 32;
constexpr char kSource[] = "disk test";

struct VirtualFreeDeleter {
    void operator()(void* p) const { VirtualFree(p, 0, MEM_RELEASE); }
};
using IoBuffer = std::unique_ptr<uint8_t, VirtualFreeDeleter>;

// SetFileValidData needs SE_MANAGE_VOLUME_NAME enabled; an administrator's
// token holds it disabled. False when the process does not hold it.
bool EnableManageVolumePrivilege() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.put())) {
        LogWin32Error(kSource, "OpenProcessToken", GetLastError());
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_MANAGE_VOLUME_NAME, &privileges.Privileges[0].Luid)) {
        LogWin32Error(kSource, "LookupPrivilegeValueW", GetLastError());
        return false;
    }
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
        LogWin32Error(kSource, "AdjustTokenPrivileges", GetLastError());
        return false;
    }
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;  // success, but the token lacks the privilege
}

class WinDiskDevice : public DiskDevice {
public:
    WinDiskDevice(HANDLE file, HANDLE port, uint8_t* buffer) : file_(file), port_(port), buffer_(buffer) {}

    void stamp(uint32_t slot, uint32_t blockSize, uint64_t value) override {
        std::memcpy(buffer_ + static_cast<size_t>(slot) * blockSize, &value, sizeof value);
    }

    bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t blockSize, uint32_t& error) override {
        if (slot >= kMaxSlots) {
            error = ERROR_INVALID_PARAMETER;
            return false;
        }
        OVERLAPPED& ov = overlapped_[slot];
        ZeroMemory(&ov, sizeof ov);
        ov.Offset = static_cast<DWORD>(offset);
        ov.OffsetHigh = static_cast<DWORD>(offset >> 32);
        uint8_t* data = buffer_ + static_cast<size_t>(slot) * blockSize;
        const BOOL ok = write ? WriteFile(file_, data, blockSize, nullptr, &ov)
                              : ReadFile(file_, data, blockSize, nullptr, &ov);
        if (!ok) {
            const DWORD e = GetLastError();
            if (e != ERROR_IO_PENDING) {
                error = e;
                return false;
            }
        }
        return true;
    }

    bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) override {
        OVERLAPPED_ENTRY entries[64];
        ULONG count = 0;
        if (!GetQueuedCompletionStatusEx(port_, entries, 64, &count, timeoutMs, FALSE)) {
            error = GetLastError();
            return false;
        }
        for (ULONG i = 0; i < count; ++i) {
            OVERLAPPED* ov = entries[i].lpOverlapped;
            if (!ov || ov < overlapped_ || ov >= overlapped_ + kMaxSlots) continue;
            Completion c;
            c.slot = static_cast<uint32_t>(ov - overlapped_);
            c.success = ov->Internal == 0;  // STATUS_SUCCESS
            c.transferred = entries[i].dwNumberOfBytesTransferred;
            out.push_back(c);
        }
        return true;
    }

    void cancelAll() override { CancelIoEx(file_, nullptr); }

    [[noreturn]] void abandon(int exitCode) override {
        // Requests still own the buffer: the process must not go on (or free it).
        TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
        ExitProcess(static_cast<UINT>(exitCode));
    }

private:
    HANDLE file_;
    HANDLE port_;
    uint8_t* buffer_;
    OVERLAPPED overlapped_[kMaxSlots]{};
};

UniqueHandle OpenDevice(const std::wstring& path) {
    return UniqueHandle(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
}

}  // namespace

std::wstring DriveModel(wchar_t letter) {
    STORAGE_DEVICE_NUMBER number{};
    DWORD got = 0;
    {
        const UniqueHandle volume = OpenDevice(std::wstring(L"\\\\.\\") + letter + L":");
        if (!volume) return {};
        if (!DeviceIoControl(volume.get(), IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number, &got,
                             nullptr))
            return {};
    }
    const UniqueHandle disk = OpenDevice(L"\\\\.\\PhysicalDrive" + std::to_wstring(number.DeviceNumber));
    if (!disk) return {};
    STORAGE_PROPERTY_QUERY query{};
    query.PropertyId = StorageDeviceProperty;
    query.QueryType = PropertyStandardQuery;
    std::vector<unsigned char> buffer(1024);
    got = 0;
    const BOOL ok = DeviceIoControl(disk.get(), IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), &got, nullptr);
    if (!ok || got < 40 || got > buffer.size()) return {};
    const auto* desc = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    const DWORD offset = desc->ProductIdOffset;
    if (offset == 0 || offset >= got) return {};
    std::string product;
    for (DWORD i = offset; i < got && buffer[i] != 0; ++i) product.push_back(static_cast<char>(buffer[i]));
    product = TrimSpaces(product);
    if (product.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, product.data(), static_cast<int>(product.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring wide(n, L'\0');
    MultiByteToWideChar(CP_ACP, 0, product.data(), static_cast<int>(product.size()), wide.data(), n);
    return wide;
}

int RunDisk(Reporter& reporter, wchar_t letter, Clock& clock) {
    auto fail = [&](const DiskFailure& f) {
        reporter.Error(f.text);
        return f.code;
    };
    if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - 32);
    if (letter < L'A' || letter > L'Z') return fail(kDiskBadLetter);
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    const UINT type = GetDriveTypeW(root);
    if (type != DRIVE_REMOVABLE && type != DRIVE_FIXED) return fail(kDiskBadType);

    reporter.Progress(0.0, L"Test dosyası hazırlanıyor");
    reporter.Info("disk.drive", std::wstring(1, letter) + L":");
    const std::wstring model = DriveModel(letter);
    if (!model.empty()) reporter.Info("disk.model", model);

    wchar_t windowsDir[MAX_PATH + 1] = {};
    wchar_t tempDir[MAX_PATH + 2] = {};
    const UINT wn = GetWindowsDirectoryW(windowsDir, MAX_PATH + 1);
    const DWORD tn = GetTempPathW(MAX_PATH + 2, tempDir);
    const std::wstring directory = DiskTestDirectory(letter, wn && wn <= MAX_PATH ? windowsDir : L"",
                                                     tn && tn <= MAX_PATH + 1 ? tempDir : L"");
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(directory.c_str(), &available, nullptr, nullptr) ||
        !EnoughDiskSpace(available.QuadPart)) {
        return fail(kDiskNoSpace);
    }
    const std::wstring path = DiskTestFileName(directory, GetCurrentProcessId(), GetTickCount64());
    // Declared first, released last: no request can still use it when it goes.
    const IoBuffer buffer(
        static_cast<uint8_t*>(VirtualAlloc(nullptr, kDiskBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)));
    // Deleted by the system when its last handle closes, also when the child is killed.
    const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_FLAG_WRITE_THROUGH | FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING |
                                            FILE_FLAG_DELETE_ON_CLOSE | FILE_ATTRIBUTE_TEMPORARY |
                                            FILE_ATTRIBUTE_HIDDEN,
                                        nullptr));
    if (!file) {
        LogWin32Error(kSource, "CreateFileW", GetLastError());
        return fail(kDiskNoFile);
    }
    if (!buffer) {
        Log(LogLevel::Error, kSource, "VirtualAlloc of the 8 MiB I/O buffer failed");
        return fail(kDiskNoBuffer);
    }
    const UniqueHandle port(CreateIoCompletionPort(file.get(), nullptr, 0, 1));
    if (!port) {
        LogWin32Error(kSource, "CreateIoCompletionPort", GetLastError());
        return fail(kDiskNoPort);
    }
    uint64_t rng = GetTickCount64() ^ 0x9e3779b97f4a7c15ull;
    if (rng == 0) rng = 1;
    auto* words = reinterpret_cast<uint64_t*>(buffer.get());
    for (size_t i = 0; i < kDiskBufferSize / 8; ++i) words[i] = Xorshift64(rng);

    LARGE_INTEGER size;
    size.QuadPart = static_cast<LONGLONG>(kDiskFileSize);
    if (!SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) || !SetEndOfFile(file.get())) {
        LogWin32Error(kSource, "SetEndOfFile", GetLastError());
        return fail(kDiskNoSize);
    }
    bool validDataSet = false;
    if (EnableManageVolumePrivilege()) {
        validDataSet = SetFileValidData(file.get(), static_cast<LONGLONG>(kDiskFileSize)) != FALSE;
        if (!validDataSet) LogWin32Error(kSource, "SetFileValidData", GetLastError());
    }

    // Released in reverse: the device, the port, the file (which deletes it), the buffer.
    WinDiskDevice device(file.get(), port.get(), buffer.get());
    return RunDiskPhases(reporter, device, clock, rng, validDataSet);
}

}  // namespace kalorix::bench
