// The disk test's measuring logic: the four phases over an asynchronous
// device with a fixed queue depth, the verified span, the results and the
// score. The Windows file, buffer and completion port live in disk_bench_win.cpp.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

struct DiskPhase {
    bool write = false;
    bool random = false;
    uint32_t blockSize = 0;
    uint32_t queueDepth = 0;
    uint64_t span = 0;
    uint64_t byteLimit = 0;
    double progressFrom = 0, progressTo = 0;
    const wchar_t* label = L"";
    double seconds = 2.5;  // the phase issues no new request after this long
};

struct DiskPhaseResult {
    bool ok = false;
    uint32_t error = 0;
    double elapsed = 0;
    uint64_t bytes = 0;
    uint64_t operations = 0;
    uint64_t highestWrittenEnd = 0;
};

inline constexpr uint64_t kDiskFileSize = 256ull * 1024 * 1024;
inline constexpr uint64_t kDiskMinFree = 1342177280ull;
inline constexpr size_t kDiskBufferSize = 8u * 1024 * 1024;
inline constexpr uint32_t kErrorIoDevice = 1117;  // ERROR_IO_DEVICE
inline constexpr uint32_t kErrorHandleEof = 38;   // ERROR_HANDLE_EOF
inline constexpr uint32_t kErrorWaitTimeout = 258;  // WAIT_TIMEOUT

// Phase table; every phase runs over the verified span.
DiskPhase DiskPhaseSpec(int phase, uint64_t verifiedSpan);  // phase 1..4

// Without SetFileValidData the file is written once from its start before the
// timed phases (at most kDiskPrepareSeconds, under "Test dosyası hazırlanıyor"
// in the 0 to 0.05 band): NTFS completes a write beyond the valid data one at a
// time, so a timed write must never extend it.
inline constexpr double kDiskPrepareSeconds = 15.0;
DiskPhase DiskPreparePhase();

// The asynchronous device (the test file through a completion port on Windows).
// Slot i uses the buffer bytes from i * block size.
class DiskDevice {
public:
    struct Completion {
        uint32_t slot = 0;
        bool success = false;
        uint32_t transferred = 0;
    };
    virtual ~DiskDevice() = default;
    // Writes the stamp into the first 8 bytes of the slot's buffer (writes only).
    virtual void stamp(uint32_t slot, uint32_t blockSize, uint64_t value) = 0;
    // Starts one request; false with a system error code when it cannot be issued.
    virtual bool submit(uint32_t slot, bool write, uint64_t offset, uint32_t blockSize, uint32_t& error) = 0;
    // Up to 64 completions; false with an error (WAIT_TIMEOUT after timeoutMs).
    virtual bool wait(std::vector<Completion>& out, uint32_t timeoutMs, uint32_t& error) = 0;
    virtual void cancelAll() = 0;
    // Outstanding requests can neither complete nor be cancelled: end the process.
    [[noreturn]] virtual void abandon(int exitCode) = 0;
};

// Runs one phase; rng is the test's xorshift state (offsets and write stamps).
DiskPhaseResult RunDiskPhase(const DiskPhase& phase, DiskDevice& device, Clock& clock, uint64_t& rng,
                             Reporter& reporter);

// V before phase 1: the whole file when valid data could be set; else the part
// the preparation wrote, whole MiB; nullopt when that is under 16 MiB.
std::optional<uint64_t> VerifiedSpan(bool validDataSet, uint64_t preparedBytes);


inline bool EnoughDiskSpace(uint64_t availableBytes) { return availableBytes >= kDiskMinFree; }

// Directory of the test file: the temporary directory when it and the Windows
// directory are on this drive, else the root; always with a trailing backslash.
std::wstring DiskTestDirectory(wchar_t letter, const std::wstring& windowsDir, const std::wstring& tempDir);
std::wstring DiskTestFileName(const std::wstring& directory, uint32_t processId, uint64_t tick);

// Exit codes and texts of the disk test.
struct DiskFailure {
    int code;
    const wchar_t* text;
};
inline constexpr DiskFailure kDiskBadLetter{2, L"Geçersiz sürücü harfi."};
inline constexpr DiskFailure kDiskBadType{2, L"Bu sürücü test edilemez (yalnızca yerel diskler desteklenir)."};
inline constexpr DiskFailure kDiskNoSpace{3, L"Sürücüde yeterli boş alan yok (en az 1,3 GB gerekli)."};
inline constexpr DiskFailure kDiskNoFile{4, L"Bu sürücüye yazma izni yok; test dosyası oluşturulamadı."};
inline constexpr DiskFailure kDiskNoBuffer{5, L"Bellek ayrılamadı."};
inline constexpr DiskFailure kDiskNoPort{5, L"Disk kuyruğu oluşturulamadı."};
inline constexpr DiskFailure kDiskNoSize{6, L"Test dosyası büyütülemedi."};
inline constexpr DiskFailure kDiskSeqWrite{7, L"Sıralı yazma başarısız oldu."};
inline constexpr DiskFailure kDiskTooSlow{7, L"Disk çok yavaş yanıt veriyor; test tamamlanamadı."};
inline constexpr DiskFailure kDiskSeqRead{8, L"Sıralı okuma başarısız oldu."};
inline constexpr DiskFailure kDiskRndRead{9, L"Rastgele okuma başarısız oldu."};
inline constexpr DiskFailure kDiskRndWrite{10, L"Rastgele yazma başarısız oldu."};

// The preparation when valid data could not be set, phases 1 to 4, the
// results and the score, on a device whose file is sized and buffer filled.
// Returns 0 after writing the metrics, the final P and D, or the failure's
// code after its E line. The caller closes the device.
int RunDiskPhases(Reporter& reporter, DiskDevice& device, Clock& clock, uint64_t& rng, bool validDataSet);

}  // namespace kalorix::bench
