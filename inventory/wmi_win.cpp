#include "inventory/wmi_win.h"

#include <wbemcli.h>

#include <new>
#include <string>

#include "base/log.h"
#include "base/scoped_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr DWORD kNextTimeoutMs = 5000;

}  // namespace

std::optional<std::wstring> WmiValueText(const VARIANT& value) {
    if (value.vt == VT_EMPTY || value.vt == VT_NULL) return std::nullopt;
    ScopedVariant text;
    if (FAILED(VariantChangeType(&text.v, const_cast<VARIANT*>(&value), 0, VT_BSTR))) return std::nullopt;
    if (text.v.vt != VT_BSTR) return std::nullopt;
    const BSTR b = text.v.bstrVal;
    if (b == nullptr) return std::wstring();
    return TrimSpaces(std::wstring_view(b, SysStringLen(b)));
}

std::vector<WmiRow> WmiQuery(const std::wstring& wmiNamespace, const std::wstring& query,
                             const std::vector<std::wstring>& properties) {
    std::vector<WmiRow> rows;
    const std::string where = WideToUtf8(wmiNamespace) + " " + WideToUtf8(query);
    auto failed = [&](const char* step, HRESULT hr) {
        LogHResult("wmi", std::string(step) + " (" + where + ")", hr);
        return rows;
    };
    try {
        ComPtr<IWbemLocator> locator;
        HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      locator.putVoid());
        if (FAILED(hr) || !locator) return failed("CoCreateInstance WbemLocator", hr);

        const ScopedBstr ns(wmiNamespace);
        ComPtr<IWbemServices> services;
        hr = ns ? locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services.put())
                : E_OUTOFMEMORY;
        if (FAILED(hr) || !services) return failed("ConnectServer", hr);

        CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                          RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

        const ScopedBstr language(L"WQL");
        const ScopedBstr text(query);
        ComPtr<IEnumWbemClassObject> enumerator;
        hr = language && text ? services->ExecQuery(language.get(), text.get(),
                                                    WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                                    enumerator.put())
                              : E_OUTOFMEMORY;
        if (FAILED(hr) || !enumerator) return failed("ExecQuery", hr);

        for (;;) {
            ComPtr<IWbemClassObject> object;
            ULONG returned = 0;
            hr = enumerator->Next(kNextTimeoutMs, 1, object.put(), &returned);
            if (hr != WBEM_S_NO_ERROR || returned == 0 || !object) {
                // The end of the results is WBEM_S_FALSE; anything else is a failure
                // that ends the query with the rows gathered so far.
                if (FAILED(hr) || hr == WBEM_S_TIMEDOUT) failed("IEnumWbemClassObject::Next", hr);
                break;
            }
            WmiRow row;
            for (const std::wstring& name : properties) {
                ScopedVariant value;
                if (FAILED(object->Get(name.c_str(), 0, &value.v, nullptr, nullptr))) continue;
                if (std::optional<std::wstring> t = WmiValueText(value.v)) row[name] = std::move(*t);
            }
            rows.push_back(std::move(row));
        }
    } catch (const std::bad_alloc&) {
        // Out of memory while collecting: keep the rows gathered so far.
        Log(LogLevel::Error, "wmi", "out of memory while collecting (" + where + ")");
    }
    return rows;
}

}  // namespace kalorix
