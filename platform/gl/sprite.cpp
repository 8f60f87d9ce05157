// The D3DX sprite object, built only on the public Direct3D 9 device
// interface: Draw turns each sprite into four view-space vertices at once,
// End sorts them if asked and draws them as triangle lists, one call per
// run of sprites sharing a texture.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/d3dx9sprite.h"

namespace {

struct Vertex {
  float x, y, z;
  D3DCOLOR colour;
  float u, v;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

struct Queued {
  IDirect3DTexture9* texture;  // one reference held while queued
  Vertex v[4];
  float depth;
  size_t order;  // drawing order, so that equal depths keep it when sorted
};

// The device states a batch changes, recorded at Begin and put back at End.
const D3DRENDERSTATETYPE kRenderStates[] = {
    D3DRS_ALPHABLENDENABLE, D3DRS_SRCBLEND,    D3DRS_DESTBLEND,    D3DRS_BLENDOP,      D3DRS_ALPHATESTENABLE,
    D3DRS_ALPHAFUNC,        D3DRS_ALPHAREF,    D3DRS_CULLMODE,     D3DRS_LIGHTING,     D3DRS_FOGENABLE,
    D3DRS_RANGEFOGENABLE,   D3DRS_SPECULARENABLE, D3DRS_FILLMODE,  D3DRS_SHADEMODE,    D3DRS_COLORWRITEENABLE};
struct StageState {
  DWORD stage;
  D3DTEXTURESTAGESTATETYPE type;
};
const StageState kStageStates[] = {{0, D3DTSS_COLOROP},   {0, D3DTSS_COLORARG1},     {0, D3DTSS_COLORARG2},
                                   {0, D3DTSS_ALPHAOP},   {0, D3DTSS_ALPHAARG1},     {0, D3DTSS_ALPHAARG2},
                                   {0, D3DTSS_TEXCOORDINDEX}, {0, D3DTSS_TEXTURETRANSFORMFLAGS},
                                   {1, D3DTSS_COLOROP},   {1, D3DTSS_ALPHAOP}};
const D3DSAMPLERSTATETYPE kSamplerStates[] = {D3DSAMP_ADDRESSU,  D3DSAMP_ADDRESSV,      D3DSAMP_MAGFILTER,
                                              D3DSAMP_MINFILTER, D3DSAMP_MIPFILTER,     D3DSAMP_MIPMAPLODBIAS,
                                              D3DSAMP_MAXMIPLEVEL};
constexpr int kRenderCount = sizeof kRenderStates / sizeof kRenderStates[0];
constexpr int kStageCount = sizeof kStageStates / sizeof kStageStates[0];
constexpr int kSamplerCount = sizeof kSamplerStates / sizeof kSamplerStates[0];

struct SavedState {
  DWORD render[kRenderCount];
  DWORD stage[kStageCount];
  DWORD sampler[kSamplerCount];
  D3DMATRIX world, view, projection;
  IDirect3DBaseTexture9* texture;
  IDirect3DVertexShader9* shader;
  IDirect3DVertexBuffer9* stream;
  UINT streamOffset, streamStride;
  DWORD fvf;
};

D3DXMATRIX Identity() {
  D3DXMATRIX m;
  D3DXMatrixIdentity(&m);
  return m;
}

float RowLength(const D3DXMATRIX& m, int row) {
  return std::sqrt(m.m[row][0] * m.m[row][0] + m.m[row][1] * m.m[row][1] + m.m[row][2] * m.m[row][2]);
}

class Sprite final : public ID3DXSprite {
 public:
  explicit Sprite(IDirect3DDevice9* device) : device_(device) {
    device_->AddRef();
    transform_ = world_ = view_ = Identity();
  }

  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override {
    if (!ppDevice) return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
  }
  HRESULT GetTransform(D3DXMATRIX* pTransform) override {
    if (!pTransform) return D3DERR_INVALIDCALL;
    *pTransform = transform_;
    return D3D_OK;
  }
  HRESULT SetTransform(const D3DXMATRIX* pTransform) override {
    if (!pTransform) return D3DERR_INVALIDCALL;
    transform_ = *pTransform;
    return D3D_OK;
  }
  HRESULT SetWorldViewLH(const D3DXMATRIX* pWorld, const D3DXMATRIX* pView) override {
    world_ = pWorld ? *pWorld : Identity();
    view_ = pView ? *pView : Identity();
    return D3D_OK;
  }

  HRESULT Begin(DWORD flags) override;
  HRESULT Draw(IDirect3DTexture9* texture, const RECT* src, const D3DXVECTOR3* centre, const D3DXVECTOR3* position,
               D3DCOLOR colour) override;
  HRESULT Flush() override;
  HRESULT End() override;
  HRESULT OnLostDevice() override {
    if (inBatch_) {
      DropQueue();
      Finish();
    }
    return D3D_OK;
  }
  HRESULT OnResetDevice() override { return D3D_OK; }
  DWORD Batches() const { return batches_; }

 private:
  ~Sprite() override {
    DropQueue();
    if (inBatch_) Finish();
    device_->Release();
  }
  void Save();
  void Restore();
  void SetStates();
  void DropQueue();
  void Finish();  // restores the device (if saved) and closes the batch

  ULONG refs_ = 1;
  IDirect3DDevice9* device_;
  D3DXMATRIX transform_, world_, view_;
  bool inBatch_ = false;
  DWORD flags_ = 0;
  D3DVIEWPORT9 viewport_{};
  // Both keep their capacity from batch to batch: drawing allocates nothing
  // once the largest batch has been seen.
  std::vector<Queued> queue_;
  std::vector<Vertex> tris_;
  SavedState saved_{};
  bool haveSaved_ = false;
  DWORD batches_ = 0;
};

void Sprite::Save() {
  SavedState& s = saved_;
  for (int i = 0; i < kRenderCount; ++i) device_->GetRenderState(kRenderStates[i], &s.render[i]);
  for (int i = 0; i < kStageCount; ++i)
    device_->GetTextureStageState(kStageStates[i].stage, kStageStates[i].type, &s.stage[i]);
  for (int i = 0; i < kSamplerCount; ++i) device_->GetSamplerState(0, kSamplerStates[i], &s.sampler[i]);
  device_->GetTransform(D3DTS_WORLD, &s.world);
  device_->GetTransform(D3DTS_VIEW, &s.view);
  device_->GetTransform(D3DTS_PROJECTION, &s.projection);
  s.texture = nullptr;
  s.shader = nullptr;
  s.stream = nullptr;
  s.streamOffset = s.streamStride = 0;
  device_->GetTexture(0, &s.texture);
  device_->GetVertexShader(&s.shader);
  device_->GetStreamSource(0, &s.stream, &s.streamOffset, &s.streamStride);
  device_->GetFVF(&s.fvf);
  haveSaved_ = true;
}

void Sprite::Restore() {
  SavedState& s = saved_;
  for (int i = 0; i < kRenderCount; ++i) device_->SetRenderState(kRenderStates[i], s.render[i]);
  for (int i = 0; i < kStageCount; ++i)
    device_->SetTextureStageState(kStageStates[i].stage, kStageStates[i].type, s.stage[i]);
  for (int i = 0; i < kSamplerCount; ++i) device_->SetSamplerState(0, kSamplerStates[i], s.sampler[i]);
  device_->SetTransform(D3DTS_WORLD, &s.world);
  device_->SetTransform(D3DTS_VIEW, &s.view);
  device_->SetTransform(D3DTS_PROJECTION, &s.projection);
  device_->SetTexture(0, s.texture);
  device_->SetFVF(s.fvf);
  device_->SetVertexShader(s.shader);
  device_->SetStreamSource(0, s.stream, s.streamOffset, s.streamStride);
  if (s.texture) s.texture->Release();
  if (s.shader) s.shader->Release();
  if (s.stream) s.stream->Release();
  haveSaved_ = false;
}

void Sprite::SetStates() {
  const bool blend = (flags_ & D3DXSPRITE_ALPHABLEND) != 0;
  if (!(flags_ & D3DXSPRITE_DONOTMODIFY_RENDERSTATE)) {
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, blend);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, blend);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRS_ALPHAREF, 0);
    device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device_->SetRenderState(D3DRS_LIGHTING, FALSE);
    device_->SetRenderState(D3DRS_FOGENABLE, FALSE);
    device_->SetRenderState(D3DRS_RANGEFOGENABLE, FALSE);
    device_->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    device_->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
    device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device_->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                                        D3DCOLORWRITEENABLE_BLUE | D3DCOLORWRITEENABLE_ALPHA);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    device_->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device_->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device_->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
    device_->SetSamplerState(0, D3DSAMP_MIPMAPLODBIAS, 0);
    device_->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 0);
  }
  // Vertices arrive in view space (object space) or in pixels.
  const D3DXMATRIX identity = Identity();
  device_->SetTransform(D3DTS_WORLD, &identity);
  device_->SetTransform(D3DTS_VIEW, &identity);
  if (!(flags_ & D3DXSPRITE_OBJECTSPACE)) {
    D3DXMATRIX pixels;
    const float l = static_cast<float>(viewport_.X), t = static_cast<float>(viewport_.Y);
    D3DXMatrixOrthoOffCenterLH(&pixels, l, l + viewport_.Width, t + viewport_.Height, t, 0.0f, 1.0f);
    device_->SetTransform(D3DTS_PROJECTION, &pixels);
  }
  device_->SetVertexShader(nullptr);
  device_->SetFVF(kFvf);
}

HRESULT Sprite::Begin(DWORD flags) {
  if (inBatch_) return D3DERR_INVALIDCALL;
  flags_ = flags;
  if (FAILED(device_->GetViewport(&viewport_))) return D3DERR_INVALIDCALL;
  if (!(flags_ & D3DXSPRITE_DONOTSAVESTATE)) Save();
  SetStates();
  inBatch_ = true;
  return D3D_OK;
}

HRESULT Sprite::Draw(IDirect3DTexture9* texture, const RECT* src, const D3DXVECTOR3* centre,
                     const D3DXVECTOR3* position, D3DCOLOR colour) {
  if (!inBatch_ || !texture) return D3DERR_INVALIDCALL;
  D3DSURFACE_DESC desc{};
  if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0) return D3DERR_INVALIDCALL;
  RECT r = src ? *src : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
  const D3DXVECTOR3 c = centre ? *centre : D3DXVECTOR3(0, 0, 0);
  const D3DXVECTOR3 p = position ? *position : D3DXVECTOR3(0, 0, 0);
  const float w = static_cast<float>(r.right - r.left), h = static_cast<float>(r.bottom - r.top);
  const float u0 = r.left / static_cast<float>(desc.Width), u1 = r.right / static_cast<float>(desc.Width);
  const float v0 = r.top / static_cast<float>(desc.Height), v1 = r.bottom / static_cast<float>(desc.Height);
  // Corners in image order: top-left, top-right, bottom-right, bottom-left.
  const float cx[4] = {0, w, w, 0}, cy[4] = {0, 0, h, h};
  const float cu[4] = {u0, u1, u1, u0}, cv[4] = {v0, v0, v1, v1};

  Queued q;
  q.texture = texture;
  const bool objectSpace = (flags_ & D3DXSPRITE_OBJECTSPACE) != 0;
  D3DXMATRIX toView = transform_;
  if (objectSpace) {
    D3DXMatrixMultiply(&toView, &toView, &world_);
    D3DXMatrixMultiply(&toView, &toView, &view_);
  }
  const bool billboard = objectSpace && (flags_ & D3DXSPRITE_BILLBOARD);
  D3DXVECTOR3 anchor(toView._41, toView._42, toView._43);
  const float sx = RowLength(toView, 0), sy = RowLength(toView, 1), sz = RowLength(toView, 2);
  float depth = 0;
  for (int i = 0; i < 4; ++i) {
    D3DXVECTOR3 local(cx[i] - c.x + p.x, cy[i] - c.y + p.y, p.z - c.z);
    // Object space has y up: the image's top row is its highest.
    if (objectSpace) local.y = -local.y;
    D3DXVECTOR3 out;
    if (billboard)
      out = D3DXVECTOR3(anchor.x + local.x * sx, anchor.y + local.y * sy, anchor.z + local.z * sz);
    else
      D3DXVec3TransformCoord(&out, &local, &toView);
    if (!objectSpace) {
      // Pixel centres sit at integer coordinates: shift by half a pixel so
      // that texel centres meet pixel centres.
      out.x -= 0.5f;
      out.y -= 0.5f;
    }
    q.v[i] = Vertex{out.x, out.y, out.z, colour, cu[i], cv[i]};
    depth += out.z * 0.25f;
  }
  q.depth = depth;
  q.order = queue_.size();
  texture->AddRef();
  queue_.push_back(q);
  return D3D_OK;
}

HRESULT Sprite::Flush() {
  if (!inBatch_) return D3DERR_INVALIDCALL;
  // std::sort with the drawing order as tie-break is stable without the
  // temporary buffer std::stable_sort would allocate.
  if (flags_ & D3DXSPRITE_SORT_DEPTH_FRONTTOBACK)
    std::sort(queue_.begin(), queue_.end(), [](const Queued& a, const Queued& b) {
      return a.depth < b.depth || (a.depth == b.depth && a.order < b.order);
    });
  else if (flags_ & D3DXSPRITE_SORT_DEPTH_BACKTOFRONT)
    std::sort(queue_.begin(), queue_.end(), [](const Queued& a, const Queued& b) {
      return a.depth > b.depth || (a.depth == b.depth && a.order < b.order);
    });

  // Drawing outside a scene is refused by Direct3D; open one if the caller
  // has not.
  const bool ownScene = SUCCEEDED(device_->BeginScene());
  for (size_t first = 0; first < queue_.size();) {
    size_t last = first;
    tris_.clear();
    while (last < queue_.size() && queue_[last].texture == queue_[first].texture) {
      const Vertex* v = queue_[last].v;
      tris_.insert(tris_.end(), {v[0], v[1], v[2], v[0], v[2], v[3]});
      ++last;
    }
    device_->SetTexture(0, queue_[first].texture);
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(2 * (last - first)), tris_.data(),
                             sizeof(Vertex));
    first = last;
  }
  if (ownScene) device_->EndScene();
  DropQueue();
  return D3D_OK;
}

HRESULT Sprite::End() {
  if (!inBatch_) return D3DERR_INVALIDCALL;
  Flush();
  Finish();
  ++batches_;
  return D3D_OK;
}

void Sprite::DropQueue() {
  for (Queued& q : queue_) q.texture->Release();
  queue_.clear();
}

void Sprite::Finish() {
  if (haveSaved_) Restore();
  inBatch_ = false;
}

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* pDevice, ID3DXSprite** ppSprite) {
  if (!pDevice || !ppSprite) return D3DERR_INVALIDCALL;
  *ppSprite = new Sprite(pDevice);
  return D3D_OK;
}

DWORD VrxSpriteBatchCount(ID3DXSprite* sprite) { return sprite ? static_cast<Sprite*>(sprite)->Batches() : 0; }
