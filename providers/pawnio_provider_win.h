// PawnIO provider: processor thermal registers through the separately installed
// PawnIO driver (PawnIOLib.dll) and the module carried as a resource.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "providers/factories_win.h"
#include "providers/pawnio_decode.h"

namespace kalorix {

// PawnIOLib.dll's exports. Every status is negative on failure.
using PawnIoOpenFn = int32_t(WINAPI*)(void** handle);
using PawnIoLoadFn = int32_t(WINAPI*)(void* handle, const uint8_t* module, size_t size);
using PawnIoExecuteFn = int32_t(WINAPI*)(void* handle, const char* function, const uint64_t* in, size_t inCount,
                                         uint64_t* out, size_t outCount, size_t* returned);
using PawnIoCloseFn = int32_t(WINAPI*)(void* handle);

// What the factory asks of the machine. The defaults read the real machine;
// tests replace single entries (processor identity, library path, topology).
struct PawnIoPlatform {
    std::function<std::wstring()> libraryPath;             // full path of PawnIOLib.dll or empty
    std::function<CpuIdWords()> cpuId;                     // CPUID leaves 0 and 1
    std::function<std::vector<CoreRecord>()> coreTopology; // one record per physical core
    std::function<std::wstring()> processorName;           // registry text, untrimmed
    HMODULE resourceModule = nullptr;                      // holds the modules; null: this program
};

PawnIoPlatform SystemPawnIoPlatform();

// The provider, or nothing when the library, the processor, the driver or the
// first register read says no. The no-argument overload uses the real machine.
std::unique_ptr<Provider> CreatePawnIoProvider(const PawnIoPlatform& platform);

// The real machine's answers used by SystemPawnIoPlatform.
CpuIdWords ReadCpuIdWords();
std::vector<CoreRecord> ReadCoreTopology();
std::wstring ReadProcessorNameString();

}  // namespace kalorix
