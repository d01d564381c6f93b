// The Windows side of the hardware report: the WMI queries, registry values
// and volume calls, the finished report, and the copy to the clipboard.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>

#include "inventory/inventory.h"

namespace kalorix {

// Driver description -> dedicated video memory in bytes, from the display
// adapter class key of the registry; empty when the key cannot be read.
std::map<std::wstring, double> ReadDisplayAdapterMemory();

// Runs the eight WMI queries and reads the registry, names and volumes.
// Needs COM on the calling thread; blocks for as long as WMI takes.
InventoryInputs GatherInventoryInputs();

// GatherInventoryInputs turned into the report.
HardwareInventory BuildHardwareInventory();

// The body of the inventory thread: initialises COM for multithreaded use,
// builds the report, hands it to `deliver` (which stores it under the owner's
// lock and posts the owner's message) and uninitialises COM when its
// initialisation succeeded.
void CollectHardwareInventory(const std::function<void(HardwareInventory&&)>& deliver);

// Puts `text` on the clipboard as CF_UNICODETEXT on behalf of `owner`.
// Does nothing for an empty text; false when the clipboard was not changed.
bool CopyTextToClipboard(HWND owner, const std::wstring& text);

}  // namespace kalorix
