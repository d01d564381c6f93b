#include "bench/gpu_bench_win.h"

#include <windows.h>
#include <d3d11.h>
#include <d3dcompiler.h>
#include <dxgi1_6.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/scoped_win.h"
#include "bench/gpu_measure.h"
#include "bench/scores.h"

namespace kalorix::bench {

namespace {

constexpr char kSource[] = "gpu test";

// A system library and its exports, released with the test.
class Library {
public:
    explicit Library(const wchar_t* name) : module_(LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        if (!module_) LogWin32Error(kSource, "LoadLibraryExW", GetLastError());
    }
    template <typename F>
    F proc(const char* name) const {
        return module_ ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_.get(), name))) : nullptr;
    }

private:
    UniqueModule module_;
};

using CreateDeviceFn = decltype(&D3D11CreateDevice);

}  // namespace

// The measurement context: device, immediate context and the three queries.
struct Gpu : GpuTimer {
    ComPtr<ID3D11Device> device;
    ComPtr<ID3D11DeviceContext> context;
    ComPtr<ID3D11Query> disjoint;
    ComPtr<ID3D11Query> startStamp;
    ComPtr<ID3D11Query> endStamp;
    Clock* host = nullptr;

    std::optional<double> timedBatch(const std::function<void()>& work) override {
        const double h0 = host->nowSeconds();
        context->Begin(disjoint.get());
        context->End(startStamp.get());
        work();
        context->End(endStamp.get());
        context->End(disjoint.get());
        D3D11_QUERY_DATA_TIMESTAMP_DISJOINT dj{};
        for (;;) {
            const HRESULT hr = context->GetData(disjoint.get(), &dj, sizeof dj, 0);
            if (hr == S_OK) break;
            if (hr != S_FALSE) return std::nullopt;
            if (host->nowSeconds() - h0 > 5.0) return std::nullopt;
            host->sleepMs(1);
        }
        if (device->GetDeviceRemovedReason() != S_OK) return std::nullopt;
        UINT64 start = 0, end = 0;
        const bool stamps = context->GetData(startStamp.get(), &start, sizeof start, 0) == S_OK &&
                            context->GetData(endStamp.get(), &end, sizeof end, 0) == S_OK;
        return BatchSeconds(dj.Disjoint != FALSE, dj.Frequency, stamps, start, end, host->nowSeconds() - h0);
    }
};

namespace {

bool ChooseAdapter(ComPtr<IDXGIAdapter1>& chosen, DXGI_ADAPTER_DESC1& desc) {
    ComPtr<IDXGIFactory1> factory;
    if (const HRESULT hr = CreateDXGIFactory1(__uuidof(IDXGIFactory1), factory.putVoid()); FAILED(hr)) {
        LogHResult(kSource, "CreateDXGIFactory1", hr);
        return false;
    }
    ComPtr<IDXGIFactory6> factory6;
    if (SUCCEEDED(factory->QueryInterface(__uuidof(IDXGIFactory6), reinterpret_cast<void**>(factory6.put())))) {
        for (UINT i = 0;; ++i) {
            ComPtr<IDXGIAdapter1> adapter;
            if (FAILED(factory6->EnumAdapterByGpuPreference(i, DXGI_GPU_PREFERENCE_HIGH_PERFORMANCE,
                                                            __uuidof(IDXGIAdapter1),
                                                            reinterpret_cast<void**>(adapter.put())))) {
                break;
            }
            DXGI_ADAPTER_DESC1 d{};
            if (SUCCEEDED(adapter->GetDesc1(&d)) && !(d.Flags & DXGI_ADAPTER_FLAG_SOFTWARE)) {
                desc = d;
                chosen = adapter;
                return true;
            }
        }
    }
    for (UINT i = 0;; ++i) {
        ComPtr<IDXGIAdapter1> adapter;
        if (factory->EnumAdapters1(i, adapter.put()) == DXGI_ERROR_NOT_FOUND || !adapter) break;
        DXGI_ADAPTER_DESC1 d{};
        if (SUCCEEDED(adapter->GetDesc1(&d)) && !(d.Flags & DXGI_ADAPTER_FLAG_SOFTWARE)) {
            desc = d;
            chosen = adapter;
            return true;
        }
    }
    return false;
}

// Compiles one shader; on failure error receives the compiler's message, bytes widened one by one.
bool Compile(pD3DCompile compile, const char* source, ComPtr<ID3DBlob>& code, std::wstring& error) {
    ComPtr<ID3DBlob> messages;
    const HRESULT hr = compile(source, std::char_traits<char>::length(source), nullptr, nullptr, nullptr, "main",
                               "cs_5_0", D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, code.put(), messages.put());
    if (SUCCEEDED(hr) && code) return true;
    LogHResult(kSource, "D3DCompile", hr);
    error = L"Test programı derlenemedi.";
    error += L' ';
    if (messages) {
        const auto* bytes = static_cast<const unsigned char*>(messages->GetBufferPointer());
        const size_t n = messages->GetBufferSize();
        for (size_t i = 0; i < n && bytes[i] != 0; ++i) error += static_cast<wchar_t>(bytes[i]);
    }
    return false;
}

bool RawBuffer(ID3D11Device* device, UINT size, UINT bind, const void* initial, ComPtr<ID3D11Buffer>& out) {
    D3D11_BUFFER_DESC bd{};
    bd.ByteWidth = size;
    bd.Usage = D3D11_USAGE_DEFAULT;
    bd.BindFlags = bind;
    bd.MiscFlags = D3D11_RESOURCE_MISC_BUFFER_ALLOW_RAW_VIEWS;
    D3D11_SUBRESOURCE_DATA data{};
    data.pSysMem = initial;
    return SUCCEEDED(device->CreateBuffer(&bd, initial ? &data : nullptr, out.put()));
}

bool RawUav(ID3D11Device* device, ID3D11Buffer* buffer, UINT elements, ComPtr<ID3D11UnorderedAccessView>& out) {
    D3D11_UNORDERED_ACCESS_VIEW_DESC ud{};
    ud.Format = DXGI_FORMAT_R32_TYPELESS;
    ud.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    ud.Buffer.FirstElement = 0;
    ud.Buffer.NumElements = elements;
    ud.Buffer.Flags = D3D11_BUFFER_UAV_FLAG_RAW;
    return SUCCEEDED(device->CreateUnorderedAccessView(buffer, &ud, out.put()));
}

bool ConstantBuffer(ID3D11Device* device, const uint32_t (&values)[4], ComPtr<ID3D11Buffer>& out) {
    D3D11_BUFFER_DESC bd{};
    bd.ByteWidth = 16;
    bd.Usage = D3D11_USAGE_DEFAULT;
    bd.BindFlags = D3D11_BIND_CONSTANT_BUFFER;
    D3D11_SUBRESOURCE_DATA data{};
    data.pSysMem = values;
    return SUCCEEDED(device->CreateBuffer(&bd, &data, out.put()));
}

}  // namespace

int RunGpu(Reporter& reporter, Clock& clock) {
    auto fail = [&](const std::wstring& text) {
        reporter.Error(text);
        return 1;
    };
    reporter.Progress(0.0, L"Ekran kartı hazırlanıyor");
    Library d3d11(L"d3d11.dll");
    Library compiler(L"d3dcompiler_47.dll");
    const auto createDevice = d3d11.proc<CreateDeviceFn>("D3D11CreateDevice");
    const auto compile = compiler.proc<pD3DCompile>("D3DCompile");
    if (!createDevice || !compile) return fail(L"Ekran kartı bileşenleri (Direct3D 11) bulunamadı.");

    ComPtr<IDXGIAdapter1> adapter;
    DXGI_ADAPTER_DESC1 desc{};
    if (!ChooseAdapter(adapter, desc)) return fail(L"Uygun bir ekran kartı bulunamadı.");
    reporter.Info("gpu.name", desc.Description);

    Gpu gpu;
    gpu.host = &clock;
    D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_1, D3D_FEATURE_LEVEL_11_0};
    HRESULT hr = createDevice(adapter.get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, levels, 2, D3D11_SDK_VERSION,
                              gpu.device.put(), nullptr, gpu.context.put());
    if (hr == E_INVALIDARG) {
        hr = createDevice(adapter.get(), D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, levels + 1, 1, D3D11_SDK_VERSION,
                          gpu.device.put(), nullptr, gpu.context.put());
    }
    if (FAILED(hr) || !gpu.device || !gpu.context) {
        LogHResult(kSource, "D3D11CreateDevice", hr);
        return fail(L"Ekran kartı DirectX 11 hesaplama gölgelendiricilerini desteklemiyor.");
    }

    D3D11_QUERY_DESC qd{};
    qd.Query = D3D11_QUERY_TIMESTAMP_DISJOINT;
    const bool q1 = SUCCEEDED(gpu.device->CreateQuery(&qd, gpu.disjoint.put()));
    qd.Query = D3D11_QUERY_TIMESTAMP;
    const bool q2 = SUCCEEDED(gpu.device->CreateQuery(&qd, gpu.startStamp.put()));
    const bool q3 = SUCCEEDED(gpu.device->CreateQuery(&qd, gpu.endStamp.put()));
    if (!q1 || !q2 || !q3) return fail(L"Ekran kartı zamanlayıcısı oluşturulamadı.");

    ComPtr<ID3DBlob> arithmeticCode, copyCode;
    std::wstring compileError;
    if (!Compile(compile, kGpuArithmeticShader, arithmeticCode, compileError) ||
        !Compile(compile, kGpuCopyShader, copyCode, compileError)) {
        return fail(compileError);
    }
    ComPtr<ID3D11ComputeShader> arithmetic, copy;
    if (FAILED(gpu.device->CreateComputeShader(arithmeticCode->GetBufferPointer(), arithmeticCode->GetBufferSize(),
                                               nullptr, arithmetic.put())) ||
        FAILED(gpu.device->CreateComputeShader(copyCode->GetBufferPointer(), copyCode->GetBufferSize(), nullptr,
                                               copy.put()))) {
        return fail(L"Test programı ekran kartına yüklenemedi.");
    }
    ID3D11DeviceContext* ctx = gpu.context.get();
    ID3D11UnorderedAccessView* noUav = nullptr;
    ID3D11ShaderResourceView* noSrv = nullptr;

    // Arithmetic phase.
    double gflops = 0;
    {
        ComPtr<ID3D11Buffer> output, constants;
        ComPtr<ID3D11UnorderedAccessView> outputView;
        const uint32_t params[4] = {64, 0, 0, 0};
        uint32_t withSeed[4];
        std::memcpy(withSeed, params, sizeof params);
        const float seed = 1.2345f;
        std::memcpy(&withSeed[1], &seed, 4);
        if (!RawBuffer(gpu.device.get(), 16777216, D3D11_BIND_UNORDERED_ACCESS, nullptr, output) ||
            !RawUav(gpu.device.get(), output.get(), 4194304, outputView) ||
            !ConstantBuffer(gpu.device.get(), withSeed, constants)) {
            return fail(L"Ekran kartı belleği ayrılamadı.");
        }
        ctx->CSSetShader(arithmetic.get(), nullptr, 0);
        ID3D11Buffer* cb = constants.get();
        ctx->CSSetConstantBuffers(0, 1, &cb);
        ID3D11UnorderedAccessView* uav = outputView.get();
        ctx->CSSetUnorderedAccessViews(0, 1, &uav, nullptr);
        reporter.Progress(0.03, L"Ekran kartı hazırlanıyor");

        const auto groups = CalibrateGroups(gpu, [ctx](uint32_t g) { ctx->Dispatch(g, 1, 1); });
        if (!groups) return fail(kGpuNoResponse);
        const uint32_t g = *groups;
        const auto rate = Measure(gpu, reporter, clock, GpuFlopsPerDispatch(g), [ctx, g] { ctx->Dispatch(g, 1, 1); },
                                  0.05, 0.45, L"Hesaplama gücü ölçülüyor");
        if (!rate) return fail(kGpuNoResponse);
        gflops = *rate / 1e9;
        ctx->CSSetUnorderedAccessViews(0, 1, &noUav, nullptr);
    }
    reporter.Progress(0.45, L"Soğuma molası");
    clock.sleepMs(2000);

    // Bandwidth phase.
    double bandwidth = 0;
    {
        uint64_t size = GpuCopyBufferSize(desc.DedicatedVideoMemory);
        ComPtr<ID3D11Buffer> source, destination, constants;
        for (;;) {
            std::vector<uint32_t> words(size / 4);
            uint32_t x = 0x9e3779b9u;
            for (auto& w : words) {
                x = x * 1664525u + 1013904223u;
                w = x;
            }
            const bool ok = RawBuffer(gpu.device.get(), static_cast<UINT>(size), D3D11_BIND_SHADER_RESOURCE,
                                      words.data(), source) &&
                            RawBuffer(gpu.device.get(), static_cast<UINT>(size), D3D11_BIND_UNORDERED_ACCESS,
                                      nullptr, destination);
            if (ok) break;
            source.reset();
            destination.reset();
            size /= 2;
            if (size < 16ull * 1024 * 1024) return fail(L"Ekran kartı belleği ayrılamadı.");
        }
        D3D11_SHADER_RESOURCE_VIEW_DESC sd{};
        sd.Format = DXGI_FORMAT_R32_TYPELESS;
        sd.ViewDimension = D3D11_SRV_DIMENSION_BUFFEREX;
        sd.BufferEx.FirstElement = 0;
        sd.BufferEx.NumElements = static_cast<UINT>(size / 4);
        sd.BufferEx.Flags = D3D11_BUFFEREX_SRV_FLAG_RAW;
        ComPtr<ID3D11ShaderResourceView> sourceView;
        ComPtr<ID3D11UnorderedAccessView> destinationView;
        const uint32_t params[4] = {static_cast<uint32_t>(size / 16), 262144, 0, 0};
        if (FAILED(gpu.device->CreateShaderResourceView(source.get(), &sd, sourceView.put())) ||
            !RawUav(gpu.device.get(), destination.get(), static_cast<UINT>(size / 4), destinationView) ||
            !ConstantBuffer(gpu.device.get(), params, constants)) {
            return fail(L"Ekran kartı belleği ayrılamadı.");
        }
        ctx->CSSetShader(copy.get(), nullptr, 0);
        ID3D11Buffer* cb = constants.get();
        ctx->CSSetConstantBuffers(0, 1, &cb);
        ID3D11ShaderResourceView* srv = sourceView.get();
        ctx->CSSetShaderResources(0, 1, &srv);
        ID3D11UnorderedAccessView* uav = destinationView.get();
        ctx->CSSetUnorderedAccessViews(0, 1, &uav, nullptr);
        const auto rate = Measure(gpu, reporter, clock, 2.0 * static_cast<double>(size),
                                  [ctx] { ctx->Dispatch(1024, 1, 1); }, 0.55, 0.95, L"Bellek hızı ölçülüyor");
        ctx->CSSetUnorderedAccessViews(0, 1, &noUav, nullptr);
        ctx->CSSetShaderResources(0, 1, &noSrv);
        if (!rate) return fail(kGpuNoResponse);
        bandwidth = *rate / 1e9;
    }
    reporter.Metric("gpu.gflops", gflops);
    reporter.Metric("gpu.bandwidth_gbs", bandwidth);
    reporter.Metric("gpu.score", GpuScore(bandwidth, gflops));
    reporter.Progress(1.0, L"Tamamlandı");
    reporter.Done();
    return 0;
}

}  // namespace kalorix::bench
