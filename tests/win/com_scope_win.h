// COM for the calling test thread (apartment-threaded, as the window thread has it).
#pragma once

#include <objbase.h>

namespace kalorix::test {

class ComScope {
public:
    ComScope() { hr_ = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

}  // namespace kalorix::test
