#include "inventory/wmi_win.h"

#include <wbemcli.h>

#include "sensors/text.h"

namespace kalorix {

namespace {

// Owns one COM interface pointer.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// Owns one BSTR.
class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR get() const { return b_; }
    explicit operator bool() const { return b_ != nullptr; }

private:
    BSTR b_;
};

// Clears a VARIANT when it goes out of scope.
struct VariantGuard {
    VARIANT v;
    VariantGuard() { VariantInit(&v); }
    ~VariantGuard() { VariantClear(&v); }
    VariantGuard(const VariantGuard&) = delete;
    VariantGuard& operator=(const VariantGuard&) = delete;
};

constexpr DWORD kNextTimeoutMs = 5000;

}  // namespace

std::optional<std::wstring> WmiValueText(const VARIANT& value) {
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) return std::nullopt;
    VariantGuard text;
    if (FAILED(VariantChangeType(&text.v, const_cast<VARIANT*>(&value), 0, VT_BSTR))) return std::nullopt;
    if (text.v.vt != VT_BSTR) return std::nullopt;
    const BSTR b = text.v.bstrVal;
    if (b == nullptr) return std::wstring();
    return TrimSpaces(std::wstring_view(b, SysStringLen(b)));
}

std::vector<WmiRow> WmiQuery(const std::wstring& wmiNamespace, const std::wstring& query,
                             const std::vector<std::wstring>& properties) {
    std::vector<WmiRow> rows;
    try {
        ComRef<IWbemLocator> locator;
        if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                    locator.outVoid())) ||
            !locator)
            return rows;

        const Bstr ns(wmiNamespace);
        ComRef<IWbemServices> services;
        if (!ns || FAILED(locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr,
                                                 services.out())) ||
            !services)
            return rows;

        CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

        const Bstr language(L"WQL");
        const Bstr text(query);
        ComRef<IEnumWbemClassObject> enumerator;
        if (!language || !text ||
            FAILED(services->ExecQuery(language.get(), text.get(),
                                       WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                       enumerator.out())) ||
            !enumerator)
            return rows;

        for (;;) {
            ComRef<IWbemClassObject> object;
            ULONG returned = 0;
            const HRESULT hr = enumerator->Next(kNextTimeoutMs, 1, object.out(), &returned);
            if (hr != WBEM_S_NO_ERROR || returned == 0 || !object) break;

            WmiRow row;
            for (const std::wstring& name : properties) {
                try {
                    VariantGuard value;
                    if (FAILED(object->Get(name.c_str(), 0, &value.v, nullptr, nullptr))) continue;
                    if (std::optional<std::wstring> t = WmiValueText(value.v)) row[name] = std::move(*t);
                } catch (...) {
                    // A property that cannot be taken over is left out; the next one is tried.
                }
            }
            rows.push_back(std::move(row));
        }
    } catch (...) {
        // Out of memory while collecting: keep the rows gathered so far.
    }
    return rows;
}

}  // namespace kalorix
