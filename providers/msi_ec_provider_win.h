// MSI embedded-controller provider: CPU/GPU temperatures and fan speeds from
// the vendor WMI class MSI_ACPI in ROOT\WMI (MSI machines, elevated only).
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <memory>
#include <optional>

#include "providers/factories_win.h"
#include "providers/msi_ec_decode.h"

namespace kalorix {

// The MSI_ACPI instance of this machine, or nothing when the class, its
// instance or its Package_32 companion cannot be reached. Needs COM on the
// calling thread.
std::unique_ptr<EcMethodCaller> OpenMsiAcpi();

// The provider around an opened channel, kept only when Get_Temperature answers.
std::unique_ptr<Provider> CreateMsiEcProvider(std::unique_ptr<EcMethodCaller> ec);

// The packet in a Package_32 "Bytes" value: VT_ARRAY | VT_UI1 of one
// dimension, padded or cut to 32 bytes; nothing for any other shape or a
// status other than 1.
std::optional<EcPacket> EcPacketFromVariant(const VARIANT& bytes);

}  // namespace kalorix
