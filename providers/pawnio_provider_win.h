// PawnIO provider: processor thermal registers through the separately installed
// PawnIO driver (PawnIOLib.dll) and the module for this processor.
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
// tests replace single entries (processor identity, library path, topology,
// the signature check of a stand-in library).
struct PawnIoPlatform {
    std::function<std::wstring()> libraryPath;             // full path of PawnIOLib.dll or empty
    std::function<long(const std::wstring&)> verifyLibrary; // 0 when the library may be loaded
    std::function<CpuIdWords()> cpuId;                     // CPUID leaves 0 and 1
    std::function<std::vector<CoreRecord>()> coreTopology; // one record per physical core
    std::function<std::wstring()> processorName;           // registry text, untrimmed
    std::function<std::wstring()> moduleFolder;            // module files looked for here first
    HMODULE resourceModule = nullptr;                      // holds the built-in modules; null: this program
};

// The real machine: PawnIO's own install location, Authenticode, CPUID, the
// topology, the registry's processor name and the executable's folder.
PawnIoPlatform SystemPawnIoPlatform();

// A start attempt: the provider when every step succeeded, and what became of it.
struct PawnIoStart {
    std::unique_ptr<Provider> provider;
    PawnIoStatus status;
};

// Processor first, then the module (a stand-in is never handed to the driver),
// then the library (checked, loaded), the driver and one register read.
PawnIoStart StartPawnIo(const PawnIoPlatform& platform);

// The provider, or nothing when any step of StartPawnIo says no.
std::unique_ptr<Provider> CreatePawnIoProvider(const PawnIoPlatform& platform);

// What is known without the driver: the processor and its module
// (Unsupported, NoModules or Usable).
PawnIoStatus PawnIoPreflight(const PawnIoPlatform& platform);

// This process's PawnIO status: the outcome of its start through
// CreatePawnIoProvider() when there was one, else the preflight of this machine.
PawnIoStatus CurrentPawnIoStatus();

// The real machine's answers used by SystemPawnIoPlatform.
CpuIdWords ReadCpuIdWords();
std::vector<CoreRecord> ReadCoreTopology();
std::wstring ReadProcessorNameString();

}  // namespace kalorix
