#include "cScreen.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "mathkit/mathkit.h"
#include "platform/win32.h"

namespace {

constexpr DWORD kMeshFvf = 0x252;  // position, normal, diffuse, two texture coordinate sets
constexpr DWORD kMeshStride = 44;

DWORD FloatBits(float f) {
  DWORD d;
  memcpy(&d, &f, 4);
  return d;
}

template <class T>
void ReleaseAndClear(T*& p) {
  if (p) p->Release();
  p = nullptr;
}

}  // namespace

cScreen::cScreen()
    : window(nullptr), direct3D(nullptr), device(nullptr), hardwareVertexProcessing(0), depthMode(1),
      sprite(nullptr), cameraPosition(0, 0, 0), cameraTarget(0, 0, 1), shaderLight(0, 0, 0), viewDistance(0),
      viewStart(0), savedBackBuffer(nullptr), savedDepthSurface(nullptr), shaderActive(0),
      backBufferFormat(D3DFMT_UNKNOWN), depthFormat(D3DFMT_UNKNOWN), horizontalFov(0), verticalFov(0) {
  memset(vertexShaders, 0, sizeof vertexShaders);
  memset(vertexBuffers, 0, sizeof vertexBuffers);
  memset(indexBuffers, 0, sizeof indexBuffers);
  memset(vertexFormat, 0, sizeof vertexFormat);
  memset(vertexStride, 0, sizeof vertexStride);
  memset(indexFormat, 0, sizeof indexFormat);
  memset(indexCount, 0, sizeof indexCount);
  memset(vertexCount, 0, sizeof vertexCount);
  MatrixIdentity(&world);
  MatrixIdentity(&camera);
  MatrixIdentity(&inverseCamera);
  MatrixIdentity(&projection);
  memset(&presentParameters, 0, sizeof presentParameters);
  memset(&caps, 0, sizeof caps);
  memset(&viewPlanes, 0, sizeof viewPlanes);
}

cScreen::~cScreen() {}

// ---------------------------------------------------------------------------
// Set-up and teardown

int cScreen::Init3D(HWND hwnd, DWORD width, DWORD height, DWORD flags, BOOL useW) {
  window = hwnd;
  depthMode = useW ? 2 : 1;
  direct3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (!direct3D) return 0;
  direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);

  memset(&presentParameters, 0, sizeof presentParameters);
  D3DPRESENT_PARAMETERS& pp = presentParameters;
  bool fullScreen = (flags & 2) != 0;
  bool wantDepth;
  D3DFORMAT adapterFormat;
  // The deepest format first in a window too: the w-buffer mode (reversed
  // depth) resolves nothing at a distance on 16-bit fixed point, so 16 bits
  // are only for devices that have nothing else.
  static const D3DFORMAT kDepths[] = {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D16, D3DFMT_D15S1};
  const D3DFORMAT* order = kDepths;
  if (fullScreen) {
    pp.BackBufferFormat = (flags & 1) ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    adapterFormat = pp.BackBufferFormat;
    wantDepth = (flags & 4) != 0;
  } else {
    D3DDISPLAYMODE mode;
    direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode);
    pp.BackBufferFormat = D3DFMT_UNKNOWN;
    adapterFormat = mode.Format;
    wantDepth = (flags & 1) != 0;
  }
  pp.BackBufferWidth = width;
  pp.BackBufferHeight = height;
  if (wantDepth) {
    int i = 0;
    while (i < 4 && FAILED(direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat,
                                                       D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, order[i])))
      ++i;
    if (i == 4) {
      ReleaseAndClear(direct3D);
      return 0;
    }
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = order[i];
  }
  pp.BackBufferCount = 1;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.hDeviceWindow = window;
  pp.Windowed = fullScreen ? FALSE : TRUE;
  pp.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;

  hardwareVertexProcessing = 1;
  if (FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                    D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &device))) {
    hardwareVertexProcessing = 0;
    if (FAILED(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                      D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &device))) {
      device = nullptr;
      ReleaseAndClear(direct3D);
      return 0;
    }
  }
  backBufferFormat = pp.BackBufferFormat;
  depthFormat = pp.EnableAutoDepthStencil ? pp.AutoDepthStencilFormat : D3DFMT_UNKNOWN;
  ApplyFixedState();
  return 1;
}

void cScreen::ApplyFixedState() {
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, FloatBits(-1.5f));
  device->SetSamplerState(0, D3DSAMP_MIPFILTER, 3);

  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHAREF, 15);
  device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);

  D3DMATERIAL9 material;
  material.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.5f};
  material.Ambient = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 0.5f};
  material.Specular = D3DCOLORVALUE{0.5f, 0.5f, 0.5f, 0.5f};
  material.Emissive = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 0.5f};
  material.Power = 20.0f;
  device->SetMaterial(&material);
  device->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);

  ReleaseAndClear(savedBackBuffer);
  ReleaseAndClear(savedDepthSurface);
  device->GetRenderTarget(0, &savedBackBuffer);
  if (FAILED(device->GetDepthStencilSurface(&savedDepthSurface))) savedDepthSurface = nullptr;
  D3DXMATRIX identity;
  MatrixIdentity(&identity);
  SetWorldMatrix(&identity);
  // The sprite survives a reset (it is told about it), so only the first
  // application makes one.
  if (!sprite && FAILED(D3DXCreateSprite(device, &sprite))) sprite = nullptr;

  DWORD stages = caps.MaxSimultaneousTextures > 2 ? 2 : 1;
  for (DWORD stage = 1; stage <= stages; ++stage) {
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    if (stage == 1) device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    device->SetTextureStageState(stage, D3DTSS_COLOROP, D3DTOP_BLENDTEXTUREALPHA);
    device->SetTextureStageState(stage, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(stage, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(stage, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->SetTextureStageState(stage, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(stage, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
  }
  SetDepthBuffer(TRUE);
}

void cScreen::CleanUp() {
  for (int i = 0; i < 256; ++i) {
    ReleaseAndClear(vertexShaders[i]);
    DeleteVertexBuffer((BYTE)i);
    DeleteIndexBuffer((DWORD)i);
  }
  ReleaseAndClear(sprite);
  ReleaseAndClear(savedBackBuffer);
  ReleaseAndClear(savedDepthSurface);
  ReleaseAndClear(device);
  ReleaseAndClear(direct3D);
  shaderActive = 0;
}

int cScreen::Restore() {
  if (!device) return 0;
  ReleaseAndClear(savedBackBuffer);
  ReleaseAndClear(savedDepthSurface);
  MoveWindow(window, 100, 100, 808, 606, TRUE);
  ShowWindow(window, SW_SHOW);
  if (FAILED(device->Reset(&presentParameters))) return 0;
  if (sprite) sprite->OnResetDevice();
  ApplyFixedState();
  return 1;
}

int cScreen::SetWindowed(BOOL windowed) {
  if (!device || FAILED(VrxSetWindowed(device, windowed))) return 0;
  presentParameters.Windowed = windowed ? TRUE : FALSE;
  return 1;
}

int cScreen::Flip() { return device && SUCCEEDED(device->Present(nullptr, nullptr, nullptr, nullptr)) ? 1 : 0; }

int cScreen::IsRenderTargetFormatExisting(D3DFORMAT format) {
  if (!direct3D) return 0;
  return SUCCEEDED(direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, backBufferFormat,
                                               D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, format))
             ? 1
             : 0;
}

D3DXVECTOR2 cScreen::GetPixelSize() {
  RECT r{0, 0, 0, 0};
  GetClientRect(window, &r);
  return D3DXVECTOR2((float)(r.right - r.left), (float)(r.bottom - r.top));
}

// ---------------------------------------------------------------------------
// Vertex and index buffers

int cScreen::CreateVertexBuffer(BYTE slot, DWORD fvf, void* data, DWORD bytes, DWORD stride) {
  DeleteVertexBuffer(slot);
  // A zero stride would leave the slot without a vertex count.
  if (!device || stride == 0) return 0;
  IDirect3DVertexBuffer9* vb = nullptr;
  if (FAILED(device->CreateVertexBuffer(bytes, 0, fvf, D3DPOOL_MANAGED, &vb, nullptr))) return 0;
  void* p = nullptr;
  if (FAILED(vb->Lock(0, bytes, &p, 0))) {
    vb->Release();
    return 0;
  }
  if (data) memcpy(p, data, bytes);
  vb->Unlock();
  vertexBuffers[slot] = vb;
  vertexFormat[slot] = fvf;
  vertexStride[slot] = stride;
  vertexCount[slot] = bytes / stride;
  return 1;
}

int cScreen::WriteVertexBuffer(BYTE slot, void* data, DWORD first, DWORD count) {
  IDirect3DVertexBuffer9* vb = vertexBuffers[slot];
  if (!vb || !data) return 0;
  void* p = nullptr;
  DWORD stride = vertexStride[slot];
  if (count == 0) return 1;
  // Checked in 64 bits: a byte range that wraps round would lock too little
  // for the copy.
  if ((uint64_t)first + count > vertexCount[slot]) return 0;
  if (FAILED(vb->Lock(first * stride, count * stride, &p, 0))) return 0;
  memcpy(p, data, (size_t)count * stride);
  vb->Unlock();
  return 1;
}

int cScreen::ReadVertexBuffer(BYTE slot, void* data, DWORD first, DWORD count) {
  IDirect3DVertexBuffer9* vb = vertexBuffers[slot];
  if (!vb || !data) return 0;
  void* p = nullptr;
  DWORD stride = vertexStride[slot];
  if (count == 0) return 1;
  if ((uint64_t)first + count > vertexCount[slot]) return 0;
  if (FAILED(vb->Lock(first * stride, count * stride, &p, D3DLOCK_READONLY))) return 0;
  memcpy(data, p, (size_t)count * stride);
  vb->Unlock();
  return 1;
}

int cScreen::LockVertexBuffer(DWORD slot, void** data) {
  IDirect3DVertexBuffer9* vb = vertexBuffers[slot & 0xFF];
  if (!vb || !data) return 0;
  return SUCCEEDED(vb->Lock(0, 0, data, 0)) ? 1 : 0;
}

int cScreen::UnLockVertexBuffer(DWORD slot) {
  IDirect3DVertexBuffer9* vb = vertexBuffers[slot & 0xFF];
  return vb && SUCCEEDED(vb->Unlock()) ? 1 : 0;
}

void cScreen::DeleteVertexBuffer(BYTE slot) {
  ReleaseAndClear(vertexBuffers[slot]);
  vertexFormat[slot] = vertexStride[slot] = vertexCount[slot] = 0;
}

int cScreen::GetFirstUnusedVertexBuffer() {
  for (int i = 0; i < 256; ++i)
    if (!vertexBuffers[i]) return i;
  return -1;
}

void cScreen::SetVertexBuffer(BYTE slot) {
  if (!vertexBuffers[slot] || vertexFormat[slot] != kMeshFvf) return;
  device->SetStreamSource(0, vertexBuffers[slot], 0, kMeshStride);
  device->SetFVF(kMeshFvf);
}

void cScreen::SetVertexFormat(DWORD fvf) {
  if (device) device->SetFVF(fvf);
}

int cScreen::DrawVertexBuffer(BYTE slot, DWORD startVertex, D3DPRIMITIVETYPE type, DWORD primitiveCount) {
  if (!vertexBuffers[slot]) return 0;
  // A scene opened by the caller stays open: only our own bracket is closed.
  bool opened = SUCCEEDED(device->BeginScene());
  device->SetStreamSource(0, vertexBuffers[slot], 0, vertexStride[slot]);
  HRESULT hr = device->DrawPrimitive(type, startVertex, primitiveCount);
  if (opened) device->EndScene();
  return SUCCEEDED(hr) ? 1 : 0;
}

int cScreen::CreateIndexBuffer(BYTE slot, D3DFORMAT format, void* data, DWORD bytes, DWORD count) {
  DeleteIndexBuffer(slot);
  if (!device) return 0;
  IDirect3DIndexBuffer9* ib = nullptr;
  if (FAILED(device->CreateIndexBuffer(bytes, 0, format, D3DPOOL_MANAGED, &ib, nullptr))) return 0;
  void* p = nullptr;
  if (FAILED(ib->Lock(0, bytes, &p, 0))) {
    ib->Release();
    return 0;
  }
  if (data) memcpy(p, data, bytes);
  ib->Unlock();
  indexBuffers[slot] = ib;
  indexFormat[slot] = format;
  indexCount[slot] = count;
  return 1;
}

void cScreen::DeleteIndexBuffer(DWORD slot) {
  slot &= 0xFF;
  ReleaseAndClear(indexBuffers[slot]);
  indexFormat[slot] = indexCount[slot] = 0;
}

int cScreen::GetFirstUnusedIndexBuffer() {
  for (int i = 0; i < 256; ++i)
    if (!indexBuffers[i]) return i;
  return -1;
}

int cScreen::DrawIndexedVertexBuffer(BYTE indexSlot, BYTE vertexSlot, DWORD start, D3DPRIMITIVETYPE type,
                                     DWORD primitiveCount) {
  if (!indexBuffers[indexSlot] || !vertexBuffers[vertexSlot]) return 0;
  bool opened = SUCCEEDED(device->BeginScene());
  device->SetIndices(indexBuffers[indexSlot]);
  device->SetStreamSource(0, vertexBuffers[vertexSlot], 0, vertexStride[vertexSlot]);
  HRESULT hr = device->DrawIndexedPrimitive(type, (INT)start, 0, 3 * primitiveCount, start, primitiveCount);
  if (opened) device->EndScene();
  return SUCCEEDED(hr) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Vertex shaders

int cScreen::CreateVertexShader(BYTE slot, const char* file, DWORD) {
  DeleteVertexShader(slot);
  if (!device) return 0;
  ID3DXBuffer* code = nullptr;
  if (FAILED(D3DXAssembleShaderFromFileA(file, nullptr, nullptr, 0, &code, nullptr))) return 0;
  HRESULT hr = device->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &vertexShaders[slot]);
  code->Release();
  if (FAILED(hr)) {
    vertexShaders[slot] = nullptr;
    return 0;
  }
  return 1;
}

void cScreen::SetVertexShader(BYTE slot) {
  if (!vertexShaders[slot]) return;
  device->SetVertexShader(vertexShaders[slot]);
  shaderActive = 1;
  UploadShaderConstants();
}

void cScreen::SetFixedVertexShader() {
  if (device) device->SetVertexShader(nullptr);
  shaderActive = 0;
}

void cScreen::DeleteVertexShader(BYTE slot) { ReleaseAndClear(vertexShaders[slot]); }

int cScreen::GetFirstUnusedVertexShader() {
  for (int i = 0; i < 256; ++i)
    if (!vertexShaders[i]) return i;
  return -1;
}

void cScreen::SetVertexShaderConst(float* values, DWORD firstRegister, DWORD registerCount) {
  device->SetVertexShaderConstantF(firstRegister, values, registerCount);
}

void cScreen::SetTransformedVertexShaderConst(D3DXVECTOR3* v) { shaderLight = *v; }

void cScreen::UploadShaderConstants() {
  float c[13][4];
  D3DXMATRIX t;
  D3DXMatrixTranspose(&t, &world);
  memcpy(c[0], &t, sizeof t);
  D3DXMatrixTranspose(&t, &camera);
  memcpy(c[4], &t, sizeof t);
  D3DXMatrixTranspose(&t, &projection);
  memcpy(c[8], &t, sizeof t);
  D3DXMATRIX inverseWorld;
  if (!D3DXMatrixInverse(&inverseWorld, nullptr, &world)) MatrixIdentity(&inverseWorld);
  D3DXVECTOR3 light = -shaderLight;
  D3DXVec3TransformNormal(&light, &light, &inverseWorld);
  c[12][0] = light.x;
  c[12][1] = light.y;
  c[12][2] = light.z;
  c[12][3] = 1.0f;
  device->SetVertexShaderConstantF(0, &c[0][0], 13);
}

// ---------------------------------------------------------------------------
// Camera and transforms

void cScreen::SetTransformMatrix(float aspect, float orthoWidth, float nearDist, float farDist, BOOL ortho) {
  if (ortho) {
    D3DXMatrixOrthoLH(&projection, orthoWidth, orthoWidth / aspect, nearDist, farDist);
    horizontalFov = verticalFov = 3.1415927f;
  } else {
    const float eighth = 0.3926991f;  // pi / 8: half of the vertical field of view
    float f = cosf(eighth) / sinf(eighth);
    float q = farDist / (farDist - nearDist);
    memset(&projection, 0, sizeof projection);
    projection._11 = f / aspect;
    projection._22 = f;
    projection._33 = q;
    projection._34 = 1.0f;
    projection._43 = -nearDist * q;
    verticalFov = 0.7853982f;
    horizontalFov = fabsf(atan2f(aspect * tanf(0.7853982f), 1.0f));
  }
  viewStart = nearDist;
  viewDistance = farDist;
  if (device) device->SetTransform(D3DTS_PROJECTION, &projection);
  CalcViewPlanes();
  if (shaderActive) UploadShaderConstants();
}

void cScreen::CalcViewPlanes() {
  // Normals point out of the view: a point is outside a plane when
  // a x + b y + c z + d > 0. The side normals are (-1, 0, 0) and (1, 0, 0)
  // turned back by half the horizontal field of view, the top and bottom ones
  // (0, +-1, 0) turned back by half the vertical one.
  float sh = sinf(horizontalFov * 0.5f), ch = cosf(horizontalFov * 0.5f);
  float sv = sinf(verticalFov * 0.5f), cv = cosf(verticalFov * 0.5f);
  const float planes[6][4] = {
      {0, 0, -1, viewStart},      // near
      {0, 0, 1, -viewDistance},   // far
      {-ch, 0, -sh, 0},           // side 1
      {ch, 0, -sh, 0},            // side 2
      {0, cv, -sv, 0},            // top
      {0, -cv, -sv, 0},           // bottom
  };
  for (int i = 0; i < 6; ++i) {
    _VIEWPLANE& p = viewPlanes.plane[i];
    p.a = planes[i][0];
    p.b = planes[i][1];
    p.c = planes[i][2];
    p.d = planes[i][3];
    p.length = sqrtf(p.a * p.a + p.b * p.b + p.c * p.c);
  }
}

void cScreen::SetCamera(D3DXVECTOR3 position, D3DXVECTOR3 target, D3DXVECTOR3 up) {
  cameraPosition = position;
  cameraTarget = target;
  D3DXMatrixLookAtLH(&camera, &position, &target, &up);
  if (!D3DXMatrixInverse(&inverseCamera, nullptr, &camera)) MatrixIdentity(&inverseCamera);
  if (device) device->SetTransform(D3DTS_VIEW, &camera);
  if (shaderActive) UploadShaderConstants();
}

void cScreen::SetWorldMatrix(D3DXMATRIX* m) {
  world = *m;
  if (device) device->SetTransform(D3DTS_WORLD, &world);
  if (shaderActive) UploadShaderConstants();
}

D3DXVECTOR3 cScreen::GetScreenCoords(D3DXVECTOR3* p) {
  D3DXVECTOR2 size = GetPixelSize();
  D3DVIEWPORT9 viewport{0, 0, (DWORD)size.x, (DWORD)size.y, 0.001f, viewDistance};
  D3DXVECTOR3 out;
  D3DXVec3Project(&out, p, &viewport, &projection, &camera, &world);
  out.x /= size.x;
  out.y /= size.y;
  return out;
}

// ---------------------------------------------------------------------------
// State switches

int cScreen::ClearScreen() { return ClearScreen(0); }

int cScreen::ClearScreen(DWORD colour) {
  if (!device) return 0;
  if (SUCCEEDED(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0))) return 1;
  // No depth surface bound: the colour alone.
  return SUCCEEDED(device->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0)) ? 1 : 0;
}

void cScreen::SetLighting(BOOL on) { device->SetRenderState(D3DRS_LIGHTING, on); }

void cScreen::SetLight(BOOL on) {
  device->LightEnable(0, on);
  device->SetRenderState(D3DRS_AMBIENT, on ? 0xFF404040 : 0xFF000000);
}

void cScreen::AddDirectionalLight(D3DXVECTOR3* direction, float specular) {
  D3DLIGHT9 light;
  memset(&light, 0, sizeof light);
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
  light.Specular = D3DCOLORVALUE{specular, specular, specular, 1.0f};
  light.Ambient = D3DCOLORVALUE{0.0f, 0.0f, 0.0f, 1.0f};
  light.Direction = *direction;
  device->SetLight(0, &light);
  device->LightEnable(0, TRUE);
}

void cScreen::SetLinearFog(DWORD colour, float start, float end) {
  DWORD mode;
  if (caps.RasterCaps & D3DPRASTERCAPS_FOGTABLE)
    mode = D3DRS_FOGTABLEMODE;
  else if (caps.RasterCaps & D3DPRASTERCAPS_FOGVERTEX)
    mode = D3DRS_FOGVERTEXMODE;
  else
    return;
  device->SetRenderState(D3DRS_FOGENABLE, TRUE);
  device->SetRenderState(D3DRS_FOGCOLOR, colour);
  device->SetRenderState((D3DRENDERSTATETYPE)mode, D3DFOG_LINEAR);
  device->SetRenderState(D3DRS_FOGSTART, FloatBits(start));
  device->SetRenderState(D3DRS_FOGEND, FloatBits(end));
}

void cScreen::FogDisable() { device->SetRenderState(D3DRS_FOGENABLE, FALSE); }

void cScreen::SetAlphaTest(BOOL on) { device->SetRenderState(D3DRS_ALPHATESTENABLE, on); }

void cScreen::SetDepthBuffer(BOOL on) {
  device->SetRenderState(D3DRS_ZENABLE, !on ? D3DZB_FALSE : (depthMode == 2 ? D3DZB_USEW : D3DZB_TRUE));
}

void cScreen::UseW(BOOL useW) {
  depthMode = useW ? 2 : 1;
  SetDepthBuffer(TRUE);
}

void cScreen::OffStage(DWORD stage) { device->SetTexture(stage, nullptr); }

void cScreen::RestoreTarget() {
  if (savedBackBuffer) device->SetRenderTarget(0, savedBackBuffer);
}

void cScreen::RestoreDepthStencil() { device->SetDepthStencilSurface(savedDepthSurface); }

void cScreen::SetGamma(float g) {
  D3DGAMMARAMP ramp;
  for (int i = 0; i < 256; ++i) {
    float v = (float)i * (1.0f + g * (1.0f - (float)i / 255.0f)) * 256.0f;
    // Strong settings would leave the 16-bit range: hold them at its ends.
    WORD w = v <= 0.0f ? 0 : (v >= 65535.0f ? 65535 : (WORD)v);
    ramp.red[i] = ramp.green[i] = ramp.blue[i] = w;
  }
  device->SetGammaRamp(0, D3DSGR_CALIBRATE, &ramp);
}
