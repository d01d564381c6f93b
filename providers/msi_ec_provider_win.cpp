#include "providers/msi_ec_provider_win.h"

#include <oleauto.h>
#include <wbemidl.h>

#include <string>
#include <utility>

#include "base/log.h"
#include "base/scoped_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr char kLogSource[] = "msi-ec";

// Logs a failed call (or a null result with S_OK) and says whether it failed.
bool Failed(HRESULT hr, bool gotResult, std::string_view what) {
    if (SUCCEEDED(hr) && gotResult) return false;
    LogHResult(kLogSource, what, SUCCEEDED(hr) ? E_POINTER : hr);
    return true;
}

// The MSI_ACPI instance and the two classes its methods need.
class WmiMsiAcpi final : public EcMethodCaller {
public:
    bool open();
    std::optional<EcPacket> call(const wchar_t* method) override;

private:
    bool findInstance();

    ComPtr<IWbemServices> services_;
    ComPtr<IWbemClassObject> package32_;
    ComPtr<IWbemClassObject> msiAcpi_;
    std::optional<ScopedBstr> path_;
};

bool WmiMsiAcpi::open() {
    ComPtr<IWbemLocator> locator;
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  locator.putVoid());
    if (Failed(hr, bool(locator), "CoCreateInstance(WbemLocator)")) return false;
    ScopedBstr ns(L"ROOT\\WMI");
    if (!ns) return false;
    hr = locator->ConnectServer(ns.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.put());
    if (Failed(hr, bool(services_), "ConnectServer ROOT\\WMI")) return false;
    hr = CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                           RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    if (FAILED(hr)) LogHResult(kLogSource, "CoSetProxyBlanket", hr);  // the calls may still work
    if (!findInstance()) return false;

    ScopedBstr packageClass(L"Package_32");
    ScopedBstr acpiClass(L"MSI_ACPI");
    if (!packageClass || !acpiClass) return false;
    hr = services_->GetObject(packageClass.get(), 0, nullptr, package32_.put(), nullptr);
    if (Failed(hr, bool(package32_), "GetObject Package_32")) return false;
    hr = services_->GetObject(acpiClass.get(), 0, nullptr, msiAcpi_.put(), nullptr);
    if (Failed(hr, bool(msiAcpi_), "GetObject MSI_ACPI")) return false;
    return call(kEcMethodTemperature).has_value();
}

// The path of the one MSI_ACPI instance; a machine without the class (every
// non-MSI machine) answers the query with WBEM_E_INVALID_CLASS.
bool WmiMsiAcpi::findInstance() {
    ScopedBstr language(L"WQL");
    ScopedBstr query(L"SELECT __PATH FROM MSI_ACPI");
    if (!language || !query) return false;
    ComPtr<IEnumWbemClassObject> results;
    HRESULT hr = services_->ExecQuery(language.get(), query.get(),
                                      WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, results.put());
    if (Failed(hr, bool(results), "ExecQuery MSI_ACPI")) return false;
    ComPtr<IWbemClassObject> instance;
    ULONG returned = 0;
    hr = results->Next(3000, 1, instance.put(), &returned);
    if (hr != WBEM_S_NO_ERROR || returned == 0 || !instance) {
        // WBEM_S_FALSE: the enumeration ended empty; a failure code from the provider otherwise.
        LogHResult(kLogSource, "MSI_ACPI instance (IEnumWbemClassObject::Next)", hr);
        return false;
    }
    ScopedVariant path;
    hr = instance->Get(L"__PATH", 0, &path.v, nullptr, nullptr);
    if (Failed(hr, path.v.vt == VT_BSTR && path.v.bstrVal, "MSI_ACPI __PATH")) return false;
    path_.emplace(std::wstring_view(path.v.bstrVal, SysStringLen(path.v.bstrVal)));
    return bool(*path_);
}

std::optional<EcPacket> WmiMsiAcpi::call(const wchar_t* method) {
    if (!services_ || !package32_ || !msiAcpi_ || !path_) return std::nullopt;
    const std::string name = WideToUtf8(method);

    // 1. The method's input parameters.
    ComPtr<IWbemClassObject> signature;
    HRESULT hr = msiAcpi_->GetMethod(method, 0, signature.put(), nullptr);
    if (Failed(hr, bool(signature), "GetMethod " + name)) return std::nullopt;
    ComPtr<IWbemClassObject> input;
    hr = signature->SpawnInstance(0, input.put());
    if (Failed(hr, bool(input), "SpawnInstance " + name + " input")) return std::nullopt;

    // 2. A Package_32 carrying 32 zero bytes.
    ComPtr<IWbemClassObject> package;
    hr = package32_->SpawnInstance(0, package.put());
    if (Failed(hr, bool(package), "SpawnInstance Package_32")) return std::nullopt;
    {
        ScopedVariant bytes;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, kEcPacketSize);  // zero-filled
        if (!array) return std::nullopt;
        bytes.v.vt = VT_ARRAY | VT_UI1;
        bytes.v.parray = array;  // owned by the VARIANT from here on
        if (Failed(package->Put(L"Bytes", 0, &bytes.v, 0), true, "Put Package_32.Bytes")) return std::nullopt;
    }

    // 3. The package as the "Data" argument.
    {
        ScopedVariant data;
        data.v.vt = VT_UNKNOWN;
        data.v.punkVal = package.get();
        data.v.punkVal->AddRef();  // released by the VARIANT
        if (Failed(input->Put(L"Data", 0, &data.v, 0), true, "Put " + name + ".Data")) return std::nullopt;
    }

    // 4. The call on the instance found at start.
    ScopedBstr methodName(method);
    if (!methodName) return std::nullopt;
    ComPtr<IWbemClassObject> output;
    hr = services_->ExecMethod(path_->get(), methodName.get(), 0, nullptr, input.get(), output.put(), nullptr);
    if (Failed(hr, bool(output), "ExecMethod " + name)) return std::nullopt;

    // 5. Data -> Package_32 -> Bytes.
    ScopedVariant data;
    hr = output->Get(L"Data", 0, &data.v, nullptr, nullptr);
    if (Failed(hr, data.v.vt == VT_UNKNOWN && data.v.punkVal, name + " output Data")) return std::nullopt;
    ComPtr<IWbemClassObject> answer;
    hr = data.v.punkVal->QueryInterface(IID_IWbemClassObject, answer.putVoid());
    if (Failed(hr, bool(answer), name + " output Package_32")) return std::nullopt;
    ScopedVariant bytes;
    if (Failed(answer->Get(L"Bytes", 0, &bytes.v, nullptr, nullptr), true, name + " output Bytes")) return std::nullopt;
    // 6. Status byte checked while decoding.
    auto packet = EcPacketFromVariant(bytes.v);
    if (!packet) Log(LogLevel::Warning, kLogSource, name + " answered with an unusable packet");
    return packet;
}

class MsiEcProvider final : public Provider {
public:
    explicit MsiEcProvider(std::unique_ptr<EcMethodCaller> ec) : ec_(std::move(ec)) {}
    const wchar_t* name() const override { return kMsiEcName; }
    void poll(SensorFrame& frame) override { PollMsiEc(*ec_, frame); }

private:
    std::unique_ptr<EcMethodCaller> ec_;
};

}  // namespace

std::optional<EcPacket> EcPacketFromVariant(const VARIANT& bytes) {
    if (bytes.vt != (VT_ARRAY | VT_UI1) || !bytes.parray) return std::nullopt;
    SAFEARRAY* array = bytes.parray;
    if (SafeArrayGetDim(array) != 1) return std::nullopt;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return std::nullopt;
    const LONG count = upper >= lower ? upper - lower + 1 : 0;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return std::nullopt;
    auto packet = EcPacketFromBytes(static_cast<const uint8_t*>(data), static_cast<size_t>(count));
    SafeArrayUnaccessData(array);
    return packet;
}

std::unique_ptr<EcMethodCaller> OpenMsiAcpi() {
    try {
        auto ec = std::make_unique<WmiMsiAcpi>();
        if (!ec->open()) return nullptr;
        return ec;
    } catch (const std::exception& e) {
        Log(LogLevel::Error, kLogSource, std::string("opening MSI_ACPI failed: ") + e.what());
        return nullptr;
    }
}

std::unique_ptr<Provider> CreateMsiEcProvider(std::unique_ptr<EcMethodCaller> ec) {
    if (!ec || !ec->call(kEcMethodTemperature)) return nullptr;
    return std::make_unique<MsiEcProvider>(std::move(ec));
}

std::unique_ptr<Provider> CreateMsiEcProvider() {
    // OpenMsiAcpi already checked that Get_Temperature answers.
    auto ec = OpenMsiAcpi();
    if (!ec) return nullptr;
    return std::make_unique<MsiEcProvider>(std::move(ec));
}

}  // namespace kalorix
