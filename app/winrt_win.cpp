#include "app/winrt_win.h"

#include <iterator>

namespace kalorix {

namespace {

using RoGetActivationFactoryFn = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
using WindowsCreateStringFn = HRESULT(WINAPI*)(LPCWSTR, UINT32, HSTRING*);
using WindowsDeleteStringFn = HRESULT(WINAPI*)(HSTRING);

struct Combase {
    HMODULE module = nullptr;
    RoGetActivationFactoryFn getFactory = nullptr;
    WindowsCreateStringFn createString = nullptr;
    WindowsDeleteStringFn deleteString = nullptr;

    template <class Fn>
    Fn proc(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
    }
    Combase() {
        module = LoadLibraryExW(L"combase.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        if (!module) return;
        getFactory = proc<RoGetActivationFactoryFn>("RoGetActivationFactory");
        createString = proc<WindowsCreateStringFn>("WindowsCreateString");
        deleteString = proc<WindowsDeleteStringFn>("WindowsDeleteString");
    }
    bool ok() const { return getFactory && createString && deleteString; }
};

// Loaded once for the process and kept: runtime objects may outlive any one call.
Combase& Runtime() {
    static Combase c;
    return c;
}

// IAsyncInfo: Id, Status, ErrorCode, Cancel, Close after IInspectable.
constexpr GUID kIidAsyncInfo = {0x00000036, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
struct IAsyncInfoAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT*) = 0;
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
};
// IAsyncOperation<T>: put_Completed, get_Completed, GetResults after IInspectable.
struct IAsyncOperationAbi : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE put_Completed(void*) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Completed(void**) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetResults(void* result) = 0;
};

}  // namespace

RuntimeString::RuntimeString(const wchar_t* text) {
    Combase& rt = Runtime();
    if (!rt.ok()) return;
    if (FAILED(rt.createString(text, static_cast<UINT32>(wcslen(text)), &value_))) value_ = nullptr;
}

RuntimeString::~RuntimeString() {
    if (value_) Runtime().deleteString(value_);
}

void* GetRuntimeFactory(const wchar_t* className, const GUID& iid) {
    Combase& rt = Runtime();
    if (!rt.ok()) return nullptr;
    RuntimeString name(className);
    if (!name.ok()) return nullptr;
    void* factory = nullptr;
    if (FAILED(rt.getFactory(name.get(), iid, &factory))) return nullptr;
    return factory;
}

bool WaitRuntimeOperation(IInspectable* operation, void* result, DWORD timeoutMs) {
    if (!operation) return false;
    IAsyncInfoAbi* info = nullptr;
    if (FAILED(operation->QueryInterface(kIidAsyncInfo, reinterpret_cast<void**>(&info))) || !info) return false;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    INT32 status = 0;  // Started
    while (SUCCEEDED(info->get_Status(&status)) && status == 0 && GetTickCount64() < deadline) Sleep(10);
    info->Release();
    if (status != 1) return false;  // Completed
    return SUCCEEDED(static_cast<IAsyncOperationAbi*>(operation)->GetResults(result));
}

}  // namespace kalorix
