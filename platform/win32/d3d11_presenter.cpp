#include "platform/win32/d3d11_presenter.h"

#include <d3d11.h>
#include <d3dcompiler.h>
#include <dxgi1_2.h>

#include <cstring>
#include <vector>

namespace {

// A triangle that covers the viewport, its corners made from the vertex
// number, so there is no vertex buffer; the pixel shader samples the picture.
constexpr char kShaderSource[] = R"(
Texture2D picture : register(t0);
SamplerState linearClamp : register(s0);
struct Corner { float4 position : SV_Position; float2 uv : TEXCOORD0; };
Corner Vertex(uint id : SV_VertexID) {
    Corner c;
    c.uv = float2((id << 1) & 2, id & 2);
    c.position = float4(c.uv * float2(2, -2) + float2(-1, 1), 0, 1);
    return c;
}
float4 Pixel(Corner c) : SV_Target {
    return float4(picture.Sample(linearClamp, c.uv).rgb, 1);
}
)";

// The adapter that Windows uses when no GPU driver is there.
constexpr UINT kMicrosoftVendor = 0x1414;
constexpr UINT kBasicRenderDevice = 0x8C;

template <typename T>
void Release(T*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

struct Target {
    IDXGISwapChain1* chain = nullptr;
    ID3D11RenderTargetView* view = nullptr;
    D3D11_VIEWPORT viewport = {};
};

}  // namespace

struct D3D11Presenter {
    HMODULE d3d11 = nullptr, dxgi = nullptr, compiler = nullptr;
    IDXGIFactory2* factory = nullptr;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    ID3D11VertexShader* vertexShader = nullptr;
    ID3D11PixelShader* pixelShader = nullptr;
    ID3D11SamplerState* sampler = nullptr;
    ID3D11Texture2D* texture = nullptr;
    ID3D11ShaderResourceView* textureView = nullptr;
    std::vector<Target> targets;
};

namespace {

template <typename Function>
Function Find(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

ID3DBlob* Compile(pD3DCompile compile, const char* entry, const char* target) {
    ID3DBlob* code = nullptr;
    ID3DBlob* errors = nullptr;
    compile(kShaderSource, sizeof kShaderSource - 1, "picture", nullptr, nullptr, entry, target,
            D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &code, &errors);
    Release(errors);
    return code;
}

bool IsSoftware(const DXGI_ADAPTER_DESC1& desc) {
    return (desc.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0 ||
           (desc.VendorId == kMicrosoftVendor && desc.DeviceId == kBasicRenderDevice);
}

// Everything but the windows; the reason on failure.
const char* Build(D3D11Presenter& p, bool hardwareOnly) {
    p.d3d11 = LoadLibraryA("d3d11.dll");
    p.dxgi = LoadLibraryA("dxgi.dll");
    p.compiler = LoadLibraryA("d3dcompiler_47.dll");
    auto createFactory = Find<decltype(&CreateDXGIFactory1)>(p.dxgi, "CreateDXGIFactory1");
    auto createDevice = Find<PFN_D3D11_CREATE_DEVICE>(p.d3d11, "D3D11CreateDevice");
    auto compile = Find<pD3DCompile>(p.compiler, "D3DCompile");
    if (!createFactory || !createDevice || !compile) return "Direct3D 11 or its shader compiler is missing";

    if (createFactory(IID_IDXGIFactory2, reinterpret_cast<void**>(&p.factory)) != S_OK) {
        return "no DXGI 1.2 factory for flip-model swap chains";
    }
    IDXGIAdapter1* adapter = nullptr;
    if (p.factory->EnumAdapters1(0, &adapter) != S_OK) return "no display adapter";
    DXGI_ADAPTER_DESC1 desc;
    std::memset(&desc, 0, sizeof desc);
    adapter->GetDesc1(&desc);
    if (hardwareOnly && IsSoftware(desc)) {
        Release(adapter);
        return "the display adapter renders in software";
    }
    const D3D_FEATURE_LEVEL levels[] = {D3D_FEATURE_LEVEL_11_0, D3D_FEATURE_LEVEL_10_1, D3D_FEATURE_LEVEL_10_0};
    HRESULT created = createDevice(adapter, D3D_DRIVER_TYPE_UNKNOWN, nullptr, 0, levels, 3, D3D11_SDK_VERSION,
                                   &p.device, nullptr, &p.context);
    Release(adapter);
    if (created != S_OK) return "cannot create the Direct3D 11 device";

    ID3DBlob* vertexCode = Compile(compile, "Vertex", "vs_4_0");
    ID3DBlob* pixelCode = Compile(compile, "Pixel", "ps_4_0");
    if (vertexCode != nullptr && pixelCode != nullptr) {
        p.device->CreateVertexShader(vertexCode->GetBufferPointer(), vertexCode->GetBufferSize(), nullptr,
                                     &p.vertexShader);
        p.device->CreatePixelShader(pixelCode->GetBufferPointer(), pixelCode->GetBufferSize(), nullptr,
                                    &p.pixelShader);
    }
    Release(vertexCode);
    Release(pixelCode);
    if (p.vertexShader == nullptr || p.pixelShader == nullptr) return "cannot build the shaders";

    D3D11_SAMPLER_DESC sampling;
    std::memset(&sampling, 0, sizeof sampling);
    sampling.Filter = D3D11_FILTER_MIN_MAG_MIP_LINEAR;
    sampling.AddressU = sampling.AddressV = sampling.AddressW = D3D11_TEXTURE_ADDRESS_CLAMP;
    sampling.ComparisonFunc = D3D11_COMPARISON_NEVER;
    sampling.MaxLOD = D3D11_FLOAT32_MAX;
    if (p.device->CreateSamplerState(&sampling, &p.sampler) != S_OK) return "cannot create the sampler";

    // 0x00RRGGBB words are B, G, R, X bytes; the shader ignores the fourth.
    D3D11_TEXTURE2D_DESC texture;
    std::memset(&texture, 0, sizeof texture);
    texture.Width = kScreenWidth;
    texture.Height = kScreenHeight;
    texture.MipLevels = 1;
    texture.ArraySize = 1;
    texture.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    texture.SampleDesc.Count = 1;
    texture.Usage = D3D11_USAGE_DEFAULT;
    texture.BindFlags = D3D11_BIND_SHADER_RESOURCE;
    if (p.device->CreateTexture2D(&texture, nullptr, &p.texture) != S_OK ||
        p.device->CreateShaderResourceView(p.texture, nullptr, &p.textureView) != S_OK) {
        return "cannot create the picture texture";
    }
    return nullptr;
}

}  // namespace

D3D11Presenter* CreateD3D11Presenter(bool hardwareOnly, const char** reason) {
    auto* presenter = new D3D11Presenter;
    if (const char* why = Build(*presenter, hardwareOnly)) {
        DestroyD3D11Presenter(presenter);
        *reason = why;
        return nullptr;
    }
    return presenter;
}

void DestroyD3D11Presenter(D3D11Presenter* p) {
    if (p == nullptr) return;
    if (p->context != nullptr) p->context->ClearState();
    for (Target& t : p->targets) {
        Release(t.view);
        Release(t.chain);
    }
    Release(p->textureView);
    Release(p->texture);
    Release(p->sampler);
    Release(p->pixelShader);
    Release(p->vertexShader);
    Release(p->context);
    Release(p->device);
    Release(p->factory);
    for (HMODULE module : {p->compiler, p->dxgi, p->d3d11}) {
        if (module != nullptr) FreeLibrary(module);
    }
    delete p;
}

bool AddD3D11Window(D3D11Presenter& p, HWND window, int32_t width, int32_t height, const ScreenRect& picture) {
    DXGI_SWAP_CHAIN_DESC1 desc;
    std::memset(&desc, 0, sizeof desc);
    desc.Width = UINT(width);
    desc.Height = UINT(height);
    desc.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.AlphaMode = DXGI_ALPHA_MODE_IGNORE;
    Target t;
    // Flip-discard came with Windows 10; flip-sequential is the flip model
    // of Windows 8.
    for (DXGI_SWAP_EFFECT effect : {DXGI_SWAP_EFFECT_FLIP_DISCARD, DXGI_SWAP_EFFECT_FLIP_SEQUENTIAL}) {
        desc.SwapEffect = effect;
        if (p.factory->CreateSwapChainForHwnd(p.device, window, &desc, nullptr, nullptr, &t.chain) == S_OK) break;
        t.chain = nullptr;
    }
    if (t.chain == nullptr) return false;
    // The show's windows are full screen already: no Alt+Enter mode switch.
    p.factory->MakeWindowAssociation(window, DXGI_MWA_NO_ALT_ENTER);
    ID3D11Texture2D* buffer = nullptr;
    if (t.chain->GetBuffer(0, IID_ID3D11Texture2D, reinterpret_cast<void**>(&buffer)) != S_OK ||
        p.device->CreateRenderTargetView(buffer, nullptr, &t.view) != S_OK) {
        Release(buffer);
        Release(t.chain);
        return false;
    }
    Release(buffer);
    t.viewport.TopLeftX = float(picture.left);
    t.viewport.TopLeftY = float(picture.top);
    t.viewport.Width = float(picture.right - picture.left);
    t.viewport.Height = float(picture.bottom - picture.top);
    t.viewport.MaxDepth = 1.0f;
    p.targets.push_back(t);
    return true;
}

bool PresentD3D11(D3D11Presenter& p, const uint32_t* pixels, int32_t pitch, int32_t top, int32_t bottom) {
    ID3D11DeviceContext* c = p.context;
    if (top < bottom) {
        const D3D11_BOX rows = {0, UINT(top), 0, UINT(kScreenWidth), UINT(bottom), 1};
        c->UpdateSubresource(p.texture, 0, &rows, reinterpret_cast<const uint8_t*>(pixels) + size_t(top) * pitch,
                             UINT(pitch), 0);
    }
    c->IASetPrimitiveTopology(D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST);
    c->VSSetShader(p.vertexShader, nullptr, 0);
    c->PSSetShader(p.pixelShader, nullptr, 0);
    c->PSSetShaderResources(0, 1, &p.textureView);
    c->PSSetSamplers(0, 1, &p.sampler);
    const float black[4] = {0, 0, 0, 1};
    for (Target& t : p.targets) {
        // A flip-model present unbinds the back buffer, and flip-discard
        // leaves its contents undefined: bind and clear every time.
        c->OMSetRenderTargets(1, &t.view, nullptr);
        c->ClearRenderTargetView(t.view, black);
        c->RSSetViewports(1, &t.viewport);
        c->Draw(3, 0);
        // No wait for the vertical blank: the show paces itself, and
        // waiting on each monitor in turn would halve its rate.
        const HRESULT presented = t.chain->Present(0, 0);
        if (presented == DXGI_ERROR_DEVICE_REMOVED || presented == DXGI_ERROR_DEVICE_RESET) return false;
    }
    return true;
}
