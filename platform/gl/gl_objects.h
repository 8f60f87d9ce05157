// The resources of the OpenGL device: textures and cube textures with their
// surfaces, depth surfaces, vertex and index buffers and vertex shaders.
#pragma once

#include <epoxy/gl.h>

#include <memory>
#include <vector>

#include "gl/gl_format.h"
#include "platform/d3d9.h"

namespace vrxgl {

class Device;

// Reference counting shared by every resource. The public count is what
// AddRef/Release see; while it is above zero the resource keeps its device
// alive. Binding to the device (SetTexture, SetStreamSource, ...) keeps the
// object itself alive without holding the device, so a released object that
// is still bound goes away when it is unbound.
class RefCounted {
 public:
  ULONG DoAddRef();
  ULONG DoRelease();
  void Bind() { ++binds_; }
  void Unbind();
  D3DPOOL Pool() const { return pool_; }
  ULONG PublicRefs() const { return refs_; }
  Device* GetDeviceImpl() const { return dev_; }

 protected:
  // `implicit`: owned by the device (back buffer, its depth surface); starts
  // with no public reference.
  RefCounted(Device* dev, D3DPOOL pool, bool implicit);
  virtual ~RefCounted();

  Device* dev_;

 private:
  D3DPOOL pool_;
  ULONG refs_;
  int binds_ = 0;
  bool implicit_;
};

// One level of a texture, one face of a cube level, or a depth surface.
class Surface : public IDirect3DSurface9 {
 public:
  ULONG AddRef() override { return owner_->DoAddRef(); }
  ULONG Release() override { return owner_->DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  Surface(RefCounted* owner, Device* dev, const D3DSURFACE_DESC& desc, const GlFormat& gl, GLuint tex,
          GLuint renderbuffer, GLint level, int face, std::vector<uint8_t>* cpu);
  ~Surface() override = default;

  RefCounted* Owner() const { return owner_; }
  const D3DSURFACE_DESC& Desc() const { return desc_; }
  const GlFormat& Gl() const { return gl_; }
  GLuint Texture() const { return tex_; }
  GLuint Renderbuffer() const { return rb_; }
  GLint Level() const { return level_; }
  int Face() const { return face_; }  // -1 unless a cube face
  // Writes the CPU copy (if any) to OpenGL: managed textures after creation.
  void Upload(const RECT* rect);
  // Every texel's alpha is full: a format without alpha, or a managed level
  // whose pixels say so. Render targets and other default-pool surfaces with
  // alpha are taken not to be.
  bool Opaque() const { return opaque_; }

 private:
  RefCounted* owner_;
  Device* dev_;
  D3DSURFACE_DESC desc_;
  GlFormat gl_;
  GLuint tex_;
  GLuint rb_;
  GLint level_;
  int face_;
  std::vector<uint8_t>* cpu_;  // managed textures: the level's pixels
  bool opaque_;

  bool locked_ = false;
  DWORD lockFlags_ = 0;
  RECT lockRect_{};
  std::vector<uint8_t> readback_;
  void ReleaseLargeReadback();
};

// A surface that is a resource of its own (depth surfaces, the back buffer).
class OwnedSurface : public RefCounted {
 public:
  OwnedSurface(Device* dev, D3DPOOL pool, bool implicit, const D3DSURFACE_DESC& desc, const GlFormat& gl,
               GLuint tex, GLuint renderbuffer);
  ~OwnedSurface() override;
  Surface* Get() { return &surface_; }

 private:
  GLuint tex_, rb_;
  Surface surface_;
};

// What SetTexture needs of either texture kind.
class TextureBase : public RefCounted {
 public:
  GLuint Name() const { return tex_; }
  GLenum Target() const { return target_; }
  // Every level of every face opaque (Surface::Opaque).
  virtual bool Opaque() const = 0;

 protected:
  TextureBase(Device* dev, D3DPOOL pool, GLenum target) : RefCounted(dev, pool, false), target_(target) {}
  ~TextureBase() override;
  GLuint tex_ = 0;
  GLenum target_;
};

// 2D texture (faces = 1) or cube texture (faces = 6). Managed textures in a
// block-compressed format or one with unused X bits keep every level's
// pixels in memory, in the Direct3D layout; the others are read back from
// OpenGL when locked.
class TextureStore : public TextureBase {
 public:
  // False (object unusable) if OpenGL could not make the storage.
  bool Create(UINT size, UINT height, UINT levels, DWORD usage, D3DFORMAT format, const GlFormat& gl);
  Surface* SurfaceAt(UINT face, UINT level) { return surfaces_[face * levels_ + level].get(); }
  UINT Levels() const { return levels_; }
  bool Opaque() const override;

 protected:
  TextureStore(Device* dev, D3DPOOL pool, GLenum target, UINT faces)
      : TextureBase(dev, pool, target), faces_(faces) {}
  UINT faces_;
  UINT levels_ = 0;
  std::vector<std::vector<uint8_t>> cpu_;
  std::vector<std::unique_ptr<Surface>> surfaces_;
};

class Texture : public IDirect3DTexture9, public TextureStore {
 public:
  Texture(Device* dev, D3DPOOL pool) : TextureStore(dev, pool, GL_TEXTURE_2D, 1) {}
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
  DWORD GetLevelCount() override { return levels_; }
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;
};

class CubeTexture : public IDirect3DCubeTexture9, public TextureStore {
 public:
  CubeTexture(Device* dev, D3DPOOL pool) : TextureStore(dev, pool, GL_TEXTURE_CUBE_MAP, 6) {}
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
  DWORD GetLevelCount() override { return levels_; }
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level, IDirect3DSurface9** ppCubeMapSurface) override;
  HRESULT LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect,
                   DWORD Flags) override;
  HRESULT UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) override;
};

// The internal texture object behind a Direct3D texture pointer; null for null.
TextureBase* TextureFromInterface(IDirect3DBaseTexture9* texture);

// Vertex and index buffers keep their bytes in the OpenGL buffer only: Lock
// reads the range back, Unlock writes the locked range to the buffer.
class BufferStore : public RefCounted {
 public:
  bool Create(UINT length, GLenum usage);
  GLuint Name() const { return buf_; }
  UINT Length() const { return length_; }

 protected:
  BufferStore(Device* dev, D3DPOOL pool) : RefCounted(dev, pool, false) {}
  ~BufferStore() override;
  HRESULT LockRange(UINT offset, UINT size, void** data, DWORD flags);
  HRESULT UnlockRange();

  UINT length_ = 0;
  std::vector<uint8_t> lockBytes_;  // the locked range
  unsigned locks_ = 0;
  GLuint buf_ = 0;
  bool locked_ = false;
  UINT lockOffset_ = 0, lockSize_ = 0;
  DWORD lockFlags_ = 0;
};

class VertexBuffer : public IDirect3DVertexBuffer9, public BufferStore {
 public:
  VertexBuffer(Device* dev, D3DPOOL pool, DWORD usage, DWORD fvf) : BufferStore(dev, pool), usage_(usage), fvf_(fvf) {}
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override {
    return LockRange(OffsetToLock, SizeToLock, ppbData, Flags);
  }
  HRESULT Unlock() override { return UnlockRange(); }
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

 private:
  DWORD usage_, fvf_;
};

class IndexBuffer : public IDirect3DIndexBuffer9, public BufferStore {
 public:
  IndexBuffer(Device* dev, D3DPOOL pool, DWORD usage, D3DFORMAT format)
      : BufferStore(dev, pool), usage_(usage), format_(format) {}
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override {
    return LockRange(OffsetToLock, SizeToLock, ppbData, Flags);
  }
  HRESULT Unlock() override { return UnlockRange(); }
  HRESULT GetDesc(D3DINDEXBUFFER_DESC* pDesc) override;
  D3DFORMAT Format() const { return format_; }

 private:
  DWORD usage_;
  D3DFORMAT format_;
};

// A linked GLSL program: the caller's vertex shader with our prologue (the
// constant registers c[]) and epilogue (the device's clip-space adjustment).
class VertexShader : public IDirect3DVertexShader9, public RefCounted {
 public:
  explicit VertexShader(Device* dev) : RefCounted(dev, D3DPOOL_MANAGED, false) {}
  ~VertexShader() override;
  ULONG AddRef() override { return DoAddRef(); }
  ULONG Release() override { return DoRelease(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override;
  // False, with the compiler's log on stderr, if the source does not build.
  bool Build(const char* source);

  GLuint program = 0;
  GLint constantsLocation = -1;
  GLint clipAdjustLocation = -1;
};

}  // namespace vrxgl
