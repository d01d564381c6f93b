#include "providers/msi_ec_provider_win.h"

#include <oleauto.h>
#include <wbemidl.h>

#include <utility>

namespace kalorix {

namespace {

// Minimal owner of one COM interface pointer.
template <typename T>
class Com {
public:
    Com() = default;
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    Com(Com&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Com& operator=(Com&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }
    ~Com() { reset(); }
    void reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    T** out() {
        reset();
        return &p_;
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// A VARIANT that is cleared on every path.
struct Variant {
    VARIANT v;
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// A BSTR freed on every path.
struct Bstr {
    BSTR s;
    explicit Bstr(const wchar_t* text) : s(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
};

// The MSI_ACPI instance and the two classes its methods need.
class WmiMsiAcpi final : public EcMethodCaller {
public:
    WmiMsiAcpi() = default;
    ~WmiMsiAcpi() override {
        if (path_) SysFreeString(path_);
    }
    WmiMsiAcpi(const WmiMsiAcpi&) = delete;
    WmiMsiAcpi& operator=(const WmiMsiAcpi&) = delete;

    bool open();
    std::optional<EcPacket> call(const wchar_t* method) override;

private:
    Com<IWbemServices> services_;
    Com<IWbemClassObject> package32_;
    Com<IWbemClassObject> msiAcpi_;
    BSTR path_ = nullptr;
};

bool WmiMsiAcpi::open() {
    Com<IWbemLocator> locator;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                reinterpret_cast<void**>(locator.out()))))
        return false;
    Bstr ns(L"ROOT\\WMI");
    if (!ns.s || FAILED(locator->ConnectServer(ns.s, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services_.out())) ||
        !services_)
        return false;
    CoSetProxyBlanket(services_.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);

    Bstr language(L"WQL");
    Bstr query(L"SELECT __PATH FROM MSI_ACPI");
    Com<IEnumWbemClassObject> results;
    if (!language.s || !query.s ||
        FAILED(services_->ExecQuery(language.s, query.s, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY,
                                    nullptr, results.out())) ||
        !results)
        return false;
    Com<IWbemClassObject> instance;
    ULONG returned = 0;
    if (results->Next(3000, 1, instance.out(), &returned) != WBEM_S_NO_ERROR || returned == 0 || !instance)
        return false;
    {
        Variant path;
        if (FAILED(instance->Get(L"__PATH", 0, &path.v, nullptr, nullptr)) || path.v.vt != VT_BSTR || !path.v.bstrVal)
            return false;
        path_ = SysAllocString(path.v.bstrVal);
        if (!path_) return false;
    }

    Bstr packageClass(L"Package_32");
    Bstr acpiClass(L"MSI_ACPI");
    if (!packageClass.s || !acpiClass.s ||
        FAILED(services_->GetObject(packageClass.s, 0, nullptr, package32_.out(), nullptr)) || !package32_ ||
        FAILED(services_->GetObject(acpiClass.s, 0, nullptr, msiAcpi_.out(), nullptr)) || !msiAcpi_)
        return false;
    return call(kEcMethodTemperature).has_value();
}

std::optional<EcPacket> WmiMsiAcpi::call(const wchar_t* method) {
    if (!services_ || !package32_ || !msiAcpi_ || !path_) return std::nullopt;

    // 1. The method's input parameters.
    Com<IWbemClassObject> signature;
    if (FAILED(msiAcpi_->GetMethod(method, 0, signature.out(), nullptr)) || !signature) return std::nullopt;
    Com<IWbemClassObject> input;
    if (FAILED(signature->SpawnInstance(0, input.out())) || !input) return std::nullopt;

    // 2. A Package_32 carrying 32 zero bytes.
    Com<IWbemClassObject> package;
    if (FAILED(package32_->SpawnInstance(0, package.out())) || !package) return std::nullopt;
    {
        Variant bytes;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, kEcPacketSize);  // zero-filled
        if (!array) return std::nullopt;
        bytes.v.vt = VT_ARRAY | VT_UI1;
        bytes.v.parray = array;  // owned by the VARIANT from here on
        if (FAILED(package->Put(L"Bytes", 0, &bytes.v, 0))) return std::nullopt;
    }

    // 3. The package as the "Data" argument.
    {
        Variant data;
        data.v.vt = VT_UNKNOWN;
        data.v.punkVal = package.get();
        data.v.punkVal->AddRef();  // released by the VARIANT
        if (FAILED(input->Put(L"Data", 0, &data.v, 0))) return std::nullopt;
    }

    // 4. The call on the instance found at start.
    Bstr methodName(method);
    if (!methodName.s) return std::nullopt;
    Com<IWbemClassObject> output;
    if (FAILED(services_->ExecMethod(path_, methodName.s, 0, nullptr, input.get(), output.out(), nullptr)) || !output)
        return std::nullopt;

    // 5. Data -> Package_32 -> Bytes.
    Variant data;
    if (FAILED(output->Get(L"Data", 0, &data.v, nullptr, nullptr)) || data.v.vt != VT_UNKNOWN || !data.v.punkVal)
        return std::nullopt;
    Com<IWbemClassObject> answer;
    if (FAILED(data.v.punkVal->QueryInterface(IID_IWbemClassObject, reinterpret_cast<void**>(answer.out()))) ||
        !answer)
        return std::nullopt;
    Variant bytes;
    if (FAILED(answer->Get(L"Bytes", 0, &bytes.v, nullptr, nullptr))) return std::nullopt;
    // 6. Status byte checked while decoding.
    return EcPacketFromVariant(bytes.v);
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
    } catch (const std::exception&) {
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
