// Device lifetime, the back buffer, presentation, device loss and reset,
// render targets, clearing and resource creation.
#include <stb_image_write.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "gl/gl_device.h"
#include "platform/d3d9_testing.h"
#include "sdl/window.h"

namespace vrxgl {

namespace {

const char* kPresentVertex =
    "#version 130\n"
    "varying vec2 uv;\n"
    "void main() {\n"
    "  uv = vec2(gl_Vertex.x * 0.5 + 0.5, 0.5 - gl_Vertex.y * 0.5);\n"  // row 0 is the top
    "  gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);\n"
    "}\n";

// Fragment programs start with this: the ramp texture holds each entry's
// upper byte, the displayed value, as on hardware with 8-bit output.
const char* kPresentRamp =
    "#version 130\n"
    "uniform sampler2D image;\n"
    "uniform sampler2D ramp;\n"
    "vec4 displayed(vec3 c) {\n"
    "  ivec3 i = ivec3(c * 255.0 + 0.5);\n"
    "  return vec4(texelFetch(ramp, ivec2(i.r, 0), 0).r, texelFetch(ramp, ivec2(i.g, 0), 0).g,\n"
    "              texelFetch(ramp, ivec2(i.b, 0), 0).b, 1.0);\n"
    "}\n";

// A window of another size than the back buffer: filtered scaling.
const char* kPresentScaled =
    "varying vec2 uv;\n"
    "void main() { gl_FragColor = displayed(texture2D(image, uv).rgb); }\n";

// A window of the back buffer's size: each pixel read as it is, which a
// software rasteriser does in about half the time of a filtered read.
const char* kPresentExact =
    "uniform int top;\n"   // the picture's top row in window rows; the back buffer's rows run from the top
    "uniform int left;\n"  // its first column
    "void main() {\n"
    "  ivec2 p = ivec2(gl_FragCoord.xy);\n"
    "  gl_FragColor = displayed(texelFetch(image, ivec2(p.x - left, top - p.y), 0).rgb);\n"
    "}\n";

// The fragment source is kPresentRamp followed by `fragment`.
GLuint CompilePresentProgram(const char* vertex, const char* fragment) {
  GLuint program = glCreateProgram();
  for (int i = 0; i < 2; ++i) {
    GLuint s = glCreateShader(i == 0 ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER);
    const char* fs[2] = {kPresentRamp, fragment};
    if (i == 0)
      glShaderSource(s, 1, &vertex, nullptr);
    else
      glShaderSource(s, 2, fs, nullptr);
    glCompileShader(s);
    glAttachShader(program, s);
    glDeleteShader(s);
  }
  glLinkProgram(program);
  GLint ok = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {0};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    fprintf(stderr, "vrx: presentation shader does not build: %s\n", log);
  }
  return program;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

Device* Device::Create(IDirect3D9* d3d, HWND window, DWORD behaviour, D3DPRESENT_PARAMETERS* params,
                       HRESULT* hr) {
  const AdapterInfo* adapter = GetAdapterInfo();
  if (!adapter) {
    *hr = D3DERR_NOTAVAILABLE;
    return nullptr;
  }
  if (!adapter->usable) {
    fprintf(stderr, "vrx: the OpenGL driver offers version %s; 4.5 (or 3.3 with direct state access and "
            "clip control) is needed\n", adapter->version.c_str());
    *hr = D3DERR_NOTAVAILABLE;
    return nullptr;
  }
  SDL_Window* sdl = SdlWindowFromHwnd(window);
  if (!sdl || !(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL)) {
    *hr = D3DERR_INVALIDCALL;
    return nullptr;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GLContext ctx = SDL_GL_CreateContext(sdl);
  if (!ctx) {
    fprintf(stderr, "vrx: cannot make an OpenGL context: %s\n", SDL_GetError());
    *hr = D3DERR_NOTAVAILABLE;
    return nullptr;
  }
  Device* dev = new Device(d3d, window, sdl, ctx, adapter);
  SDL_GetWindowPosition(sdl, &dev->windowedX_, &dev->windowedY_);
  SDL_GetWindowSize(sdl, &dev->windowedW_, &dev->windowedH_);
  dev->InitGlState();
  D3DPRESENT_PARAMETERS p = *params;
  if (!dev->CreateBackBuffer(p)) {
    dev->Release();
    *hr = D3DERR_INVALIDCALL;
    return nullptr;
  }
  *params = dev->params_;
  dev->ResetState();
  dev->ApplyWindowMode();
  *hr = D3D_OK;
  return dev;
}

Device::Device(IDirect3D9* d3d, HWND window, SDL_Window* sdl, SDL_GLContext ctx, const AdapterInfo* adapter)
    : d3d_(d3d), window_(window), sdl_(sdl), ctx_(ctx), adapter_(adapter) {
  d3d_->AddRef();
  FillCaps(*adapter_, &caps_);
  for (int i = 0; i < 256; ++i) gamma_.red[i] = gamma_.green[i] = gamma_.blue[i] = (WORD)(i * 257);
  SDL_GL_MakeCurrent(sdl_, ctx_);
}

Device::~Device() {
  MakeCurrent();
  for (int i = 0; i < kMaxStages; ++i) SetTexture(i, nullptr);
  SetStreamSource(0, nullptr, 0, 0);
  SetIndices(nullptr);
  SetVertexShader(nullptr);
  ReleaseBackBuffer();
  glDeleteFramebuffers(1, &fbo_);
  glDeleteSamplers(kMaxStages, samplers_);
  glDeleteTextures(1, &blackTexture_);
  glDeleteTextures(1, &gammaTexture_);
  glDeleteBuffers(1, &upBuffer_);
  glDeleteBuffers(1, &upIndexBuffer_);
  glDeleteProgram(presentProgram_);
  glDeleteProgram(presentExactProgram_);
  SetSdlWindowPictureSize(window_, 0, 0);
  SDL_GL_MakeCurrent(sdl_, nullptr);
  SDL_GL_DeleteContext(ctx_);
  d3d_->Release();
}

ULONG Device::AddRef() { return ++refs_; }

ULONG Device::Release() {
  ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

void Device::MakeCurrent() {
  if (SDL_GL_GetCurrentContext() != ctx_) SDL_GL_MakeCurrent(sdl_, ctx_);
}

void Device::InitGlState() {
  MakeCurrent();
  SDL_GL_SetSwapInterval(0);
  glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glFrontFace(GL_CCW);
  glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);  // flat shading takes the first vertex
  glLightModeli(GL_LIGHT_MODEL_COLOR_CONTROL, GL_SEPARATE_SPECULAR_COLOR);
  glHint(GL_FOG_HINT, GL_NICEST);
  glFogi(GL_FOG_COORD_SRC, GL_FRAGMENT_DEPTH);

  glCreateFramebuffers(1, &fbo_);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  glCreateSamplers(kMaxStages, samplers_);

  // Camera-space position generation: eye planes given with an identity
  // modelview are stored as they are, so (s, t, r, q) = (x, y, z, 1) in eye space.
  static const float planes[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (int unit = 0; unit < kMaxStages && unit < adapter_->maxTextureUnits; ++unit) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glTexGenfv(GL_S, GL_EYE_PLANE, planes[0]);
    glTexGenfv(GL_T, GL_EYE_PLANE, planes[1]);
    glTexGenfv(GL_R, GL_EYE_PLANE, planes[2]);
    glTexGenfv(GL_Q, GL_EYE_PLANE, planes[3]);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
  }
  glActiveTexture(GL_TEXTURE0);

  static const uint8_t black[4] = {0, 0, 0, 255};
  glCreateTextures(GL_TEXTURE_2D, 1, &blackTexture_);
  glTextureStorage2D(blackTexture_, 1, GL_RGBA8, 1, 1);
  glTextureSubImage2D(blackTexture_, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, black);

  glCreateBuffers(1, &upBuffer_);
  glCreateBuffers(1, &upIndexBuffer_);

  glCreateTextures(GL_TEXTURE_2D, 1, &gammaTexture_);
  glTextureStorage2D(gammaTexture_, 1, GL_RGBA8, 256, 1);
  glTextureParameteri(gammaTexture_, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
  glTextureParameteri(gammaTexture_, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  presentProgram_ = CompilePresentProgram(kPresentVertex, kPresentScaled);
  presentExactProgram_ = CompilePresentProgram(kPresentVertex, kPresentExact);
  for (GLuint program : {presentProgram_, presentExactProgram_}) {
    glUseProgram(program);
    glUniform1i(glGetUniformLocation(program, "image"), 0);
    glUniform1i(glGetUniformLocation(program, "ramp"), 1);
  }
  presentTopLocation_ = glGetUniformLocation(presentExactProgram_, "top");
  presentLeftLocation_ = glGetUniformLocation(presentExactProgram_, "left");
  glUseProgram(0);
  InvalidateGlCache();
}

// ---------------------------------------------------------------------------
// Back buffer and window

bool Device::CreateBackBuffer(const D3DPRESENT_PARAMETERS& in) {
  D3DPRESENT_PARAMETERS p = in;
  if (p.Windowed) {
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(sdl_, &w, &h);
    if (p.BackBufferWidth == 0) p.BackBufferWidth = (UINT)w;
    if (p.BackBufferHeight == 0) p.BackBufferHeight = (UINT)h;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = D3DFMT_X8R8G8B8;  // the desktop's
  }
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  GlFormat color, depth;
  if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || !IsBackBufferFormat(p.BackBufferFormat) ||
      !LookupGlFormat(p.BackBufferFormat, &color) ||
      (p.EnableAutoDepthStencil && (!LookupGlFormat(p.AutoDepthStencilFormat, &depth) || !depth.depth)))
    return false;
  // As on Direct3D, a back buffer the device cannot hold makes no device (a
  // full-screen window of that size would not even be a valid X window).
  const UINT maxSize = adapter_->maxTextureSize > 0 ? (UINT)adapter_->maxTextureSize : 0;
  if (p.BackBufferWidth > maxSize || p.BackBufferHeight > maxSize) {
    fprintf(stderr, "vrx: a %ux%u back buffer is larger than the device can hold (%u x %u at most)\n",
            p.BackBufferWidth, p.BackBufferHeight, maxSize, maxSize);
    return false;
  }
  // Full screen shows the back buffer at a display mode of its size, or in a
  // window of that size; one larger than every mode of the display would only
  // be a window past the screen's edges holding gigabytes of buffers.
  SDL_DisplayMode largest;
  const int display = SDL_GetWindowDisplayIndex(sdl_);
  if (!p.Windowed && SDL_GetDisplayMode(display < 0 ? 0 : display, 0, &largest) == 0 &&
      (p.BackBufferWidth > (UINT)largest.w || p.BackBufferHeight > (UINT)largest.h)) {
    fprintf(stderr, "vrx: a %ux%u screen is larger than the display's largest mode (%dx%d)\n", p.BackBufferWidth,
            p.BackBufferHeight, largest.w, largest.h);
    return false;
  }

  MakeCurrent();
  GLuint tex = 0;
  glCreateTextures(GL_TEXTURE_2D, 1, &tex);
  glTextureStorage2D(tex, 1, color.internal, (GLsizei)p.BackBufferWidth, (GLsizei)p.BackBufferHeight);
  glTextureParameteri(tex, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTextureParameteri(tex, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTextureParameteri(tex, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTextureParameteri(tex, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  D3DSURFACE_DESC desc{p.BackBufferFormat, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                       D3DMULTISAMPLE_NONE, 0, p.BackBufferWidth, p.BackBufferHeight};
  backBuffer_ = new OwnedSurface(this, D3DPOOL_DEFAULT, true, desc, color, tex, 0);
  static const float black[4] = {0, 0, 0, 1};
  glClearTexImage(tex, 0, GL_RGBA, GL_FLOAT, black);

  if (p.EnableAutoDepthStencil) {
    GLuint rb = 0;
    glCreateRenderbuffers(1, &rb);
    glNamedRenderbufferStorage(rb, depth.internal, (GLsizei)p.BackBufferWidth, (GLsizei)p.BackBufferHeight);
    D3DSURFACE_DESC d{p.AutoDepthStencilFormat, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                      D3DMULTISAMPLE_NONE, 0, p.BackBufferWidth, p.BackBufferHeight};
    autoDepth_ = new OwnedSurface(this, D3DPOOL_DEFAULT, true, d, depth, 0, rb);
  }
  target_ = backBuffer_->Get();
  backBuffer_->Bind();
  depth_ = nullptr;
  if (autoDepth_) {
    depth_ = autoDepth_->Get();
    autoDepth_->Bind();
  }
  params_ = p;
  dirty_ |= kDirtyTarget | kDirtyViewport | kDirtyProjection;
  return true;
}

void Device::ReleaseBackBuffer() {
  if (target_) target_->Owner()->Unbind();
  if (depth_) depth_->Owner()->Unbind();
  target_ = depth_ = nullptr;
  delete backBuffer_;
  delete autoDepth_;
  backBuffer_ = autoDepth_ = nullptr;
}

void Device::ApplyWindowMode() {
  // Full screen switches the display to the back buffer's size, so that the
  // client area is the back buffer as on Direct3D. A display without that
  // mode gets a window of the back buffer's size instead: the game lays out
  // its 2D drawing and reads the cursor in client pixels.
  if (SDL_GetWindowFlags(sdl_) & SDL_WINDOW_FULLSCREEN) SDL_SetWindowFullscreen(sdl_, 0);
  // A window may take any size: the picture keeps its aspect inside it,
  // and the program still sees a client area of the back buffer's size.
  SDL_SetWindowResizable(sdl_, params_.Windowed ? SDL_TRUE : SDL_FALSE);
  SetSdlWindowPictureSize(window_, (int)params_.BackBufferWidth, (int)params_.BackBufferHeight);
  if (!params_.Windowed) {
    int w = (int)params_.BackBufferWidth, h = (int)params_.BackBufferHeight;
    SDL_SetWindowSize(sdl_, w, h);
    SDL_DisplayMode want{SDL_PIXELFORMAT_UNKNOWN, w, h, 0, nullptr}, got;
    int display = SDL_GetWindowDisplayIndex(sdl_);
    if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &want, &got) && got.w == w && got.h == h &&
        SDL_SetWindowDisplayMode(sdl_, &got) == 0)
      SDL_SetWindowFullscreen(sdl_, SDL_WINDOW_FULLSCREEN);
  }
  SDL_GL_SetSwapInterval(params_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
}

HRESULT Device::SetWindowed(bool windowed) {
  if ((params_.Windowed != FALSE) == windowed) return D3D_OK;
  // As at creation: no full screen larger than every mode of the display.
  SDL_DisplayMode largest;
  const int display = SDL_GetWindowDisplayIndex(sdl_);
  if (!windowed && SDL_GetDisplayMode(display < 0 ? 0 : display, 0, &largest) == 0 &&
      (params_.BackBufferWidth > (UINT)largest.w || params_.BackBufferHeight > (UINT)largest.h)) {
    fprintf(stderr, "vrx: a %ux%u screen is larger than the display's largest mode (%dx%d); staying in a window\n",
            params_.BackBufferWidth, params_.BackBufferHeight, largest.w, largest.h);
    return D3DERR_INVALIDCALL;
  }
  if (!windowed) {
    SDL_GetWindowPosition(sdl_, &windowedX_, &windowedY_);
    SDL_GetWindowSize(sdl_, &windowedW_, &windowedH_);
  }
  params_.Windowed = windowed ? TRUE : FALSE;
  ApplyWindowMode();
  if (windowed && windowedW_ > 0 && windowedH_ > 0) {
    SDL_SetWindowSize(sdl_, windowedW_, windowedH_);
    SDL_SetWindowPosition(sdl_, windowedX_, windowedY_);
  }
  return D3D_OK;
}

bool Device::WindowGone() const {
  return !params_.Windowed && (SdlWindowIsMinimized(window_) || SdlWindowIsHidden(window_));
}

// ---------------------------------------------------------------------------
// Device loss and reset

HRESULT Device::TestCooperativeLevel() {
  if (WindowGone()) {
    lost_ = true;
    return D3DERR_DEVICELOST;
  }
  if (lost_) {
    if (forcedLostReports_ > 0) {
      --forcedLostReports_;
      return D3DERR_DEVICELOST;
    }
    return D3DERR_DEVICENOTRESET;
  }
  return D3D_OK;
}

void Device::ForceLoss() {
  lost_ = true;
  forcedLostReports_ = 1;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* pPresentationParameters) {
  if (!pPresentationParameters) return D3DERR_INVALIDCALL;
  MakeCurrent();
  if (WindowGone()) {
    lost_ = true;
    return D3DERR_DEVICELOST;
  }
  forcedLostReports_ = 0;
  // As in Direct3D, a refused reset leaves the device waiting for a reset.
  if (defaultPoolHeld_ > 0) {
    lost_ = true;
    return D3DERR_INVALIDCALL;
  }
  for (int i = 0; i < kMaxStages; ++i) SetTexture(i, nullptr);
  SetStreamSource(0, nullptr, 0, 0);
  SetIndices(nullptr);
  SetVertexShader(nullptr);
  D3DPRESENT_PARAMETERS old = params_;
  ReleaseBackBuffer();
  if (!CreateBackBuffer(*pPresentationParameters) && !CreateBackBuffer(old)) {
    lost_ = true;
    return D3DERR_INVALIDCALL;
  }
  *pPresentationParameters = params_;
  ResetState();
  ApplyWindowMode();
  lost_ = false;
  return D3D_OK;
}

void Device::ResetState() {
  memset(rs_, 0, sizeof rs_);
  auto f = [](float v) {
    DWORD d;
    memcpy(&d, &v, 4);
    return d;
  };
  rs_[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
  rs_[D3DRS_FILLMODE] = D3DFILL_SOLID;
  rs_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
  rs_[D3DRS_ZWRITEENABLE] = TRUE;
  rs_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
  rs_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
  rs_[D3DRS_CULLMODE] = D3DCULL_CCW;
  rs_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
  rs_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
  rs_[D3DRS_FOGEND] = f(1.0f);
  rs_[D3DRS_FOGDENSITY] = f(1.0f);
  rs_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
  rs_[D3DRS_LIGHTING] = TRUE;
  rs_[D3DRS_COLORVERTEX] = TRUE;
  rs_[D3DRS_LOCALVIEWER] = TRUE;
  rs_[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR1;
  rs_[D3DRS_SPECULARMATERIALSOURCE] = D3DMCS_COLOR2;
  rs_[D3DRS_COLORWRITEENABLE] = 0xF;
  rs_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
  rs_[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
  for (int s = 0; s < kMaxStages; ++s) {
    memset(tss_[s], 0, sizeof tss_[s]);
    tss_[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
    tss_[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    tss_[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
    tss_[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
    tss_[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    tss_[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    tss_[s][D3DTSS_TEXCOORDINDEX] = (DWORD)s;
    memset(samp_[s], 0, sizeof samp_[s]);
    samp_[s][D3DSAMP_ADDRESSU] = samp_[s][D3DSAMP_ADDRESSV] = samp_[s][D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    samp_[s][D3DSAMP_MAGFILTER] = samp_[s][D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    samp_[s][D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    samp_[s][D3DSAMP_MAXANISOTROPY] = 1;
    D3DXMatrixIdentity(static_cast<D3DXMATRIX*>(&texm_[s]));
  }
  D3DXMatrixIdentity(static_cast<D3DXMATRIX*>(&world_));
  D3DXMatrixIdentity(static_cast<D3DXMATRIX*>(&view_));
  D3DXMatrixIdentity(static_cast<D3DXMATRIX*>(&proj_));
  viewport_ = D3DVIEWPORT9{0, 0, target_->Desc().Width, target_->Desc().Height, 0.0f, 1.0f};
  scissor_ = RECT{0, 0, (LONG)target_->Desc().Width, (LONG)target_->Desc().Height};
  memset(&material_, 0, sizeof material_);
  lights_.clear();
  fvf_ = 0;
  arraysDirty_ = true;
  memset(constants_, 0, sizeof constants_);
  constantsDirty_ = true;
  inScene_ = false;
  reversedDepth_ = false;
  dirty_ = kDirtyAll;
  dirtySamplers_ = ~0u;
}

// ---------------------------------------------------------------------------
// Presentation

HRESULT Device::Present(const RECT*, const RECT*, HWND, const void*) {
  MakeCurrent();
  if (lost_ || WindowGone()) {
    lost_ = true;
    return D3DERR_DEVICELOST;
  }
  PresentToWindow();
  return D3D_OK;
}

void Device::PresentToWindow() {
  if (gammaDirty_) {
    uint8_t rgba[256 * 4];
    for (int i = 0; i < 256; ++i) {
      rgba[i * 4] = (uint8_t)(gamma_.red[i] >> 8);
      rgba[i * 4 + 1] = (uint8_t)(gamma_.green[i] >> 8);
      rgba[i * 4 + 2] = (uint8_t)(gamma_.blue[i] >> 8);
      rgba[i * 4 + 3] = 255;
    }
    glTextureSubImage2D(gammaTexture_, 0, 0, 0, 256, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    gammaDirty_ = false;
  }
  int w = 0, h = 0;
  SDL_GL_GetDrawableSize(sdl_, &w, &h);
  const D3DSURFACE_DESC& back = backBuffer_->Get()->Desc();
  // The picture keeps its aspect: scaled to fit, centred, black bars where
  // the window's shape differs.
  const PictureRect r = FitPicture(w, h, (int)back.Width, (int)back.Height);
  const bool exact = (UINT)r.w == back.Width && (UINT)r.h == back.Height;
  const bool bars = r.w != w || r.h != h;
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  for (GLenum cap : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_SCISSOR_TEST, GL_FOG,
                     GL_STENCIL_TEST})
    glDisable(cap);
  glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  if (bars) {
    glViewport(0, 0, w, h);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  const int bottom = h - r.y - r.h;  // OpenGL counts rows from the bottom
  glViewport(r.x, bottom, r.w, r.h);
  glDepthRange(0.0, 1.0);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glUseProgram(exact ? presentExactProgram_ : presentProgram_);
  if (exact) {
    glUniform1i(presentTopLocation_, bottom + r.h - 1);
    glUniform1i(presentLeftLocation_, r.x);
  }
  glActiveTexture(GL_TEXTURE0);
  glBindSampler(0, 0);
  glBindTexture(GL_TEXTURE_2D, backBuffer_->Get()->Texture());
  glActiveTexture(GL_TEXTURE1);
  glBindSampler(1, 0);
  glBindTexture(GL_TEXTURE_2D, gammaTexture_);
  glBegin(GL_TRIANGLE_STRIP);
  glVertex2f(-1, -1);
  glVertex2f(1, -1);
  glVertex2f(-1, 1);
  glVertex2f(1, 1);
  glEnd();
  SDL_GL_SwapWindow(sdl_);
  glUseProgram(0);
  glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
  InvalidateGlCache();
}

HRESULT Device::SaveScreenshot(const char* path) {
  MakeCurrent();
  const D3DSURFACE_DESC& d = backBuffer_->Get()->Desc();
  std::vector<uint8_t> bgra((size_t)d.Width * d.Height * 4);
  glGetTextureImage(backBuffer_->Get()->Texture(), 0, GL_BGRA, GL_UNSIGNED_BYTE, (GLsizei)bgra.size(),
                    bgra.data());
  std::vector<uint8_t> rgb((size_t)d.Width * d.Height * 3);
  for (size_t i = 0; i < (size_t)d.Width * d.Height; ++i) {
    rgb[i * 3] = (uint8_t)(gamma_.red[bgra[i * 4 + 2]] >> 8);
    rgb[i * 3 + 1] = (uint8_t)(gamma_.green[bgra[i * 4 + 1]] >> 8);
    rgb[i * 3 + 2] = (uint8_t)(gamma_.blue[bgra[i * 4]] >> 8);
  }
  if (!stbi_write_png(path, (int)d.Width, (int)d.Height, 3, rgb.data(), (int)d.Width * 3)) {
    fprintf(stderr, "vrx: cannot write %s\n", path);
    return D3DERR_INVALIDCALL;
  }
  return D3D_OK;
}

HRESULT Device::GetBackBuffer(UINT iSwapChain, UINT iBackBuffer, D3DBACKBUFFER_TYPE, IDirect3DSurface9** pp) {
  if (iSwapChain != 0 || iBackBuffer != 0 || !pp) return D3DERR_INVALIDCALL;
  *pp = backBuffer_->Get();
  (*pp)->AddRef();
  return D3D_OK;
}

void Device::SetGammaRamp(UINT, DWORD, const D3DGAMMARAMP* pRamp) {
  if (!pRamp) return;
  gamma_ = *pRamp;
  gammaDirty_ = true;
}

void Device::GetGammaRamp(UINT, D3DGAMMARAMP* pRamp) {
  if (pRamp) *pRamp = gamma_;
}

HRESULT Device::GetDirect3D(IDirect3D9** pp) {
  if (!pp) return D3DERR_INVALIDCALL;
  d3d_->AddRef();
  *pp = d3d_;
  return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* pCaps) {
  if (!pCaps) return D3DERR_INVALIDCALL;
  *pCaps = caps_;
  return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT iSwapChain, D3DDISPLAYMODE* pMode) {
  if (iSwapChain != 0 || !pMode) return D3DERR_INVALIDCALL;
  if (!params_.Windowed) {
    *pMode = D3DDISPLAYMODE{params_.BackBufferWidth, params_.BackBufferHeight, params_.FullScreen_RefreshRateInHz,
                            params_.BackBufferFormat};
    return D3D_OK;
  }
  SDL_DisplayMode m;
  if (SDL_GetDesktopDisplayMode(0, &m) != 0) return D3DERR_INVALIDCALL;
  *pMode = D3DDISPLAYMODE{(UINT)m.w, (UINT)m.h, (UINT)m.refresh_rate, D3DFMT_X8R8G8B8};
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// Resources

HRESULT Device::CreateTexture(UINT Width, UINT Height, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                              IDirect3DTexture9** ppTexture, HANDLE*) {
  if (!ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = nullptr;
  GlFormat gl;
  bool target = (Usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL)) != 0;
  if (Width == 0 || Height == 0 || Width > (UINT)adapter_->maxTextureSize ||
      Height > (UINT)adapter_->maxTextureSize || !LookupGlFormat(Format, &gl) || (target && Pool != D3DPOOL_DEFAULT))
    return D3DERR_INVALIDCALL;
  if (((Usage & D3DUSAGE_RENDERTARGET) && !IsRenderTargetFormat(Format)) ||
      ((Usage & D3DUSAGE_DEPTHSTENCIL) && !gl.depth) || (!(Usage & D3DUSAGE_DEPTHSTENCIL) && gl.depth) ||
      (gl.compressed && !adapter_->s3tc))
    return D3DERR_INVALIDCALL;
  MakeCurrent();
  Texture* t = new Texture(this, Pool);
  if (!t->Create(Width, Height, target ? 1 : Levels, Usage, Format, gl)) {
    t->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppTexture = t;
  return D3D_OK;
}

HRESULT Device::CreateCubeTexture(UINT EdgeLength, UINT Levels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DCubeTexture9** ppCubeTexture, HANDLE*) {
  if (!ppCubeTexture) return D3DERR_INVALIDCALL;
  *ppCubeTexture = nullptr;
  GlFormat gl;
  bool target = (Usage & D3DUSAGE_RENDERTARGET) != 0;
  if (EdgeLength == 0 || EdgeLength > (UINT)adapter_->maxTextureSize || !LookupGlFormat(Format, &gl) || gl.depth ||
      (target && (Pool != D3DPOOL_DEFAULT || !IsRenderTargetFormat(Format))) || (gl.compressed && !adapter_->s3tc))
    return D3DERR_INVALIDCALL;
  MakeCurrent();
  CubeTexture* t = new CubeTexture(this, Pool);
  if (!t->Create(EdgeLength, EdgeLength, target ? 1 : Levels, Usage, Format, gl)) {
    t->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppCubeTexture = t;
  return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT Length, DWORD Usage, DWORD FVF, D3DPOOL Pool,
                                   IDirect3DVertexBuffer9** ppVertexBuffer, HANDLE*) {
  if (!ppVertexBuffer) return D3DERR_INVALIDCALL;
  *ppVertexBuffer = nullptr;
  if (Length == 0) return D3DERR_INVALIDCALL;
  VertexBuffer* b = new VertexBuffer(this, Pool, Usage, FVF);
  if (!b->Create(Length, (Usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW)) {
    b->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppVertexBuffer = b;
  return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT Length, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                  IDirect3DIndexBuffer9** ppIndexBuffer, HANDLE*) {
  if (!ppIndexBuffer) return D3DERR_INVALIDCALL;
  *ppIndexBuffer = nullptr;
  if (Length == 0 || (Format != D3DFMT_INDEX16 && Format != D3DFMT_INDEX32)) return D3DERR_INVALIDCALL;
  IndexBuffer* b = new IndexBuffer(this, Pool, Usage, Format);
  if (!b->Create(Length, (Usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW)) {
    b->Release();
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  *ppIndexBuffer = b;
  return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT Width, UINT Height, D3DFORMAT Format, D3DMULTISAMPLE_TYPE, DWORD,
                                          BOOL, IDirect3DSurface9** ppSurface, HANDLE*) {
  if (!ppSurface) return D3DERR_INVALIDCALL;
  *ppSurface = nullptr;
  GlFormat gl;
  if (Width == 0 || Height == 0 || !LookupGlFormat(Format, &gl) || !gl.depth) return D3DERR_INVALIDCALL;
  MakeCurrent();
  while (glGetError() != GL_NO_ERROR) {
  }
  GLuint rb = 0;
  glCreateRenderbuffers(1, &rb);
  glNamedRenderbufferStorage(rb, gl.internal, (GLsizei)Width, (GLsizei)Height);
  if (glGetError() != GL_NO_ERROR) {
    glDeleteRenderbuffers(1, &rb);
    return D3DERR_OUTOFVIDEOMEMORY;
  }
  D3DSURFACE_DESC d{Format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT, D3DMULTISAMPLE_NONE, 0,
                    Width, Height};
  *ppSurface = (new OwnedSurface(this, D3DPOOL_DEFAULT, false, d, gl, 0, rb))->Get();
  return D3D_OK;
}

HRESULT Device::CreateVertexShader(const DWORD* pFunction, IDirect3DVertexShader9** ppShader) {
  if (!pFunction || !ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  VertexShader* s = new VertexShader(this);
  if (!s->Build(reinterpret_cast<const char*>(pFunction))) {
    s->Release();
    return D3DERR_INVALIDCALL;
  }
  *ppShader = s;
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// Targets

HRESULT Device::SetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9* pRenderTarget) {
  if (RenderTargetIndex != 0 || !pRenderTarget) return D3DERR_INVALIDCALL;
  Surface* s = static_cast<Surface*>(pRenderTarget);
  if (!(s->Desc().Usage & D3DUSAGE_RENDERTARGET)) return D3DERR_INVALIDCALL;
  s->Owner()->Bind();
  if (target_) target_->Owner()->Unbind();
  target_ = s;
  viewport_ = D3DVIEWPORT9{0, 0, s->Desc().Width, s->Desc().Height, 0.0f, 1.0f};
  scissor_ = RECT{0, 0, (LONG)s->Desc().Width, (LONG)s->Desc().Height};
  dirty_ |= kDirtyTarget | kDirtyViewport | kDirtyProjection | kDirtyMisc;
  return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD RenderTargetIndex, IDirect3DSurface9** pp) {
  if (RenderTargetIndex != 0 || !pp) return D3DERR_INVALIDCALL;
  *pp = target_;
  if (!target_) return D3DERR_NOTFOUND;
  target_->AddRef();
  return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* pNewZStencil) {
  Surface* s = static_cast<Surface*>(pNewZStencil);
  if (s && !s->Gl().depth) return D3DERR_INVALIDCALL;
  if (s) s->Owner()->Bind();
  if (depth_) depth_->Owner()->Unbind();
  depth_ = s;
  dirty_ |= kDirtyTarget | kDirtyDepth;
  return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** pp) {
  if (!pp) return D3DERR_INVALIDCALL;
  *pp = depth_;
  if (!depth_) return D3DERR_NOTFOUND;
  depth_->AddRef();
  return D3D_OK;
}

HRESULT Device::BeginScene() {
  if (inScene_) return D3DERR_INVALIDCALL;
  inScene_ = true;
  return D3D_OK;
}

HRESULT Device::EndScene() {
  if (!inScene_) return D3DERR_INVALIDCALL;
  inScene_ = false;
  return D3D_OK;
}

HRESULT Device::Clear(DWORD Count, const D3DRECT* pRects, DWORD Flags, D3DCOLOR Color, float Z, DWORD Stencil) {
  if ((Flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depth_) return D3DERR_INVALIDCALL;
  if ((Flags & D3DCLEAR_STENCIL) && !depth_->Gl().stencil) return D3DERR_INVALIDCALL;
  MakeCurrent();
  if (dirty_ & kDirtyTarget) {
    ApplyTarget();
    dirty_ &= ~kDirtyTarget;
  }
  GLbitfield mask = 0;
  if (Flags & D3DCLEAR_TARGET) {
    glClearColor(((Color >> 16) & 0xFF) / 255.0f, ((Color >> 8) & 0xFF) / 255.0f, (Color & 0xFF) / 255.0f,
                 (Color >> 24) / 255.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl_.colorMask = 0xF;
    mask |= GL_COLOR_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_ZBUFFER) {
    float z = Z < 0.0f ? 0.0f : (Z > 1.0f ? 1.0f : Z);
    glClearDepth(UpdateDepthConvention() ? 1.0 - z : z);
    glDepthMask(GL_TRUE);
    gl_.depthMask = GL_TRUE;
    mask |= GL_DEPTH_BUFFER_BIT;
  }
  if (Flags & D3DCLEAR_STENCIL) {
    glClearStencil((GLint)Stencil);
    glStencilMask(0xFF);
    mask |= GL_STENCIL_BUFFER_BIT;
  }
  if (!mask) return D3D_OK;
  // Direct3D clears the viewport (and the given rectangles within it) only.
  glEnable(GL_SCISSOR_TEST);
  gl_.scissor = true;
  LONG vx1 = (LONG)viewport_.X, vy1 = (LONG)viewport_.Y;
  LONG vx2 = vx1 + (LONG)viewport_.Width, vy2 = vy1 + (LONG)viewport_.Height;
  auto clearRect = [&](LONG x1, LONG y1, LONG x2, LONG y2) {
    x1 = x1 > vx1 ? x1 : vx1;
    y1 = y1 > vy1 ? y1 : vy1;
    x2 = x2 < vx2 ? x2 : vx2;
    y2 = y2 < vy2 ? y2 : vy2;
    if (x1 >= x2 || y1 >= y2) return;
    glScissor(x1, y1, x2 - x1, y2 - y1);
    glClear(mask);
  };
  if (Count && pRects) {
    for (DWORD i = 0; i < Count; ++i) clearRect(pRects[i].x1, pRects[i].y1, pRects[i].x2, pRects[i].y2);
  } else {
    clearRect(vx1, vy1, vx2, vy2);
  }
  dirty_ |= kDirtyMisc | kDirtyDepth;
  return D3D_OK;
}

void Device::ForgetTexture(GLuint name) {
  for (Unit& u : gl_.units) {
    if (u.bound2D == name) u.bound2D = ~0u;
    if (u.boundCube == name) u.boundCube = ~0u;
  }
  if (gl_.colorTex == name) gl_.colorTex = ~0u;
  if (gl_.depthTex == name || gl_.depthRb == name) gl_.depthTex = gl_.depthRb = ~0u;
}

void Device::ForgetBuffer(GLuint name) {
  if (gl_.arrayBuffer == name) gl_.arrayBuffer = ~0u;
  if (gl_.elementBuffer == name) gl_.elementBuffer = ~0u;
  if (gl_.ptrBuffer == name) gl_.ptrKnown = false;
}

void Device::ForgetProgram(GLuint name) {
  if (gl_.program == name) gl_.program = ~0u;
}

}  // namespace vrxgl

HRESULT VrxSetWindowed(IDirect3DDevice9* device, BOOL windowed) {
  if (!device) return D3DERR_INVALIDCALL;
  return vrxgl::DeviceFromInterface(device)->SetWindowed(windowed != FALSE);
}

HRESULT VrxSaveScreenshot(IDirect3DDevice9* device, const char* pngPath) {
  if (!device || !pngPath) return D3DERR_INVALIDCALL;
  return vrxgl::DeviceFromInterface(device)->SaveScreenshot(pngPath);
}

namespace vrxtesting {

void ForceDeviceLoss(IDirect3DDevice9* device) {
  if (device) vrxgl::DeviceFromInterface(device)->ForceLoss();
}

GUID AdapterGuidFor(const char* vendor, const char* renderer, const char* version) {
  return vrxgl::AdapterGuid(vendor, renderer, version);
}

}  // namespace vrxtesting
