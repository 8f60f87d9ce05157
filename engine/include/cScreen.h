// The drawing device of the whole system: creates the Direct3D 9 device on the
// game window, keeps the fixed device state every drawing class assumes, and
// holds the slot tables of vertex buffers, index buffers and vertex shaders
// that engine objects address by slot number (0..255, masked to 8 bits).
// It also keeps the camera, world and projection matrices and the view
// planes used for culling.
//
// Fixed device state (after Init3D and after every Restore): stage 0 linear
// filtering with mip-map LOD bias -1.5; alpha blending (source alpha /
// inverse source alpha); alpha test on, reference 15, greater-or-equal;
// material diffuse and ambient (1, 1, 1, 0.5), specular 0.5, power 20;
// ambient 0xFF404040; lighting off; world identity; stage 1 (and stage 2 when
// more than two textures can be used) blending the texture by its alpha over
// the current colour, clamped, stage 1 with coordinates from the camera-space
// position; depth test in the current depth mode.
#pragma once

#include "platform/d3d9.h"
#include "platform/d3dx9.h"
#include "platform/d3dx9sprite.h"

// One culling plane in camera space: a x + b y + c z + d, the normal pointing
// out of the view, and the length of (a, b, c).
struct _VIEWPLANE {
  float a, b, c, d;
  float length;
};

// The six planes of the view: near, far, side 1, side 2, top, bottom.
struct _VIEWPLANES {
  _VIEWPLANE plane[6];
};
static_assert(sizeof(_VIEWPLANES) == 120, "_VIEWPLANES is six planes of five floats");

class cScreen {
 public:
  cScreen();
  // Does nothing: the device goes in CleanUp.
  virtual ~cScreen();
  cScreen(const cScreen&) = delete;
  cScreen& operator=(const cScreen&) = delete;

  // flags: 2 full screen; in full screen 1 = 32-bit back buffer (else 16-bit)
  // and 4 = depth buffer; windowed, 1 = depth buffer. useW: w-buffer mode.
  // 1 on success, 0 on failure.
  int Init3D(HWND window, DWORD width, DWORD height, DWORD flags, BOOL useW);
  // Releases every slot, the sprite, the device and the Direct3D object.
  void CleanUp();
  // Recovers a lost device; 0 while the reset is not possible yet.
  int Restore();
  // Presents the back buffer; 1 on success.
  int Flip();
  // Between a window and full screen while the device lives on: nothing is
  // released or reset, and a later Restore keeps the mode chosen here.
  // 1 on success.
  int SetWindowed(BOOL windowed);
  int IsWindowed() const { return presentParameters.Windowed ? 1 : 0; }

  IDirect3DDevice9* GetDevicePointer() const { return device; }
  // The shared sprite object; null when none could be made.
  ID3DXSprite* GetSpritePointer() const { return sprite; }
  HWND GetWindowHandle() const { return window; }
  D3DCAPS9 GetDevCaps() const { return caps; }
  D3DFORMAT GetFormat() const { return backBufferFormat; }
  D3DFORMAT GetDepthFormat() const { return depthFormat; }
  // 1 when a render-target texture of that format works on the back buffer format.
  int IsRenderTargetFormatExisting(D3DFORMAT format);
  // Client area width and height in pixels, read from the window each call.
  D3DXVECTOR2 GetPixelSize();

  // Vertex and index buffers, all in the managed pool. 1 on success, 0 on failure.
  int CreateVertexBuffer(BYTE slot, DWORD fvf, void* data, DWORD bytes, DWORD stride);
  int WriteVertexBuffer(BYTE slot, void* data, DWORD first, DWORD count);
  int ReadVertexBuffer(BYTE slot, void* data, DWORD first, DWORD count);
  int LockVertexBuffer(DWORD slot, void** data);
  int UnLockVertexBuffer(DWORD slot);
  void DeleteVertexBuffer(BYTE slot);
  int GetFirstUnusedVertexBuffer();
  // Stream 0 with a 44-byte stride and format 0x252; any other slot format: nothing.
  void SetVertexBuffer(BYTE slot);
  void SetVertexFormat(DWORD fvf);
  int DrawVertexBuffer(BYTE slot, DWORD startVertex, D3DPRIMITIVETYPE type, DWORD primitiveCount);
  int CreateIndexBuffer(BYTE slot, D3DFORMAT format, void* data, DWORD bytes, DWORD count);
  void DeleteIndexBuffer(DWORD slot);
  int GetFirstUnusedIndexBuffer();
  // `start` is both the base vertex and the first index; 3 x count vertices.
  int DrawIndexedVertexBuffer(BYTE indexSlot, BYTE vertexSlot, DWORD start, D3DPRIMITIVETYPE type,
                              DWORD primitiveCount);

  // Vertex shaders (GLSL source files, see D3DXAssembleShaderFromFileA).
  // Constant registers: 0-3 transposed world, 4-7 transposed camera, 8-11
  // transposed projection, 12 the negated shader light vector turned by the
  // inverse world matrix, w = 1.
  int CreateVertexShader(BYTE slot, const char* file, DWORD reserved);
  void SetVertexShader(BYTE slot);
  void SetFixedVertexShader();
  void DeleteVertexShader(BYTE slot);
  int GetFirstUnusedVertexShader();
  void SetVertexShaderConst(float* values, DWORD firstRegister, DWORD registerCount);
  void SetTransformedVertexShaderConst(D3DXVECTOR3* v);

  // Camera and transforms.
  void SetTransformMatrix(float aspect, float orthoWidth, float nearDist, float farDist, BOOL ortho);
  void SetCamera(D3DXVECTOR3 position, D3DXVECTOR3 target, D3DXVECTOR3 up);
  void SetWorldMatrix(D3DXMATRIX* m);
  D3DXVECTOR3 GetCameraPos() const { return cameraPosition; }
  D3DXVECTOR3 GetCameraTarget() const { return cameraTarget; }
  D3DXMATRIX GetCameraMtx() const { return camera; }
  D3DXMATRIX GetInverseCameraMtx() const { return inverseCamera; }
  D3DXMATRIX GetWorldMtx() const { return world; }
  D3DXMATRIX GetTransformMtx() const { return projection; }
  float GetViewDist() const { return viewDistance; }
  float GetViewStart() const { return viewStart; }
  // (horizontal, vertical), radians.
  D3DXVECTOR2 GetFOV() const { return D3DXVECTOR2(horizontalFov, verticalFov); }
  _VIEWPLANES GetViewPlanes() const { return viewPlanes; }
  // (x, y) as fractions of the client area, z the projected depth.
  D3DXVECTOR3 GetScreenCoords(D3DXVECTOR3* p);

  // State switches.
  int ClearScreen();
  int ClearScreen(DWORD colour);
  void SetLighting(BOOL on);
  void SetLight(BOOL on);
  void AddDirectionalLight(D3DXVECTOR3* direction, float specular);
  void SetLinearFog(DWORD colour, float start, float end);
  void FogDisable();
  void SetAlphaTest(BOOL on);
  void SetDepthBuffer(BOOL on);
  void UseW(BOOL useW);
  int IsW() const { return depthMode == 2 ? 1 : 0; }
  void OffStage(DWORD stage);
  void RestoreTarget();
  void RestoreDepthStencil();
  void SetGamma(float g);

 private:
  void ApplyFixedState();
  void CalcViewPlanes();
  void UploadShaderConstants();

  HWND window;
  IDirect3DVertexShader9* vertexShaders[256];
  IDirect3D9* direct3D;
  IDirect3DDevice9* device;
  int hardwareVertexProcessing;
  IDirect3DVertexBuffer9* vertexBuffers[256];
  IDirect3DIndexBuffer9* indexBuffers[256];
  DWORD vertexFormat[256];
  DWORD vertexStride[256];
  DWORD indexFormat[256];
  DWORD indexCount[256];
  DWORD vertexCount[256];
  int depthMode;
  ID3DXSprite* sprite;
  D3DXVECTOR3 cameraPosition, cameraTarget;
  D3DXVECTOR3 shaderLight;
  float viewDistance;
  float viewStart;
  D3DXMATRIX world, camera, inverseCamera, projection;
  IDirect3DSurface9* savedBackBuffer;
  IDirect3DSurface9* savedDepthSurface;
  int shaderActive;
  D3DPRESENT_PARAMETERS presentParameters;
  D3DCAPS9 caps;
  D3DFORMAT backBufferFormat, depthFormat;
  float horizontalFov, verticalFov;
  _VIEWPLANES viewPlanes;
};
