// Minimal access to Windows Runtime classes at the binary interface: combase.dll is
// loaded at run time, so systems (and Wine builds) without the runtime just fail.
#pragma once

#include <windows.h>
#include <inspectable.h>

namespace kalorix {

// The activation factory (statics) of a runtime class, or nullptr. The caller
// releases it. Must be called inside a COM apartment.
void* GetRuntimeFactory(const wchar_t* className, const GUID& iid);

// An HSTRING for the call's duration.
class RuntimeString {
public:
    explicit RuntimeString(const wchar_t* text);
    ~RuntimeString();
    RuntimeString(const RuntimeString&) = delete;
    RuntimeString& operator=(const RuntimeString&) = delete;
    HSTRING get() const { return value_; }
    bool ok() const { return value_ != nullptr; }

private:
    HSTRING value_ = nullptr;
};

// Waits for an IAsyncOperation<T> (given as its IInspectable) and returns its
// GetResults into result (a pointer-sized or 32-bit value). False on error, cancel
// or timeout.
bool WaitRuntimeOperation(IInspectable* operation, void* result, DWORD timeoutMs = 15000);

}  // namespace kalorix
