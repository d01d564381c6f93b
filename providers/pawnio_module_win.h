// The PawnIO module handed to the driver: the signed file beside the program
// when there is one, else the module built into the program as a resource.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "providers/pawnio_decode.h"

namespace kalorix {

struct PawnIoModule {
    std::vector<uint8_t> bytes;
    bool fromFile = false;  // read from the folder rather than the resources
};

// The module for a processor path: the file PawnIoModuleFileName(path) in
// folder when it exists and can be read (at most kMaxPawnIoModuleBytes), else
// the resource PawnIoModuleResourceName(path) of resources (null: this
// program). Nothing when neither is there. A stand-in is returned as it is;
// the caller tells it apart with IsPlaceholderModule.
std::optional<PawnIoModule> LoadPawnIoModule(PawnIoPath path, const std::wstring& folder, HMODULE resources);

// The folder of this program's executable; empty when it cannot be found.
std::wstring ProgramFolder();

}  // namespace kalorix
