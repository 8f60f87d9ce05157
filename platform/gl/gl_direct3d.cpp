// The Direct3D object: the adapter as OpenGL describes it, its formats and
// capabilities, and device creation.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gl/gl_adapter.h"
#include "gl/gl_device.h"
#include "gl/gl_format.h"
#include "sdl/window.h"

namespace vrxgl {

namespace {

uint64_t Fnv1a(uint64_t h, const char* s) {
  for (const unsigned char* p = (const unsigned char*)s;; ++p) {
    h = (h ^ *p) * 1099511628211ull;  // the terminating 0 separates the strings
    if (!*p) return h;
  }
}

uint64_t Mix(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
  z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
  return z ^ (z >> 31);
}

// Reads the driver's description from a context on a hidden window, leaving
// whatever context was current before as it was.
bool Probe(AdapterInfo* info) {
  if (!EnsureSdlVideo()) return false;
  SDL_Window* prevWindow = SDL_GL_GetCurrentWindow();
  SDL_GLContext prevContext = SDL_GL_GetCurrentContext();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_Window* window = SDL_CreateWindow("vrx", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!window) return false;
  SDL_GLContext context = SDL_GL_CreateContext(window);
  if (!context) {
    SDL_DestroyWindow(window);
    return false;
  }
  auto str = [](GLenum name) {
    const char* s = (const char*)glGetString(name);
    return std::string(s ? s : "");
  };
  info->vendor = str(GL_VENDOR);
  info->renderer = str(GL_RENDERER);
  info->version = str(GL_VERSION);
  info->glVersion = epoxy_gl_version();
  glGetIntegerv(GL_MAX_TEXTURE_UNITS, &info->maxTextureUnits);
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &info->maxTextureSize);
  glGetIntegerv(GL_MAX_LIGHTS, &info->maxLights);
  if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
    glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &info->maxAnisotropy);
  info->s3tc = epoxy_has_gl_extension("GL_EXT_texture_compression_s3tc");
  info->usable = info->glVersion >= 45 || (info->glVersion >= 33 &&
                                           epoxy_has_gl_extension("GL_ARB_direct_state_access") &&
                                           epoxy_has_gl_extension("GL_ARB_clip_control"));
  SDL_GL_MakeCurrent(prevWindow, prevContext);
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  return true;
}

}  // namespace

const AdapterInfo* GetAdapterInfo() {
  static AdapterInfo info;
  static bool probed = false;
  if (!probed) probed = Probe(&info);
  return probed ? &info : nullptr;
}

GUID AdapterGuid(const char* vendor, const char* renderer, const char* version) {
  uint64_t a = 14695981039346656037ull, b = 0x6a09e667f3bcc908ull;
  for (const char* s : {vendor, renderer, version}) {
    a = Fnv1a(a, s);
    b = Fnv1a(b, s);
  }
  a = Mix(a);
  b = Mix(b ^ a);
  GUID g;
  g.Data1 = (uint32_t)(a >> 32);
  g.Data2 = (uint16_t)(a >> 16);
  g.Data3 = (uint16_t)((a & 0x0fff) | 0x5000);  // name-based identifier
  for (int i = 0; i < 8; ++i) g.Data4[i] = (uint8_t)(b >> (56 - 8 * i));
  g.Data4[0] = (uint8_t)((g.Data4[0] & 0x3f) | 0x80);
  return g;
}

bool IsRenderTargetFormat(D3DFORMAT format) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_X4R4G4B4:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_X1R5G5B5:
      return true;
    default:
      return false;
  }
}

bool IsDepthFormat(D3DFORMAT format) {
  GlFormat f;
  return LookupGlFormat(format, &f) && f.depth;
}

bool IsTextureFormat(const AdapterInfo& info, D3DFORMAT format) {
  GlFormat f;
  return LookupGlFormat(format, &f) && !f.depth && (!f.compressed || info.s3tc);
}

bool IsBackBufferFormat(D3DFORMAT format) {
  return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5 ||
         format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5;
}

void FillCaps(const AdapterInfo& info, D3DCAPS9* c) {
  memset(c, 0, sizeof *c);
  DWORD stages = (DWORD)std::min(std::max(info.maxTextureUnits, 1), kMaxStages);
  c->DeviceType = D3DDEVTYPE_HAL;
  c->AdapterOrdinal = 0;
  c->Caps2 = D3DCAPS2_FULLSCREENGAMMA | D3DCAPS2_CANCALIBRATEGAMMA;
  c->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  c->DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTUREVIDEOMEMORY |
               D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION;
  c->PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW |
                         D3DPMISCCAPS_COLORWRITEENABLE | D3DPMISCCAPS_BLENDOP;
  c->RasterCaps = D3DPRASTERCAPS_DITHER | D3DPRASTERCAPS_ZTEST | D3DPRASTERCAPS_FOGVERTEX |
                  D3DPRASTERCAPS_FOGTABLE | D3DPRASTERCAPS_MIPMAPLODBIAS | D3DPRASTERCAPS_WBUFFER |
                  D3DPRASTERCAPS_ZFOG | D3DPRASTERCAPS_SCISSORTEST;
  if (info.maxAnisotropy > 1.0f) c->RasterCaps |= D3DPRASTERCAPS_ANISOTROPY;
  c->ZCmpCaps = D3DPCMPCAPS_ALL;
  c->AlphaCmpCaps = D3DPCMPCAPS_ALL;
  c->SrcBlendCaps = c->DestBlendCaps =
      D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
      D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA |
      D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT | D3DPBLENDCAPS_BLENDFACTOR;
  c->ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_SPECULARGOURAUDRGB |
                 D3DPSHADECAPS_ALPHAGOURAUDBLEND | D3DPSHADECAPS_FOGGOURAUD;
  c->TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_PROJECTED |
                   D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP;
  c->TextureFilterCaps = c->CubeTextureFilterCaps =
      D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
      D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR |
      (info.maxAnisotropy > 1.0f ? D3DPTFILTERCAPS_MINFANISOTROPIC : 0);
  c->TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                          D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_MIRRORONCE;
  c->MaxTextureWidth = c->MaxTextureHeight = (DWORD)info.maxTextureSize;
  c->MaxTextureRepeat = 8192;
  c->MaxTextureAspectRatio = (DWORD)info.maxTextureSize;
  c->MaxAnisotropy = (DWORD)info.maxAnisotropy;
  c->MaxVertexW = 1e10f;
  c->GuardBandLeft = c->GuardBandTop = -32768.0f;
  c->GuardBandRight = c->GuardBandBottom = 32767.0f;
  c->FVFCaps = 8;  // texture coordinate sets
  c->TextureOpCaps = D3DTEXOPCAPS_DISABLE | D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 |
                     D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_MODULATE2X | D3DTEXOPCAPS_MODULATE4X | D3DTEXOPCAPS_ADD |
                     D3DTEXOPCAPS_ADDSIGNED | D3DTEXOPCAPS_ADDSIGNED2X | D3DTEXOPCAPS_SUBTRACT |
                     D3DTEXOPCAPS_BLENDDIFFUSEALPHA | D3DTEXOPCAPS_BLENDTEXTUREALPHA |
                     D3DTEXOPCAPS_BLENDFACTORALPHA | D3DTEXOPCAPS_BLENDCURRENTALPHA;
  c->MaxTextureBlendStages = stages;
  c->MaxSimultaneousTextures = stages;
  c->VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                            D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
  c->MaxActiveLights = (DWORD)std::min(info.maxLights, kMaxGlLights);
  c->MaxPointSize = 1.0f;
  c->MaxPrimitiveCount = 0xFFFFFF;
  c->MaxVertexIndex = 0xFFFFFF;
  c->MaxStreams = 1;
  c->MaxStreamStride = 255;
  c->VertexShaderVersion = D3DVS_VERSION(1, 1);
  c->MaxVertexShaderConst = kVertexShaderConstants;
  c->PixelShaderVersion = D3DPS_VERSION(0, 0);
}

namespace {

class Direct3D final : public IDirect3D9 {
 public:
  explicit Direct3D(const AdapterInfo* info) : info_(info) {}

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  UINT GetAdapterCount() override { return 1; }

  HRESULT GetAdapterIdentifier(UINT Adapter, DWORD Flags, D3DADAPTER_IDENTIFIER9* id) override {
    if (Adapter != 0 || !id) return D3DERR_INVALIDCALL;
    memset(id, 0, sizeof *id);
    snprintf(id->Driver, sizeof id->Driver, "%s", info_->version.c_str());
    snprintf(id->Description, sizeof id->Description, "%s (%s)", info_->renderer.c_str(), info_->vendor.c_str());
    snprintf(id->DeviceName, sizeof id->DeviceName, "\\\\.\\DISPLAY1");
    id->DeviceIdentifier =
        AdapterGuid(info_->vendor.c_str(), info_->renderer.c_str(), info_->version.c_str());
    id->WHQLLevel = (Flags & D3DENUM_WHQL_LEVEL) ? 1 : 0;
    return D3D_OK;
  }

  UINT GetAdapterModeCount(UINT Adapter, D3DFORMAT Format) override {
    if (Adapter != 0 || !IsBackBufferFormat(Format)) return 0;
    int n = SDL_GetNumDisplayModes(0);
    return n > 0 ? (UINT)n : 0;
  }

  HRESULT EnumAdapterModes(UINT Adapter, D3DFORMAT Format, UINT Mode, D3DDISPLAYMODE* pMode) override {
    SDL_DisplayMode m;
    if (Adapter != 0 || !pMode || !IsBackBufferFormat(Format) || SDL_GetDisplayMode(0, (int)Mode, &m) != 0)
      return D3DERR_INVALIDCALL;
    *pMode = D3DDISPLAYMODE{(UINT)m.w, (UINT)m.h, (UINT)m.refresh_rate, Format};
    return D3D_OK;
  }

  HRESULT GetAdapterDisplayMode(UINT Adapter, D3DDISPLAYMODE* pMode) override {
    SDL_DisplayMode m;
    if (Adapter != 0 || !pMode || SDL_GetDesktopDisplayMode(0, &m) != 0) return D3DERR_INVALIDCALL;
    *pMode = D3DDISPLAYMODE{(UINT)m.w, (UINT)m.h, (UINT)m.refresh_rate, D3DFMT_X8R8G8B8};
    return D3D_OK;
  }

  HRESULT CheckDeviceType(UINT Adapter, D3DDEVTYPE DevType, D3DFORMAT AdapterFormat, D3DFORMAT BackBufferFormat,
                          BOOL bWindowed) override {
    if (Adapter != 0) return D3DERR_INVALIDCALL;
    D3DFORMAT f = BackBufferFormat == D3DFMT_UNKNOWN ? AdapterFormat : BackBufferFormat;
    return IsBackBufferFormat(f) ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDeviceFormat(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat, DWORD Usage,
                            D3DRESOURCETYPE RType, D3DFORMAT CheckFormat) override {
    if (Adapter != 0) return D3DERR_INVALIDCALL;
    bool ok;
    if (Usage & D3DUSAGE_DEPTHSTENCIL)
      ok = IsDepthFormat(CheckFormat);
    else if (Usage & D3DUSAGE_RENDERTARGET)
      ok = IsRenderTargetFormat(CheckFormat);
    else
      ok = IsTextureFormat(*info_, CheckFormat);
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDepthStencilMatch(UINT Adapter, D3DDEVTYPE DeviceType, D3DFORMAT AdapterFormat,
                                 D3DFORMAT RenderTargetFormat, D3DFORMAT DepthStencilFormat) override {
    if (Adapter != 0) return D3DERR_INVALIDCALL;
    bool ok = IsDepthFormat(DepthStencilFormat) &&
              (IsRenderTargetFormat(RenderTargetFormat) || IsBackBufferFormat(RenderTargetFormat));
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
  }

  HRESULT GetDeviceCaps(UINT Adapter, D3DDEVTYPE DeviceType, D3DCAPS9* pCaps) override {
    if (Adapter != 0 || !pCaps) return D3DERR_INVALIDCALL;
    FillCaps(*info_, pCaps);
    pCaps->DeviceType = DeviceType;
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT Adapter, D3DDEVTYPE DeviceType, HWND hFocusWindow, DWORD BehaviorFlags,
                       D3DPRESENT_PARAMETERS* params, IDirect3DDevice9** ppDevice) override {
    if (Adapter != 0 || !params || !ppDevice) return D3DERR_INVALIDCALL;
    *ppDevice = nullptr;
    if (DeviceType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    HWND window = params->hDeviceWindow ? params->hDeviceWindow : hFocusWindow;
    HRESULT hr = D3DERR_NOTAVAILABLE;
    *ppDevice = Device::Create(this, window, BehaviorFlags, params, &hr);
    return *ppDevice ? D3D_OK : hr;
  }

 private:
  ~Direct3D() override = default;
  ULONG refs_ = 1;
  const AdapterInfo* info_;
};

}  // namespace

}  // namespace vrxgl

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  const vrxgl::AdapterInfo* info = vrxgl::GetAdapterInfo();
  if (!info) return nullptr;
  return new vrxgl::Direct3D(info);
}
