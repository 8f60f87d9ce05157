// Device state: the Set*/Get* calls that record Direct3D state, and the
// flush that turns changed state into OpenGL calls.
#include <algorithm>
#include <cstring>

#include "gl/gl_device.h"

namespace vrxgl {

namespace {

float AsFloat(DWORD d) {
  float f;
  memcpy(&f, &d, 4);
  return f;
}

void ColorToFloats(DWORD c, float out[4]) {
  out[0] = ((c >> 16) & 0xFF) / 255.0f;
  out[1] = ((c >> 8) & 0xFF) / 255.0f;
  out[2] = (c & 0xFF) / 255.0f;
  out[3] = (c >> 24) / 255.0f;
}

uint32_t DirtyForRenderState(DWORD state) {
  switch (state) {
    case D3DRS_ZENABLE:
    case D3DRS_ZWRITEENABLE:
    case D3DRS_ZFUNC:
      return kDirtyDepth;
    case D3DRS_ALPHABLENDENABLE:
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
    case D3DRS_BLENDFACTOR:
      return kDirtyBlend;
    case D3DRS_ALPHATESTENABLE:
    case D3DRS_ALPHAREF:
    case D3DRS_ALPHAFUNC:
      return kDirtyAlphaTest;
    case D3DRS_CULLMODE:
      return kDirtyCull;
    case D3DRS_FILLMODE:
    case D3DRS_SHADEMODE:
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_SCISSORTESTENABLE:
    case D3DRS_DITHERENABLE:
      return kDirtyMisc;
    case D3DRS_FOGENABLE:
    case D3DRS_FOGCOLOR:
    case D3DRS_FOGTABLEMODE:
    case D3DRS_FOGSTART:
    case D3DRS_FOGEND:
    case D3DRS_FOGDENSITY:
    case D3DRS_FOGVERTEXMODE:
    case D3DRS_RANGEFOGENABLE:
      return kDirtyFog;
    case D3DRS_LIGHTING:
    case D3DRS_AMBIENT:
    case D3DRS_SPECULARENABLE:
    case D3DRS_NORMALIZENORMALS:
    case D3DRS_COLORVERTEX:
    case D3DRS_LOCALVIEWER:
    case D3DRS_DIFFUSEMATERIALSOURCE:
    case D3DRS_SPECULARMATERIALSOURCE:
    case D3DRS_AMBIENTMATERIALSOURCE:
    case D3DRS_EMISSIVEMATERIALSOURCE:
      return kDirtyLighting;
    case D3DRS_TEXTUREFACTOR:
      return kDirtyStages;
    default:
      return 0;
  }
}

GLenum CompareFunc(DWORD f, bool mirrored) {
  switch (f) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return mirrored ? GL_GREATER : GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return mirrored ? GL_GEQUAL : GL_LEQUAL;
    case D3DCMP_GREATER: return mirrored ? GL_LESS : GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return mirrored ? GL_LEQUAL : GL_GEQUAL;
    default: return GL_ALWAYS;
  }
}

GLenum BlendFactor(DWORD b) {
  switch (b) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return GL_ONE;
  }
}

GLenum BlendEquation(DWORD op) {
  switch (op) {
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return GL_FUNC_ADD;
  }
}

GLint AddressMode(DWORD a) {
  switch (a) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
  }
}

}  // namespace

bool Device::Combine::operator==(const Combine& o) const { return memcmp(this, &o, sizeof *this) == 0; }

// ---------------------------------------------------------------------------
// Recording state

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE State, DWORD Value) {
  if ((DWORD)State >= 256) return D3DERR_INVALIDCALL;
  if (rs_[State] == Value) return D3D_OK;
  rs_[State] = Value;
  dirty_ |= DirtyForRenderState(State);
  return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE State, DWORD* pValue) {
  if ((DWORD)State >= 256 || !pValue) return D3DERR_INVALIDCALL;
  *pValue = rs_[State];
  return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD Value) {
  if (Stage >= kMaxStages || (DWORD)Type >= 33) return D3DERR_INVALIDCALL;
  if (tss_[Stage][Type] == Value) return D3D_OK;
  tss_[Stage][Type] = Value;
  dirty_ |= Type == D3DTSS_TEXTURETRANSFORMFLAGS ? kDirtyTexMatrices
                                                  : (Type == D3DTSS_TEXCOORDINDEX ? kDirtyStages | kDirtyTexMatrices
                                                                                  : kDirtyStages);
  if (Type == D3DTSS_TEXCOORDINDEX) arraysDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD Stage, D3DTEXTURESTAGESTATETYPE Type, DWORD* pValue) {
  if (Stage >= kMaxStages || (DWORD)Type >= 33 || !pValue) return D3DERR_INVALIDCALL;
  *pValue = tss_[Stage][Type];
  return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD Value) {
  if (Sampler >= kMaxStages || (DWORD)Type >= 14) return D3DERR_INVALIDCALL;
  if (samp_[Sampler][Type] == Value) return D3D_OK;
  samp_[Sampler][Type] = Value;
  dirtySamplers_ |= 1u << Sampler;
  return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD Sampler, D3DSAMPLERSTATETYPE Type, DWORD* pValue) {
  if (Sampler >= kMaxStages || (DWORD)Type >= 14 || !pValue) return D3DERR_INVALIDCALL;
  *pValue = samp_[Sampler][Type];
  return D3D_OK;
}

HRESULT Device::SetTexture(DWORD Stage, IDirect3DBaseTexture9* pTexture) {
  if (Stage >= kMaxStages) return D3DERR_INVALIDCALL;
  TextureBase* t = TextureFromInterface(pTexture);
  if (t == textures_[Stage]) return D3D_OK;
  if (t) t->Bind();
  if (textures_[Stage]) textures_[Stage]->Unbind();
  textures_[Stage] = t;
  textureInterfaces_[Stage] = t ? pTexture : nullptr;
  dirty_ |= kDirtyStages;
  return D3D_OK;
}

HRESULT Device::GetTexture(DWORD Stage, IDirect3DBaseTexture9** ppTexture) {
  if (Stage >= kMaxStages || !ppTexture) return D3DERR_INVALIDCALL;
  *ppTexture = textureInterfaces_[Stage];
  if (*ppTexture) (*ppTexture)->AddRef();
  return D3D_OK;
}

HRESULT Device::SetTransform(D3DTRANSFORMSTATETYPE State, const D3DMATRIX* pMatrix) {
  if (!pMatrix) return D3DERR_INVALIDCALL;
  D3DMATRIX* m;
  uint32_t bits;
  if (State == D3DTS_WORLD) {
    m = &world_;
    bits = kDirtyModelView;
  } else if (State == D3DTS_VIEW) {
    m = &view_;
    bits = kDirtyModelView | kDirtyLights;
  } else if (State == D3DTS_PROJECTION) {
    m = &proj_;
    bits = kDirtyProjection;
  } else if (State >= D3DTS_TEXTURE0 && State <= D3DTS_TEXTURE7) {
    m = &texm_[State - D3DTS_TEXTURE0];
    bits = kDirtyTexMatrices;
  } else {
    return D3DERR_INVALIDCALL;
  }
  if (memcmp(m, pMatrix, sizeof *m) == 0) return D3D_OK;
  *m = *pMatrix;
  dirty_ |= bits;
  return D3D_OK;
}

HRESULT Device::GetTransform(D3DTRANSFORMSTATETYPE State, D3DMATRIX* pMatrix) {
  if (!pMatrix) return D3DERR_INVALIDCALL;
  if (State == D3DTS_WORLD)
    *pMatrix = world_;
  else if (State == D3DTS_VIEW)
    *pMatrix = view_;
  else if (State == D3DTS_PROJECTION)
    *pMatrix = proj_;
  else if (State >= D3DTS_TEXTURE0 && State <= D3DTS_TEXTURE7)
    *pMatrix = texm_[State - D3DTS_TEXTURE0];
  else
    return D3DERR_INVALIDCALL;
  return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* pViewport) {
  if (!pViewport || !target_) return D3DERR_INVALIDCALL;
  const D3DSURFACE_DESC& d = target_->Desc();
  const D3DVIEWPORT9& v = *pViewport;
  if (v.Width == 0 || v.Height == 0 || (uint64_t)v.X + v.Width > d.Width || (uint64_t)v.Y + v.Height > d.Height)
    return D3DERR_INVALIDCALL;
  viewport_ = v;
  dirty_ |= kDirtyViewport | kDirtyProjection;
  return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* pViewport) {
  if (!pViewport) return D3DERR_INVALIDCALL;
  *pViewport = viewport_;
  return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* pRect) {
  if (!pRect) return D3DERR_INVALIDCALL;
  scissor_ = *pRect;
  dirty_ |= kDirtyMisc;
  return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* pRect) {
  if (!pRect) return D3DERR_INVALIDCALL;
  *pRect = scissor_;
  return D3D_OK;
}

HRESULT Device::SetMaterial(const D3DMATERIAL9* pMaterial) {
  if (!pMaterial) return D3DERR_INVALIDCALL;
  material_ = *pMaterial;
  dirty_ |= kDirtyLighting;
  return D3D_OK;
}

HRESULT Device::GetMaterial(D3DMATERIAL9* pMaterial) {
  if (!pMaterial) return D3DERR_INVALIDCALL;
  *pMaterial = material_;
  return D3D_OK;
}

namespace {
constexpr DWORD kMaxLightIndex = 1024;

D3DLIGHT9 DefaultLight() {
  D3DLIGHT9 l;
  memset(&l, 0, sizeof l);
  l.Type = D3DLIGHT_DIRECTIONAL;
  l.Diffuse = D3DCOLORVALUE{1, 1, 1, 0};
  l.Direction = D3DVECTOR{0, 0, 1};
  return l;
}
}  // namespace

HRESULT Device::SetLight(DWORD Index, const D3DLIGHT9* pLight) {
  if (!pLight || Index >= kMaxLightIndex || pLight->Type < D3DLIGHT_POINT || pLight->Type > D3DLIGHT_DIRECTIONAL)
    return D3DERR_INVALIDCALL;
  if (Index >= lights_.size()) lights_.resize(Index + 1, Light{DefaultLight(), false});
  lights_[Index].light = *pLight;
  dirty_ |= kDirtyLights;
  return D3D_OK;
}

HRESULT Device::GetLight(DWORD Index, D3DLIGHT9* pLight) {
  if (!pLight || Index >= lights_.size()) return D3DERR_INVALIDCALL;
  *pLight = lights_[Index].light;
  return D3D_OK;
}

HRESULT Device::LightEnable(DWORD Index, BOOL Enable) {
  if (Index >= kMaxLightIndex) return D3DERR_INVALIDCALL;
  if (Index >= lights_.size()) lights_.resize(Index + 1, Light{DefaultLight(), false});
  lights_[Index].enabled = Enable != FALSE;
  dirty_ |= kDirtyLights;
  return D3D_OK;
}

HRESULT Device::GetLightEnable(DWORD Index, BOOL* pEnable) {
  if (!pEnable || Index >= lights_.size()) return D3DERR_INVALIDCALL;
  *pEnable = lights_[Index].enabled ? TRUE : FALSE;
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// Flushing to OpenGL

void Device::InvalidateGlCache() {
  glKnown_ = false;
  // The texture a unit holds is only rebound when the unit is next active:
  // a unit left disabled by the first draws afterwards must not be taken for
  // still holding what it held before (presenting binds the gamma ramp on unit 1).
  for (Unit& u : gl_.units) u.bound2D = u.boundCube = ~0u;
  arraysDirty_ = true;
  gl_.ptrKnown = false;
  dirty_ = kDirtyAll;
  dirtySamplers_ = ~0u;
  constantsDirty_ = true;
}

void Device::SetCap(GLenum cap, bool on, bool* shadow) {
  if (glKnown_ && *shadow == on) return;
  if (on)
    glEnable(cap);
  else
    glDisable(cap);
  *shadow = on;
}

void Device::SetActiveUnit(int unit) {
  if (glKnown_ && gl_.activeUnit == unit) return;
  glActiveTexture(GL_TEXTURE0 + unit);
  gl_.activeUnit = unit;
}

void Device::SetClientUnit(int unit) {
  if (glKnown_ && gl_.clientUnit == unit) return;
  glClientActiveTexture(GL_TEXTURE0 + unit);
  gl_.clientUnit = unit;
}

bool Device::UpdateDepthConvention() {
  bool reversed = reversedDepth_;
  if (rs_[D3DRS_ZENABLE] == D3DZB_USEW)
    reversed = true;
  else if (rs_[D3DRS_ZENABLE] != D3DZB_FALSE)
    reversed = false;
  if (reversed != reversedDepth_) {
    reversedDepth_ = reversed;
    dirty_ |= kDirtyProjection | kDirtyViewport | kDirtyDepth | kDirtyProgram;
  }
  return reversedDepth_;
}

D3DMATRIX Device::ClipAdjust() const {
  // Row-vector form: y flipped so that row 0 is the top; x and y moved by half
  // a pixel so that pixel centres sit at integer coordinates as in Direct3D 9;
  // z mirrored (w - z) for the reversed depth of the w-buffer mode.
  D3DXMATRIX a;
  D3DXMatrixIdentity(&a);
  a._22 = -1.0f;
  a._41 = 1.0f / (float)viewport_.Width;
  a._42 = 1.0f / (float)viewport_.Height;
  if (reversedDepth_) {
    a._33 = -1.0f;
    a._43 = 1.0f;
  }
  return a;
}

void Device::Flush() {
  bool pretransformed = (fvf_ & D3DFVF_POSITION_MASK) == D3DFVF_XYZRHW;
  bool shader = shader_ != nullptr;
  if (pretransformed != lastPretransformed_ || shader != lastShader_) {
    dirty_ |= kDirtyModelView | kDirtyProjection | kDirtyLighting | kDirtyFog | kDirtyStages | kDirtyTexMatrices |
              kDirtyProgram;
    lastPretransformed_ = pretransformed;
    lastShader_ = shader;
    arraysDirty_ = true;
  }
  if (fvf_ != lastFvf_) {
    // Colour material depends on whether vertices carry a colour.
    if ((fvf_ ^ lastFvf_) & D3DFVF_DIFFUSE) dirty_ |= kDirtyLighting;
    lastFvf_ = fvf_;
  }
  if (!dirty_ && !dirtySamplers_) return;
  if (dirty_ & kDirtyStages) dirty_ |= kDirtyBlend;  // the alpha reaching the blend may change
  if (dirty_ & kDirtyDepth) ApplyDepth();
  if (shader && (dirty_ & (kDirtyViewport | kDirtyProjection))) dirty_ |= kDirtyProgram;
  if (dirty_ & kDirtyTarget) ApplyTarget();
  if (dirty_ & kDirtyViewport) ApplyViewport();
  if (dirty_ & kDirtyBlend) ApplyBlend();
  if (dirty_ & kDirtyAlphaTest) ApplyAlphaTest();
  if (dirty_ & kDirtyCull) ApplyCull();
  if (dirty_ & kDirtyMisc) ApplyMisc();
  if (dirty_ & kDirtyFog) ApplyFog();
  if (dirty_ & kDirtyLights) ApplyLights();
  if (dirty_ & kDirtyLighting) ApplyLighting();
  if (dirty_ & (kDirtyModelView | kDirtyProjection | kDirtyTexMatrices)) ApplyTransforms();
  if (dirty_ & kDirtyStages) ApplyStages();
  if (dirtySamplers_) ApplySamplers();
  if (dirty_ & kDirtyProgram) ApplyProgram();
  dirty_ = 0;
  glKnown_ = true;
}

void Device::ApplyTarget() {
  if (!target_) return;
  const Surface* c = target_;
  if (!glKnown_ || gl_.colorTex != c->Texture() || gl_.colorLevel != c->Level() || gl_.colorLayer != c->Face()) {
    if (c->Face() < 0)
      glNamedFramebufferTexture(fbo_, GL_COLOR_ATTACHMENT0, c->Texture(), c->Level());
    else
      glNamedFramebufferTextureLayer(fbo_, GL_COLOR_ATTACHMENT0, c->Texture(), c->Level(), c->Face());
    gl_.colorTex = c->Texture();
    gl_.colorLevel = c->Level();
    gl_.colorLayer = c->Face();
  }
  const Surface* d = depth_;
  GLuint tex = d ? d->Texture() : 0, rb = d ? d->Renderbuffer() : 0;
  if (!glKnown_ || gl_.depthTex != tex || gl_.depthRb != rb) {
    glNamedFramebufferRenderbuffer(fbo_, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, 0);
    glNamedFramebufferRenderbuffer(fbo_, GL_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (d) {
      GLenum point = d->Gl().stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
      if (rb)
        glNamedFramebufferRenderbuffer(fbo_, point, GL_RENDERBUFFER, rb);
      else
        glNamedFramebufferTexture(fbo_, point, tex, 0);
    }
    gl_.depthTex = tex;
    gl_.depthRb = rb;
  }
}

void Device::ApplyViewport() {
  glViewport((GLint)viewport_.X, (GLint)viewport_.Y, (GLsizei)viewport_.Width, (GLsizei)viewport_.Height);
  if (reversedDepth_)
    glDepthRange(1.0 - viewport_.MaxZ, 1.0 - viewport_.MinZ);
  else
    glDepthRange(viewport_.MinZ, viewport_.MaxZ);
}

void Device::ApplyDepth() {
  bool reversed = UpdateDepthConvention();
  SetCap(GL_DEPTH_TEST, rs_[D3DRS_ZENABLE] != D3DZB_FALSE, &gl_.depthTest);
  GLenum func = CompareFunc(rs_[D3DRS_ZFUNC], reversed);
  if (!glKnown_ || gl_.depthFunc != func) {
    glDepthFunc(func);
    gl_.depthFunc = func;
  }
  GLboolean mask = rs_[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE;
  if (!glKnown_ || gl_.depthMask != mask) {
    glDepthMask(mask);
    gl_.depthMask = mask;
  }
}

void Device::TexturePixelsChanged() { dirty_ |= kDirtyBlend; }

// Whether every fragment of the next draw leaves the texture stages with
// alpha 1: the alpha chain reads only opaque textures and an opaque texture
// factor (the diffuse alpha is not known without reading the vertices).
bool Device::DrawsOpaque() const {
  int units = std::min(adapter_->maxTextureUnits, kMaxStages);
  bool one = false;  // the current alpha; stage 0 starts from the diffuse one
  for (int unit = 0; unit < units; ++unit) {
    const DWORD* s = tss_[unit];
    if (s[D3DTSS_COLOROP] == D3DTOP_DISABLE) break;
    // A stage reading a missing texture passes everything on (ApplyStages).
    if (!textures_[unit] && (s[D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE) continue;
    auto full = [&](DWORD arg) {
      if (arg & ~D3DTA_SELECTMASK) return false;  // complemented or replicated
      switch (arg) {
        case D3DTA_TEXTURE: return !textures_[unit] || textures_[unit]->Opaque();  // missing reads black
        case D3DTA_CURRENT: return one;
        case D3DTA_TFACTOR: return (rs_[D3DRS_TEXTUREFACTOR] >> 24) == 0xFF;
        default: return false;
      }
    };
    switch (s[D3DTSS_ALPHAOP]) {
      case D3DTOP_DISABLE: break;
      case D3DTOP_SELECTARG1: one = full(s[D3DTSS_ALPHAARG1]); break;
      case D3DTOP_SELECTARG2: one = full(s[D3DTSS_ALPHAARG2]); break;
      case D3DTOP_MODULATE: one = full(s[D3DTSS_ALPHAARG1]) && full(s[D3DTSS_ALPHAARG2]); break;
      default: one = false; break;
    }
  }
  return one;
}

void Device::ApplyBlend() {
  GLenum src = BlendFactor(rs_[D3DRS_SRCBLEND]), dst = BlendFactor(rs_[D3DRS_DESTBLEND]);
  if (rs_[D3DRS_SRCBLEND] == 12) {  // D3DBLEND_BOTHSRCALPHA
    src = GL_SRC_ALPHA;
    dst = GL_ONE_MINUS_SRC_ALPHA;
  } else if (rs_[D3DRS_SRCBLEND] == 13) {  // D3DBLEND_BOTHINVSRCALPHA
    src = GL_ONE_MINUS_SRC_ALPHA;
    dst = GL_SRC_ALPHA;
  }
  // Blending by source alpha with an alpha of 1 writes the source as it is;
  // leaving it out spares a software rasteriser reading the target.
  bool blend = rs_[D3DRS_ALPHABLENDENABLE] != 0;
  if (blend && src == GL_SRC_ALPHA && dst == GL_ONE_MINUS_SRC_ALPHA && rs_[D3DRS_BLENDOP] == D3DBLENDOP_ADD &&
      DrawsOpaque())
    blend = false;
  SetCap(GL_BLEND, blend, &gl_.blend);
  if (!glKnown_ || gl_.blendSrc != src || gl_.blendDst != dst) {
    glBlendFunc(src, dst);
    gl_.blendSrc = src;
    gl_.blendDst = dst;
  }
  GLenum eq = BlendEquation(rs_[D3DRS_BLENDOP]);
  if (!glKnown_ || gl_.blendEq != eq) {
    glBlendEquation(eq);
    gl_.blendEq = eq;
  }
  DWORD factor = rs_[D3DRS_BLENDFACTOR];
  if (!glKnown_ || gl_.blendColor != factor) {
    float c[4];
    ColorToFloats(factor, c);
    glBlendColor(c[0], c[1], c[2], c[3]);
    gl_.blendColor = factor;
  }
}

void Device::ApplyAlphaTest() {
  SetCap(GL_ALPHA_TEST, rs_[D3DRS_ALPHATESTENABLE] != 0, &gl_.alphaTest);
  GLenum func = CompareFunc(rs_[D3DRS_ALPHAFUNC], false);
  DWORD ref = rs_[D3DRS_ALPHAREF] & 0xFF;
  if (!glKnown_ || gl_.alphaFunc != func || gl_.alphaRef != ref) {
    glAlphaFunc(func, ref / 255.0f);
    gl_.alphaFunc = func;
    gl_.alphaRef = ref;
  }
}

void Device::ApplyCull() {
  // Rows run top-down, so a face that is clockwise on a Direct3D screen is
  // counter-clockwise in OpenGL's window coordinates (its front face).
  DWORD mode = rs_[D3DRS_CULLMODE];
  SetCap(GL_CULL_FACE, mode == D3DCULL_CW || mode == D3DCULL_CCW, &gl_.cull);
  GLenum face = mode == D3DCULL_CW ? GL_FRONT : GL_BACK;
  if (!glKnown_ || gl_.cullFace != face) {
    glCullFace(face);
    gl_.cullFace = face;
  }
}

void Device::ApplyMisc() {
  GLenum polygon = rs_[D3DRS_FILLMODE] == D3DFILL_POINT ? GL_POINT
                   : rs_[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE : GL_FILL;
  if (!glKnown_ || gl_.polygonMode != polygon) {
    glPolygonMode(GL_FRONT_AND_BACK, polygon);
    gl_.polygonMode = polygon;
  }
  GLenum shade = rs_[D3DRS_SHADEMODE] == D3DSHADE_FLAT ? GL_FLAT : GL_SMOOTH;
  if (!glKnown_ || gl_.shadeModel != shade) {
    glShadeModel(shade);
    gl_.shadeModel = shade;
  }
  DWORD mask = rs_[D3DRS_COLORWRITEENABLE] & 0xF;
  if (!glKnown_ || gl_.colorMask != mask) {
    glColorMask(mask & 1, (mask >> 1) & 1, (mask >> 2) & 1, (mask >> 3) & 1);
    gl_.colorMask = mask;
  }
  SetCap(GL_DITHER, rs_[D3DRS_DITHERENABLE] != 0, &gl_.dither);
  SetCap(GL_SCISSOR_TEST, rs_[D3DRS_SCISSORTESTENABLE] != 0, &gl_.scissor);
  if (rs_[D3DRS_SCISSORTESTENABLE])
    glScissor(scissor_.left, scissor_.top, std::max<LONG>(0, scissor_.right - scissor_.left),
              std::max<LONG>(0, scissor_.bottom - scissor_.top));
}

void Device::ApplyFog() {
  DWORD table = rs_[D3DRS_FOGTABLEMODE], vertex = rs_[D3DRS_FOGVERTEXMODE];
  DWORD mode = table != D3DFOG_NONE ? table : vertex;
  bool on = rs_[D3DRS_FOGENABLE] && mode != D3DFOG_NONE && !lastPretransformed_;
  SetCap(GL_FOG, on, &gl_.fog);
  if (!on) return;
  glFogi(GL_FOG_MODE, mode == D3DFOG_EXP ? GL_EXP : mode == D3DFOG_EXP2 ? GL_EXP2 : GL_LINEAR);
  glFogf(GL_FOG_START, AsFloat(rs_[D3DRS_FOGSTART]));
  glFogf(GL_FOG_END, AsFloat(rs_[D3DRS_FOGEND]));
  glFogf(GL_FOG_DENSITY, AsFloat(rs_[D3DRS_FOGDENSITY]));
  float c[4];
  ColorToFloats(rs_[D3DRS_FOGCOLOR], c);
  glFogfv(GL_FOG_COLOR, c);
}

void Device::ApplyLights() {
  // Direct3D lights are in world space; OpenGL transforms a light's position
  // by the modelview current when it is given, so give them under the view.
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixf(&view_._11);
  int slot = 0;
  int slots = std::min(adapter_->maxLights, kMaxGlLights);
  for (const Light& entry : lights_) {
    if (!entry.enabled || slot >= slots) continue;
    const D3DLIGHT9& l = entry.light;
    GLenum id = GL_LIGHT0 + slot;
    glLightfv(id, GL_DIFFUSE, &l.Diffuse.r);
    glLightfv(id, GL_SPECULAR, &l.Specular.r);
    glLightfv(id, GL_AMBIENT, &l.Ambient.r);
    if (l.Type == D3DLIGHT_DIRECTIONAL) {
      float p[4] = {-l.Direction.x, -l.Direction.y, -l.Direction.z, 0.0f};
      glLightfv(id, GL_POSITION, p);
      glLightf(id, GL_SPOT_CUTOFF, 180.0f);
      glLightf(id, GL_CONSTANT_ATTENUATION, 1.0f);
      glLightf(id, GL_LINEAR_ATTENUATION, 0.0f);
      glLightf(id, GL_QUADRATIC_ATTENUATION, 0.0f);
    } else {
      float p[4] = {l.Position.x, l.Position.y, l.Position.z, 1.0f};
      glLightfv(id, GL_POSITION, p);
      bool none = l.Attenuation0 == 0 && l.Attenuation1 == 0 && l.Attenuation2 == 0;
      glLightf(id, GL_CONSTANT_ATTENUATION, none ? 1.0f : l.Attenuation0);
      glLightf(id, GL_LINEAR_ATTENUATION, l.Attenuation1);
      glLightf(id, GL_QUADRATIC_ATTENUATION, l.Attenuation2);
      if (l.Type == D3DLIGHT_SPOT) {
        glLightfv(id, GL_SPOT_DIRECTION, &l.Direction.x);
        glLightf(id, GL_SPOT_CUTOFF, std::min(90.0f, l.Phi * 0.5f * 57.29578f));
        glLightf(id, GL_SPOT_EXPONENT, std::min(128.0f, std::max(0.0f, l.Falloff)));
      } else {
        glLightf(id, GL_SPOT_CUTOFF, 180.0f);
      }
    }
    SetCap(id, true, &gl_.light[slot]);
    ++slot;
  }
  for (; slot < slots; ++slot) SetCap(GL_LIGHT0 + slot, false, &gl_.light[slot]);
  dirty_ |= kDirtyModelView;
}

void Device::ApplyLighting() {
  bool lit = rs_[D3DRS_LIGHTING] && !lastPretransformed_ && !lastShader_;
  SetCap(GL_LIGHTING, lit, &gl_.lighting);
  SetCap(GL_NORMALIZE, rs_[D3DRS_NORMALIZENORMALS] != 0, &gl_.normalize);
  float ambient[4];
  ColorToFloats(rs_[D3DRS_AMBIENT], ambient);
  glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
  glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, rs_[D3DRS_LOCALVIEWER] ? GL_TRUE : GL_FALSE);

  // Vertex colours feed the material where Direct3D's material sources say so.
  bool vertexColour = rs_[D3DRS_COLORVERTEX] && (fvf_ & D3DFVF_DIFFUSE);
  bool diffuse = vertexColour && rs_[D3DRS_DIFFUSEMATERIALSOURCE] == D3DMCS_COLOR1;
  bool ambientFromColour = vertexColour && rs_[D3DRS_AMBIENTMATERIALSOURCE] == D3DMCS_COLOR1;
  GLenum mode = diffuse && ambientFromColour ? GL_AMBIENT_AND_DIFFUSE
                : diffuse ? GL_DIFFUSE : ambientFromColour ? GL_AMBIENT : 0;
  if (mode && (!glKnown_ || gl_.colorMaterialMode != mode)) {
    glColorMaterial(GL_FRONT_AND_BACK, mode);
    gl_.colorMaterialMode = mode;
  }
  SetCap(GL_COLOR_MATERIAL, mode != 0, &gl_.colorMaterial);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, &material_.Ambient.r);
  glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, &material_.Diffuse.r);
  static const float black[4] = {0, 0, 0, 0};
  glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, rs_[D3DRS_SPECULARENABLE] ? &material_.Specular.r : black);
  glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, &material_.Emissive.r);
  glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::min(128.0f, std::max(0.0f, material_.Power)));
}

void Device::ApplyTransforms() {
  bool flat = lastPretransformed_ || lastShader_;
  if (dirty_ & kDirtyModelView) {
    glMatrixMode(GL_MODELVIEW);
    D3DXMATRIX mv;
    if (flat)
      D3DXMatrixIdentity(&mv);
    else
      D3DXMatrixMultiply(&mv, static_cast<const D3DXMATRIX*>(&world_), static_cast<const D3DXMATRIX*>(&view_));
    glLoadMatrixf(&mv._11);
  }
  if (dirty_ & kDirtyProjection) {
    glMatrixMode(GL_PROJECTION);
    D3DXMATRIX p;
    if (lastPretransformed_) {
      // Screen pixels of the render target to clip space, pixel centres at
      // integer coordinates; z is the Direct3D depth.
      D3DXMatrixIdentity(&p);
      float w = (float)viewport_.Width, h = (float)viewport_.Height;
      p._11 = 2.0f / w;
      p._41 = 2.0f * (0.5f - (float)viewport_.X) / w - 1.0f;
      p._22 = 2.0f / h;
      p._42 = 2.0f * (0.5f - (float)viewport_.Y) / h - 1.0f;
      if (reversedDepth_) {
        p._33 = -1.0f;
        p._43 = 1.0f;
      }
    } else {
      D3DXMATRIX adjust = ClipAdjust();
      D3DXMatrixMultiply(&p, static_cast<const D3DXMATRIX*>(&proj_), &adjust);
    }
    glLoadMatrixf(&p._11);
    glMatrixMode(GL_MODELVIEW);
  }
  if (dirty_ & kDirtyTexMatrices) {
    int units = std::min(adapter_->maxTextureUnits, kMaxStages);
    for (int unit = 0; unit < units; ++unit) {
      DWORD flags = tss_[unit][D3DTSS_TEXTURETRANSFORMFLAGS];
      DWORD count = flags & 0xFF;
      Unit& u = gl_.units[unit];
      if (count == 0 || flat) {
        if (glKnown_ && u.texMatrixKnown && u.texMatrixIdentity) continue;
        SetActiveUnit(unit);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        u.texMatrixIdentity = true;
      } else {
        // OpenGL divides by q when sampling; Direct3D only with D3DTTFF_PROJECTED
        // (by the last counted component), so q is set up to match.
        D3DMATRIX m = texm_[unit];
        for (int row = 0; row < 4; ++row)
          m.m[row][3] = (flags & D3DTTFF_PROJECTED) ? texm_[unit].m[row][std::min<DWORD>(count, 4) - 1]
                                                    : (row == 3 ? 1.0f : 0.0f);
        SetActiveUnit(unit);
        glMatrixMode(GL_TEXTURE);
        glLoadMatrixf(&m._11);
        u.texMatrixIdentity = false;
      }
      u.texMatrixKnown = true;
    }
    glMatrixMode(GL_MODELVIEW);
  }
}

void Device::ApplyStages() {
  // Direct3D stops at the first disabled stage. A stage whose first colour
  // argument is a texture that is not set passes the current colour on, so a
  // later stage still applies: the track lays its road shadow on stage 2
  // while stage 1 is empty. A disabled OpenGL unit passes its input on.
  int units = std::min(adapter_->maxTextureUnits, kMaxStages);
  bool ended = false;
  for (int unit = 0; unit < units; ++unit) {
    ended = ended || tss_[unit][D3DTSS_COLOROP] == D3DTOP_DISABLE;
    bool missing = !textures_[unit] && (tss_[unit][D3DTSS_COLORARG1] & D3DTA_SELECTMASK) == D3DTA_TEXTURE;
    ApplyStage(unit, !ended && !missing);
  }
}

void Device::ApplyStage(int unit, bool active) {
  Unit& u = gl_.units[unit];
  GLenum target = 0;
  GLuint name = 0;
  if (active) {
    if (textures_[unit]) {
      target = textures_[unit]->Target();
      name = textures_[unit]->Name();
    } else {
      target = GL_TEXTURE_2D;  // reads opaque black, as Direct3D does
      name = blackTexture_;
    }
  }
  if (!glKnown_ || u.enabledTarget != target) {
    SetActiveUnit(unit);
    if (target != GL_TEXTURE_2D) glDisable(GL_TEXTURE_2D);
    if (target != GL_TEXTURE_CUBE_MAP) glDisable(GL_TEXTURE_CUBE_MAP);
    if (target) glEnable(target);
    u.enabledTarget = target;
  }
  if (!active) return;
  GLuint& bound = target == GL_TEXTURE_CUBE_MAP ? u.boundCube : u.bound2D;
  if (!glKnown_ || bound != name) {
    SetActiveUnit(unit);
    glBindTexture(target, name);
    bound = name;
  }

  const DWORD* s = tss_[unit];
  auto source = [&](DWORD arg, bool alpha, GLint* src, GLint* op) {
    switch (arg & D3DTA_SELECTMASK) {
      case D3DTA_DIFFUSE: *src = GL_PRIMARY_COLOR; break;
      case D3DTA_TEXTURE: *src = GL_TEXTURE; break;
      case D3DTA_TFACTOR: *src = GL_CONSTANT; break;
      case D3DTA_SPECULAR: *src = GL_PRIMARY_COLOR; break;
      default: *src = unit == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS; break;  // current
    }
    bool complement = (arg & D3DTA_COMPLEMENT) != 0;
    if (alpha || (arg & D3DTA_ALPHAREPLICATE))
      *op = complement ? GL_ONE_MINUS_SRC_ALPHA : GL_SRC_ALPHA;
    else
      *op = complement ? GL_ONE_MINUS_SRC_COLOR : GL_SRC_COLOR;
  };
  auto setup = [&](DWORD op, DWORD arg1, DWORD arg2, bool alpha, GLint* mode, GLint* scale, GLint* src,
                   GLint* opnd) {
    *scale = 1;
    GLint a1s, a1o, a2s, a2o;
    source(arg1, alpha, &a1s, &a1o);
    source(arg2, alpha, &a2s, &a2o);
    src[0] = a1s;
    opnd[0] = a1o;
    src[1] = a2s;
    opnd[1] = a2o;
    src[2] = GL_PREVIOUS;
    opnd[2] = GL_SRC_ALPHA;
    switch (op) {
      case D3DTOP_SELECTARG1: *mode = GL_REPLACE; break;
      case D3DTOP_SELECTARG2:
        *mode = GL_REPLACE;
        src[0] = a2s;
        opnd[0] = a2o;
        break;
      case D3DTOP_MODULATE2X: *mode = GL_MODULATE; *scale = 2; break;
      case D3DTOP_MODULATE4X: *mode = GL_MODULATE; *scale = 4; break;
      case D3DTOP_ADD: *mode = GL_ADD; break;
      case D3DTOP_ADDSIGNED: *mode = GL_ADD_SIGNED; break;
      case D3DTOP_ADDSIGNED2X: *mode = GL_ADD_SIGNED; *scale = 2; break;
      case D3DTOP_SUBTRACT: *mode = GL_SUBTRACT; break;
      case D3DTOP_BLENDDIFFUSEALPHA: *mode = GL_INTERPOLATE; src[2] = GL_PRIMARY_COLOR; break;
      case D3DTOP_BLENDTEXTUREALPHA: *mode = GL_INTERPOLATE; src[2] = GL_TEXTURE; break;
      case D3DTOP_BLENDFACTORALPHA: *mode = GL_INTERPOLATE; src[2] = GL_CONSTANT; break;
      case D3DTOP_BLENDCURRENTALPHA:
        *mode = GL_INTERPOLATE;
        src[2] = unit == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS;
        break;
      case D3DTOP_DISABLE:  // alpha only: the current alpha passes through
        *mode = GL_REPLACE;
        src[0] = unit == 0 ? GL_PRIMARY_COLOR : GL_PREVIOUS;
        opnd[0] = alpha ? GL_SRC_ALPHA : GL_SRC_COLOR;
        break;
      default: *mode = GL_MODULATE; break;
    }
  };
  Combine c;
  memset(&c, 0, sizeof c);
  setup(s[D3DTSS_COLOROP], s[D3DTSS_COLORARG1], s[D3DTSS_COLORARG2], false, &c.rgbMode, &c.rgbScale, c.src, c.op);
  setup(s[D3DTSS_ALPHAOP], s[D3DTSS_ALPHAARG1], s[D3DTSS_ALPHAARG2], true, &c.alphaMode, &c.alphaScale, c.asrc,
        c.aop);
  if (!glKnown_ || !u.combineKnown || !(u.combine == c)) {
    SetActiveUnit(unit);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, c.rgbMode);
    glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, c.alphaMode);
    glTexEnvi(GL_TEXTURE_ENV, GL_RGB_SCALE, c.rgbScale);
    glTexEnvi(GL_TEXTURE_ENV, GL_ALPHA_SCALE, c.alphaScale);
    static const GLenum srcRgb[3] = {GL_SRC0_RGB, GL_SRC1_RGB, GL_SRC2_RGB};
    static const GLenum opRgb[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    static const GLenum srcA[3] = {GL_SRC0_ALPHA, GL_SRC1_ALPHA, GL_SRC2_ALPHA};
    static const GLenum opA[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    for (int i = 0; i < 3; ++i) {
      glTexEnvi(GL_TEXTURE_ENV, srcRgb[i], c.src[i]);
      glTexEnvi(GL_TEXTURE_ENV, opRgb[i], c.op[i]);
      glTexEnvi(GL_TEXTURE_ENV, srcA[i], c.asrc[i]);
      glTexEnvi(GL_TEXTURE_ENV, opA[i], c.aop[i]);
    }
    u.combine = c;
    u.combineKnown = true;
  }
  DWORD factor = rs_[D3DRS_TEXTUREFACTOR];
  if (!glKnown_ || !u.envColorKnown || u.envColor != factor) {
    SetActiveUnit(unit);
    float f[4];
    ColorToFloats(factor, f);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, f);
    u.envColor = factor;
    u.envColorKnown = true;
  }

  DWORD gen = (lastPretransformed_ || lastShader_) ? D3DTSS_TCI_PASSTHRU : (s[D3DTSS_TEXCOORDINDEX] & 0xFFFF0000);
  if (!glKnown_ || u.texgen != gen) {
    SetActiveUnit(unit);
    GLint mode = 0;
    bool q = false;
    switch (gen) {
      case D3DTSS_TCI_CAMERASPACEPOSITION: mode = GL_EYE_LINEAR; q = true; break;
      case D3DTSS_TCI_CAMERASPACENORMAL: mode = GL_NORMAL_MAP; break;
      case D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR: mode = GL_REFLECTION_MAP; break;
      case D3DTSS_TCI_SPHEREMAP: mode = GL_SPHERE_MAP; break;
      default: break;
    }
    static const GLenum coords[4] = {GL_S, GL_T, GL_R, GL_Q};
    static const GLenum caps[4] = {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R, GL_TEXTURE_GEN_Q};
    int used = mode == 0 ? 0 : (mode == GL_SPHERE_MAP ? 2 : (q ? 4 : 3));
    for (int i = 0; i < 4; ++i) {
      if (i < used) {
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, mode);
        glEnable(caps[i]);
      } else {
        glDisable(caps[i]);
      }
    }
    u.texgen = gen;
  }
}

void Device::ApplySamplers() {
  int units = std::min(adapter_->maxTextureUnits, kMaxStages);
  for (int unit = 0; unit < units; ++unit) {
    if (!(dirtySamplers_ & (1u << unit))) continue;
    const DWORD* s = samp_[unit];
    GLuint id = samplers_[unit];
    bool linearMin = s[D3DSAMP_MINFILTER] >= D3DTEXF_LINEAR;
    // Only point and linear are mip filters in Direct3D; any other value (the
    // screen's fixed state sets 3, the anisotropic filter) takes the nearest
    // level: on a software rasteriser that saves about a twentieth of a race
    // frame against blending two levels, and with the screen's LOD bias of
    // -1.5 it looks the same.
    GLint min;
    switch (s[D3DSAMP_MIPFILTER]) {
      case D3DTEXF_NONE: min = linearMin ? GL_LINEAR : GL_NEAREST; break;
      case D3DTEXF_LINEAR: min = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR; break;
      default: min = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST; break;
    }
    glSamplerParameteri(id, GL_TEXTURE_MIN_FILTER, min);
    glSamplerParameteri(id, GL_TEXTURE_MAG_FILTER, s[D3DSAMP_MAGFILTER] >= D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST);
    glSamplerParameteri(id, GL_TEXTURE_WRAP_S, AddressMode(s[D3DSAMP_ADDRESSU]));
    glSamplerParameteri(id, GL_TEXTURE_WRAP_T, AddressMode(s[D3DSAMP_ADDRESSV]));
    glSamplerParameteri(id, GL_TEXTURE_WRAP_R, AddressMode(s[D3DSAMP_ADDRESSW]));
    float border[4];
    ColorToFloats(s[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(id, GL_TEXTURE_BORDER_COLOR, border);
    glSamplerParameterf(id, GL_TEXTURE_LOD_BIAS, AsFloat(s[D3DSAMP_MIPMAPLODBIAS]));
    glSamplerParameterf(id, GL_TEXTURE_MIN_LOD, (float)s[D3DSAMP_MAXMIPLEVEL]);
    if (adapter_->maxAnisotropy > 1.0f) {
      bool aniso = s[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || s[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
      float a = aniso ? std::min(adapter_->maxAnisotropy, (float)std::max<DWORD>(1, s[D3DSAMP_MAXANISOTROPY])) : 1.0f;
      glSamplerParameterf(id, GL_TEXTURE_MAX_ANISOTROPY_EXT, a);
    }
    glBindSampler(unit, id);
  }
  dirtySamplers_ = 0;
}

void Device::ApplyProgram() {
  GLuint program = shader_ ? shader_->program : 0;
  if (!glKnown_ || gl_.program != program) {
    glUseProgram(program);
    gl_.program = program;
    constantsDirty_ = true;
  }
  if (!shader_) return;
  if (constantsDirty_) {
    glUniform4fv(shader_->constantsLocation, kVertexShaderConstants, &constants_[0][0]);
    constantsDirty_ = false;
  }
  D3DMATRIX adjust = ClipAdjust();
  glUniformMatrix4fv(shader_->clipAdjustLocation, 1, GL_FALSE, &adjust._11);
}

}  // namespace vrxgl
