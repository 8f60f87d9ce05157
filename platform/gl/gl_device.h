// The Direct3D 9 device on an OpenGL compatibility context.
//
// Direct3D state is kept as Direct3D values; Set* calls only record them and
// mark what changed. Before each clear or draw, Flush() turns the changed
// groups into OpenGL state, comparing with what OpenGL already has so that no
// unchanged OpenGL state is issued again.
//
// Mapping rules:
// - Every target, the back buffer included, is an off-screen framebuffer
//   whose row 0 is the top of the picture, as in Direct3D memory. The
//   projection is followed by a clip-space adjustment that flips y, moves
//   pixel centres to integer coordinates (Direct3D 9 rasterisation) and, in
//   w-buffer mode, reverses depth. Because y is flipped, Direct3D's clockwise
//   front faces are OpenGL's counter-clockwise ones.
// - D3DZB_USEW is reversed depth (1 - z) on a float depth buffer: the depth
//   test orders the same as the z-buffer, with precision spread evenly over
//   distance as a w-buffer gives. Compare functions and clear depth are
//   mirrored to match.
// - Texture stages are OpenGL texture units with GL_COMBINE environments;
//   camera space is OpenGL eye space (the view matrix goes into the modelview
//   as it is), so coordinate generation and lighting carry over directly.
#pragma once

#include <SDL.h>
#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <vector>

#include "gl/gl_adapter.h"
#include "gl/gl_objects.h"
#include "platform/d3d9.h"

namespace vrxgl {

constexpr int kMaxStages = 8;
constexpr int kMaxGlLights = 8;
// Constant registers of a vertex shader (the vs_1_1 count, which fits every
// OpenGL 3 driver's uniform space).
constexpr int kVertexShaderConstants = 96;

class Device final : public IDirect3DDevice9 {
 public:
  // Makes the context and the back buffer; null (with *hr set) on failure.
  static Device* Create(IDirect3D9* d3d, HWND window, DWORD behaviour, D3DPRESENT_PARAMETERS* params,
                        HRESULT* hr);

  ULONG AddRef() override;
  ULONG Release() override;

  HRESULT TestCooperativeLevel() override;
  HRESULT GetDirect3D(IDirect3D9** ppD3D9) override;
  HRESULT GetDeviceCaps(D3DCAPS9* pCaps) override;
  HRESULT GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) override;
  HRESULT Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) override;
  HRESULT Present(const RECT* pSourceRect, const RECT* pDestRect, HWND hDestWindowOverride,
                  const void* pDirtyRegion) override;
  HRESULT GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE Type,
                        IDirect3DSurface9** ppBackBuffer) override;
  void SetGammaRamp(UINT iSwapChain, DWORD Flags, const D3DGAMMARAMP* pRamp) override;
  void GetGammaRamp(UINT iSwapChain, D3DGAMMARAMP* pRamp) override;

  HRESULT CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                        IDirect3DTexture9** ppTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DCubeTexture9** ppCubeTexture, HANDLE* pSharedHandle) override;
  HRESULT CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                             IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                            IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE* pSharedHandle) override;
  HRESULT CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE MultiSample,
                                    DWORD MultisampleQuality, BOOL Discard, IDirect3DSurface9** ppSurface,
                                    HANDLE* pSharedHandle) override;

  HRESULT SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) override;
  HRESULT GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** ppRenderTarget) override;
  HRESULT SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) override;
  HRESULT GetDepthStencilSurface(IDirect3DSurface9** ppZStencilSurface) override;

  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) override;

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) override;
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) override;
  HRESULT SetViewport(const D3DVIEWPORT9* pViewport) override;
  HRESULT GetViewport(D3DVIEWPORT9* pViewport) override;
  HRESULT SetMaterial(const D3DMATERIAL9* pMaterial) override;
  HRESULT GetMaterial(D3DMATERIAL9* pMaterial) override;
  HRESULT SetLight(DWORD Index, const D3DLIGHT9* pLight) override;
  HRESULT GetLight(DWORD Index, D3DLIGHT9* pLight) override;
  HRESULT LightEnable(DWORD Index, BOOL Enable) override;
  HRESULT GetLightEnable(DWORD Index, BOOL* pEnable) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) override;
  HRESULT GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) override;
  HRESULT SetScissorRect(const RECT* pRect) override;
  HRESULT GetScissorRect(RECT* pRect) override;

  HRESULT SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) override;
  HRESULT GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) override;
  HRESULT SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) override;
  HRESULT GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) override;
  HRESULT SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) override;
  HRESULT GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) override;

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) override;
  HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                               UINT NumVertices, UINT startIndex, UINT primCount) override;
  HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount, const void* pVertexStreamZeroData,
                          UINT VertexStreamZeroStride) override;
  HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                 UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                 const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) override;

  HRESULT SetFVF(DWORD FVF) override;
  HRESULT GetFVF(DWORD* pFVF) override;
  HRESULT CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShader(IDirect3DVertexShader9* pShader) override;
  HRESULT GetVertexShader(IDirect3DVertexShader9** ppShader) override;
  HRESULT SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) override;
  HRESULT GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) override;
  HRESULT SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                          UINT Stride) override;
  HRESULT GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                          UINT* pStride) override;
  HRESULT SetIndices(IDirect3DIndexBuffer9* pIndexData) override;
  HRESULT GetIndices(IDirect3DIndexBuffer9** ppIndexData) override;

  // ---- beyond Direct3D ----
  void MakeCurrent();
  void ForceLoss();
  HRESULT SaveScreenshot(const char* path);
  // Between a window and full screen, keeping every resource: the back
  // buffer is presented scaled into whatever the window is.
  HRESULT SetWindowed(bool windowed);
  const AdapterInfo& Adapter() const { return *adapter_; }
  // Resources tell the device when their public count leaves or reaches zero,
  // so that Reset can refuse while default-pool resources are held.
  void CountDefaultPoolReference(int delta) { defaultPoolHeld_ += delta; }
  // An OpenGL object is about to be deleted: drop it from the state shadow,
  // since OpenGL may hand the same name out again.
  void ForgetTexture(GLuint name);
  void ForgetBuffer(GLuint name);
  void ForgetProgram(GLuint name);
  // A texture's pixels were written: whether it is opaque may have changed.
  void TexturePixelsChanged();

 private:
  Device(IDirect3D9* d3d, HWND window, SDL_Window* sdl, SDL_GLContext ctx, const AdapterInfo* adapter);
  ~Device() override;

  bool CreateBackBuffer(const D3DPRESENT_PARAMETERS& params);
  void ReleaseBackBuffer();
  void ApplyWindowMode();
  bool WindowGone() const;  // full screen and minimised or hidden
  void ResetState();
  void InitGlState();
  void PresentToWindow();

  // State flushing (gl_state.cpp).
  void Flush();
  void ApplyTarget();
  void ApplyViewport();
  void ApplyDepth();
  void ApplyBlend();
  bool DrawsOpaque() const;
  void ApplyAlphaTest();
  void ApplyCull();
  void ApplyMisc();
  void ApplyFog();
  void ApplyLights();
  void ApplyLighting();
  void ApplyTransforms();
  void ApplyStages();
  void ApplyStage(int unit, bool active);
  void ApplySamplers();
  void ApplyProgram();
  void ApplyArrays(GLuint buffer, UINT offset, UINT stride);
  void InvalidateGlCache();
  // Picks up a change of depth mode; true while depth is stored reversed.
  bool UpdateDepthConvention();
  void SetCap(GLenum cap, bool on, bool* shadow);
  void SetActiveUnit(int unit);
  void SetClientUnit(int unit);
  D3DMATRIX ClipAdjust() const;

  // Drawing (gl_draw.cpp).
  void PrepareDraw();
  GLuint StreamUpload(const void* data, UINT bytes);

  ULONG refs_ = 1;
  IDirect3D9* d3d_;
  HWND window_;
  SDL_Window* sdl_;
  SDL_GLContext ctx_;
  const AdapterInfo* adapter_;
  D3DPRESENT_PARAMETERS params_{};
  D3DCAPS9 caps_{};
  // The window's place and size while it was last a window, for the way
  // back from full screen.
  int windowedX_ = 0, windowedY_ = 0, windowedW_ = 0, windowedH_ = 0;
  int defaultPoolHeld_ = 0;

  // Device loss.
  bool lost_ = false;
  int forcedLostReports_ = 0;

  // The back buffer and its depth surface, and what is bound.
  OwnedSurface* backBuffer_ = nullptr;
  OwnedSurface* autoDepth_ = nullptr;
  Surface* target_ = nullptr;
  Surface* depth_ = nullptr;
  GLuint fbo_ = 0;

  // Presentation: the gamma ramp as a lookup texture (the displayed byte of
  // each entry) and the programs that put the back buffer into the window
  // through it, scaled or pixel for pixel.
  D3DGAMMARAMP gamma_{};
  GLuint gammaTexture_ = 0;
  bool gammaDirty_ = true;
  GLuint presentProgram_ = 0;
  GLuint presentExactProgram_ = 0;
  GLint presentTopLocation_ = -1;
  GLint presentLeftLocation_ = -1;

  // Direct3D state.
  DWORD rs_[256];
  DWORD tss_[kMaxStages][33];
  DWORD samp_[kMaxStages][14];
  D3DMATRIX world_, view_, proj_, texm_[kMaxStages];
  D3DVIEWPORT9 viewport_{};
  RECT scissor_{};
  D3DMATERIAL9 material_{};
  struct Light {
    D3DLIGHT9 light;
    bool enabled;
  };
  std::vector<Light> lights_;
  TextureBase* textures_[kMaxStages] = {};
  IDirect3DBaseTexture9* textureInterfaces_[kMaxStages] = {};
  VertexBuffer* stream_ = nullptr;
  UINT streamOffset_ = 0, streamStride_ = 0;
  IndexBuffer* indices_ = nullptr;
  DWORD fvf_ = 0;
  VertexShader* shader_ = nullptr;
  float constants_[kVertexShaderConstants][4] = {};
  bool constantsDirty_ = true;
  bool inScene_ = false;
  bool reversedDepth_ = false;  // depth convention of the last enabled depth mode

  // What changed since the last flush.
  uint32_t dirty_ = ~0u;
  uint32_t dirtySamplers_ = ~0u;  // one bit per stage

  // What OpenGL has (a shadow of the state we set, to skip repeats).
  struct Combine {
    GLint rgbMode, alphaMode, rgbScale, alphaScale;
    GLint src[3], op[3], asrc[3], aop[3];
    bool operator==(const Combine& o) const;
  };
  struct Unit {
    GLenum enabledTarget = 0;  // GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or 0
    GLuint bound2D = 0, boundCube = 0;
    Combine combine{};
    bool combineKnown = false;
    DWORD texgen = ~0u;  // D3DTSS_TCI_* in use
    DWORD envColor = 0;
    bool envColorKnown = false;
    bool texcoordArray = false;
    bool texMatrixIdentity = false;
    bool texMatrixKnown = false;
  };
  struct GlShadow {
    bool depthTest, blend, alphaTest, cull, fog, lighting, normalize, colorMaterial, scissor, dither;
    bool light[kMaxGlLights];
    GLenum depthFunc;
    GLboolean depthMask;
    GLenum blendSrc, blendDst, blendEq;
    DWORD blendColor;
    GLenum alphaFunc;
    DWORD alphaRef;
    GLenum cullFace;
    DWORD colorMask;
    GLenum polygonMode, shadeModel;
    GLenum colorMaterialMode;
    bool vertexArray, normalArray, colorArray;
    GLuint arrayBuffer, elementBuffer;
    GLuint program;
    int activeUnit, clientUnit;
    // Vertex pointers in use: buffer, base offset, stride, format and the
    // coordinate set of each unit.
    GLuint ptrBuffer;
    UINT ptrOffset, ptrStride;
    DWORD ptrFvf;
    DWORD ptrSets[kMaxStages];
    bool ptrKnown;
    // Framebuffer attachments: texture or renderbuffer name, level, layer.
    GLuint colorTex, depthTex, depthRb;
    GLint colorLevel, colorLayer;
    bool depthHasStencil;
    Unit units[kMaxStages];
  } gl_{};
  bool glKnown_ = false;  // false: the shadow is stale, set everything

  // Per-stage sampler objects hold filters, addressing and LOD bias.
  GLuint samplers_[kMaxStages] = {};
  // Opaque black, bound where a stage reads a texture that is not there.
  GLuint blackTexture_ = 0;
  // Streaming buffer of DrawPrimitiveUP.
  GLuint upBuffer_ = 0;
  GLuint upIndexBuffer_ = 0;
  // The vertex format, coordinate sets or draw mode changed since the vertex
  // arrays were last set.
  bool arraysDirty_ = true;
  // Draw-mode inputs of the last flush.
  bool lastPretransformed_ = false;
  bool lastShader_ = false;
  DWORD lastFvf_ = ~0u;
};

enum DirtyBits : uint32_t {
  kDirtyTarget = 1u << 0,
  kDirtyViewport = 1u << 1,
  kDirtyDepth = 1u << 2,
  kDirtyBlend = 1u << 3,
  kDirtyAlphaTest = 1u << 4,
  kDirtyCull = 1u << 5,
  kDirtyMisc = 1u << 6,
  kDirtyFog = 1u << 7,
  kDirtyLights = 1u << 8,
  kDirtyLighting = 1u << 9,
  kDirtyModelView = 1u << 10,
  kDirtyProjection = 1u << 11,
  kDirtyStages = 1u << 12,
  kDirtyTexMatrices = 1u << 13,
  kDirtyProgram = 1u << 14,
  kDirtyAll = ~0u,
};

inline Device* DeviceFromInterface(IDirect3DDevice9* d) { return static_cast<Device*>(d); }

}  // namespace vrxgl
