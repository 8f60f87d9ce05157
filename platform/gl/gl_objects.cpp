#include "gl/gl_objects.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "gl/gl_device.h"

namespace vrxgl {

// ---------------------------------------------------------------------------
// Reference counts

RefCounted::RefCounted(Device* dev, D3DPOOL pool, bool implicit)
    : dev_(dev), pool_(pool), refs_(implicit ? 0 : 1), implicit_(implicit) {
  if (!implicit) {
    dev_->AddRef();
    if (pool_ == D3DPOOL_DEFAULT) dev_->CountDefaultPoolReference(1);
  }
}

RefCounted::~RefCounted() = default;

ULONG RefCounted::DoAddRef() {
  if (refs_++ == 0) {
    dev_->AddRef();
    if (pool_ == D3DPOOL_DEFAULT) dev_->CountDefaultPoolReference(1);
  }
  return refs_;
}

ULONG RefCounted::DoRelease() {
  if (refs_ == 0) return 0;  // released once too often: ignore
  ULONG left = --refs_;
  if (left == 0) {
    Device* dev = dev_;
    if (pool_ == D3DPOOL_DEFAULT) dev->CountDefaultPoolReference(-1);
    if (binds_ == 0 && !implicit_) delete this;
    dev->Release();
  }
  return left;
}

void RefCounted::Unbind() {
  if (--binds_ == 0 && refs_ == 0 && !implicit_) delete this;
}

// ---------------------------------------------------------------------------
// Surfaces

Surface::Surface(RefCounted* owner, Device* dev, const D3DSURFACE_DESC& desc, const GlFormat& gl, GLuint tex,
                 GLuint renderbuffer, GLint level, int face, std::vector<uint8_t>* cpu)
    : owner_(owner), dev_(dev), desc_(desc), gl_(gl), tex_(tex), rb_(renderbuffer), level_(level), face_(face),
      cpu_(cpu), opaque_(!gl.hasAlpha) {}

namespace {

// Whether every pixel of a level in the Direct3D layout has full alpha;
// false for formats whose alpha is not simply stored (block compressed).
bool AllAlphaFull(D3DFORMAT format, const std::vector<uint8_t>& pixels) {
  switch (format) {
    case D3DFMT_A8R8G8B8:
      for (size_t i = 3; i < pixels.size(); i += 4)
        if (pixels[i] != 0xFF) return false;
      return true;
    case D3DFMT_A4R4G4B4:
      for (size_t i = 1; i < pixels.size(); i += 2)
        if ((pixels[i] & 0xF0) != 0xF0) return false;
      return true;
    case D3DFMT_A1R5G5B5:
      for (size_t i = 1; i < pixels.size(); i += 2)
        if (!(pixels[i] & 0x80)) return false;
      return true;
    default:
      return false;
  }
}

}  // namespace

HRESULT Surface::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  dev_->AddRef();
  *ppDevice = dev_;
  return D3D_OK;
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = desc_;
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (!pLockedRect || locked_ || gl_.depth || !tex_) return D3DERR_INVALIDCALL;
  RECT r = pRect ? *pRect : RECT{0, 0, (LONG)desc_.Width, (LONG)desc_.Height};
  if (r.left < 0 || r.top < 0 || r.right > (LONG)desc_.Width || r.bottom > (LONG)desc_.Height ||
      r.left >= r.right || r.top >= r.bottom)
    return D3DERR_INVALIDCALL;
  if (gl_.compressed && ((r.left % 4) || (r.top % 4))) return D3DERR_INVALIDCALL;

  if (cpu_) {
    UINT pitch = RowPitch(gl_, desc_.Format, desc_.Width);
    size_t row = gl_.compressed ? r.top / 4 : r.top;
    size_t col = gl_.compressed ? (r.left / 4) * (pitch / ((desc_.Width + 3) / 4)) : r.left * gl_.bytesPerPixel;
    pLockedRect->Pitch = (INT)pitch;
    pLockedRect->pBits = cpu_->data() + row * pitch + col;
  } else {
    if (gl_.compressed) return D3DERR_INVALIDCALL;
    dev_->MakeCurrent();
    GLsizei w = r.right - r.left, h = r.bottom - r.top;
    readback_.resize((size_t)w * h * gl_.bytesPerPixel);
    glGetTextureSubImage(tex_, level_, r.left, r.top, face_ < 0 ? 0 : face_, w, h, 1, gl_.format, gl_.type,
                         (GLsizei)readback_.size(), readback_.data());
    pLockedRect->Pitch = (INT)(w * gl_.bytesPerPixel);
    pLockedRect->pBits = readback_.data();
  }
  locked_ = true;
  lockFlags_ = Flags;
  lockRect_ = r;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (lockFlags_ & D3DLOCK_READONLY) {
    if (!cpu_) ReleaseLargeReadback();
    return D3D_OK;
  }
  if (cpu_) {
    Upload(&lockRect_);
  } else {
    const RECT& r = lockRect_;
    if (desc_.Pool == D3DPOOL_DEFAULT) {
      // Drawing may change a target's alpha behind our back: assume the worst.
      opaque_ = !gl_.hasAlpha;
    } else {
      const bool whole = r.left == 0 && r.top == 0 && r.right == (LONG)desc_.Width && r.bottom == (LONG)desc_.Height;
      const bool full = !gl_.hasAlpha || AllAlphaFull(desc_.Format, readback_);
      opaque_ = whole ? full : opaque_ && full;
    }
    dev_->TexturePixelsChanged();
    dev_->MakeCurrent();
    GLsizei w = r.right - r.left, h = r.bottom - r.top;
    if (face_ < 0)
      glTextureSubImage2D(tex_, level_, r.left, r.top, w, h, gl_.format, gl_.type, readback_.data());
    else
      glTextureSubImage3D(tex_, level_, r.left, r.top, face_, w, h, 1, gl_.format, gl_.type, readback_.data());
    ReleaseLargeReadback();
  }
  return D3D_OK;
}

void Surface::ReleaseLargeReadback() {
  // Loading fills whole levels once; small reads (a pixel of the target)
  // come every frame and keep their buffer.
  if (readback_.capacity() > 64 * 1024) std::vector<uint8_t>().swap(readback_);
}

void Surface::Upload(const RECT* rect) {
  if (!cpu_ || !tex_) return;
  opaque_ = !gl_.hasAlpha || AllAlphaFull(desc_.Format, *cpu_);
  dev_->TexturePixelsChanged();
  dev_->MakeCurrent();
  GLsizei w = desc_.Width, h = desc_.Height;
  if (gl_.compressed) {
    // Whole level: block rows cannot be updated piecemeal portably.
    if (face_ < 0)
      glCompressedTextureSubImage2D(tex_, level_, 0, 0, w, h, gl_.internal, (GLsizei)cpu_->size(), cpu_->data());
    else
      glCompressedTextureSubImage3D(tex_, level_, 0, 0, face_, w, h, 1, gl_.internal, (GLsizei)cpu_->size(),
                                    cpu_->data());
    return;
  }
  // Whole rows from the top of the rectangle to its bottom.
  GLint top = rect ? rect->top : 0;
  GLsizei rows = rect ? rect->bottom - rect->top : h;
  const uint8_t* src = cpu_->data() + (size_t)top * RowPitch(gl_, desc_.Format, desc_.Width);
  if (face_ < 0)
    glTextureSubImage2D(tex_, level_, 0, top, w, rows, gl_.format, gl_.type, src);
  else
    glTextureSubImage3D(tex_, level_, 0, top, face_, w, rows, 1, gl_.format, gl_.type, src);
}

OwnedSurface::OwnedSurface(Device* dev, D3DPOOL pool, bool implicit, const D3DSURFACE_DESC& desc,
                           const GlFormat& gl, GLuint tex, GLuint renderbuffer)
    : RefCounted(dev, pool, implicit), tex_(tex), rb_(renderbuffer),
      surface_(this, dev, desc, gl, tex, renderbuffer, 0, -1, nullptr) {}

OwnedSurface::~OwnedSurface() {
  dev_->MakeCurrent();
  if (tex_) {
    dev_->ForgetTexture(tex_);
    glDeleteTextures(1, &tex_);
  }
  if (rb_) {
    dev_->ForgetTexture(rb_);
    glDeleteRenderbuffers(1, &rb_);
  }
}

// ---------------------------------------------------------------------------
// Textures

TextureBase::~TextureBase() {
  if (!tex_) return;
  dev_->MakeCurrent();
  dev_->ForgetTexture(tex_);
  glDeleteTextures(1, &tex_);
}

bool TextureStore::Create(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                          const GlFormat& gl) {
  UINT full = 1;
  for (UINT s = width > height ? width : height; s > 1; s >>= 1) ++full;
  levels_ = (levels == 0 || levels > full) ? full : levels;

  dev_->MakeCurrent();
  while (glGetError() != GL_NO_ERROR) {
  }
  glCreateTextures(target_, 1, &tex_);
  glTextureStorage2D(tex_, (GLsizei)levels_, gl.internal, (GLsizei)width, (GLsizei)height);
  if (glGetError() != GL_NO_ERROR) return false;

  // Managed pixels live in the OpenGL texture, which survives a reset, and
  // are read back when locked. Only levels that OpenGL would not give back
  // bit for bit keep a copy here: block-compressed ones (no piecewise
  // read-back) and those with unused X bits. New levels read as zeros.
  const bool exactReadback = !gl.compressed && format != D3DFMT_X8R8G8B8 && format != D3DFMT_X4R4G4B4 &&
                             format != D3DFMT_X1R5G5B5;
  bool keepCopy = Pool() != D3DPOOL_DEFAULT && !exactReadback;
  if (keepCopy) cpu_.resize((size_t)faces_ * levels_);
  if (Pool() != D3DPOOL_DEFAULT && !keepCopy)
    for (UINT level = 0; level < levels_; ++level) glClearTexImage(tex_, (GLint)level, gl.format, gl.type, nullptr);
  for (UINT face = 0; face < faces_; ++face) {
    for (UINT level = 0; level < levels_; ++level) {
      UINT w = width >> level, h = height >> level;
      if (w == 0) w = 1;
      if (h == 0) h = 1;
      D3DSURFACE_DESC desc{format, D3DRTYPE_SURFACE, usage, Pool(), D3DMULTISAMPLE_NONE, 0, w, h};
      std::vector<uint8_t>* cpu = nullptr;
      if (keepCopy) {
        cpu = &cpu_[face * levels_ + level];
        cpu->assign((size_t)RowPitch(gl, format, w) * RowCount(gl, h), 0);
      }
      surfaces_.emplace_back(new Surface(this, dev_, desc, gl, tex_, 0, (GLint)level,
                                         faces_ == 6 ? (int)face : -1, cpu));
      if (cpu) surfaces_.back()->Upload(nullptr);
    }
  }
  return true;
}

bool TextureStore::Opaque() const {
  for (const std::unique_ptr<Surface>& s : surfaces_)
    if (!s->Opaque()) return false;
  return true;
}

HRESULT Texture::GetDevice(IDirect3DDevice9** ppDevice) { return SurfaceAt(0, 0)->GetDevice(ppDevice); }

HRESULT Texture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= levels_ || !pDesc) return D3DERR_INVALIDCALL;
  *pDesc = SurfaceAt(0, Level)->Desc();
  return D3D_OK;
}

HRESULT Texture::GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) {
  if (Level >= levels_ || !ppSurfaceLevel) return D3DERR_INVALIDCALL;
  DoAddRef();
  *ppSurfaceLevel = SurfaceAt(0, Level);
  return D3D_OK;
}

HRESULT Texture::LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) {
  if (Level >= levels_) return D3DERR_INVALIDCALL;
  return SurfaceAt(0, Level)->LockRect(pLockedRect, pRect, Flags);
}

HRESULT Texture::UnlockRect(UINT Level) {
  if (Level >= levels_) return D3DERR_INVALIDCALL;
  return SurfaceAt(0, Level)->UnlockRect();
}

HRESULT CubeTexture::GetDevice(IDirect3DDevice9** ppDevice) { return SurfaceAt(0, 0)->GetDevice(ppDevice); }

HRESULT CubeTexture::GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) {
  if (Level >= levels_ || !pDesc) return D3DERR_INVALIDCALL;
  *pDesc = SurfaceAt(0, Level)->Desc();
  return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES FaceType, UINT Level,
                                       IDirect3DSurface9** ppCubeMapSurface) {
  if (FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= levels_ || !ppCubeMapSurface) return D3DERR_INVALIDCALL;
  DoAddRef();
  *ppCubeMapSurface = SurfaceAt(FaceType, Level);
  return D3D_OK;
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES FaceType, UINT Level, D3DLOCKED_RECT* pLockedRect,
                              const RECT* pRect, DWORD Flags) {
  if (FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= levels_) return D3DERR_INVALIDCALL;
  return SurfaceAt(FaceType, Level)->LockRect(pLockedRect, pRect, Flags);
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES FaceType, UINT Level) {
  if (FaceType > D3DCUBEMAP_FACE_NEGATIVE_Z || Level >= levels_) return D3DERR_INVALIDCALL;
  return SurfaceAt(FaceType, Level)->UnlockRect();
}

TextureBase* TextureFromInterface(IDirect3DBaseTexture9* texture) {
  if (!texture) return nullptr;
  switch (texture->GetType()) {
    case D3DRTYPE_TEXTURE:
      return static_cast<Texture*>(static_cast<IDirect3DTexture9*>(texture));
    case D3DRTYPE_CUBETEXTURE:
      return static_cast<CubeTexture*>(static_cast<IDirect3DCubeTexture9*>(texture));
    default:
      return nullptr;
  }
}

// ---------------------------------------------------------------------------
// Buffers

bool BufferStore::Create(UINT length, GLenum usage) {
  length_ = length;
  dev_->MakeCurrent();
  while (glGetError() != GL_NO_ERROR) {
  }
  glCreateBuffers(1, &buf_);
  glNamedBufferData(buf_, length, nullptr, usage);
  glClearNamedBufferData(buf_, GL_R8, GL_RED, GL_UNSIGNED_BYTE, nullptr);  // new buffers read as zeros
  return glGetError() == GL_NO_ERROR;
}

BufferStore::~BufferStore() {
  if (!buf_) return;
  dev_->MakeCurrent();
  dev_->ForgetBuffer(buf_);
  glDeleteBuffers(1, &buf_);
}

// The bytes live in the OpenGL buffer only; a lock reads its range back into
// a buffer of its own and the unlock writes it (unless read-only).
HRESULT BufferStore::LockRange(UINT offset, UINT size, void** data, DWORD flags) {
  if (!data || locked_ || offset > length_) return D3DERR_INVALIDCALL;
  if (size == 0) size = length_ - offset;
  if ((size_t)offset + size > length_) return D3DERR_INVALIDCALL;
  if (lockBytes_.size() < size) lockBytes_.resize(size);
  if (size > 0) {
    dev_->MakeCurrent();
    glGetNamedBufferSubData(buf_, offset, size, lockBytes_.data());
  }
  *data = lockBytes_.data();
  locked_ = true;
  lockOffset_ = offset;
  lockSize_ = size;
  lockFlags_ = flags;
  return D3D_OK;
}

HRESULT BufferStore::UnlockRange() {
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  if (!(lockFlags_ & D3DLOCK_READONLY) && lockSize_ > 0) {
    dev_->MakeCurrent();
    glNamedBufferSubData(buf_, lockOffset_, lockSize_, lockBytes_.data());
  }
  // The first lock fills the buffer once at load; a large buffer is not kept
  // for it. Later locks (skid marks, dents) keep theirs, so that they do not
  // allocate while racing.
  if (++locks_ == 1 && lockBytes_.capacity() > 64 * 1024) std::vector<uint8_t>().swap(lockBytes_);
  return D3D_OK;
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  dev_->AddRef();
  *ppDevice = dev_;
  return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = D3DVERTEXBUFFER_DESC{D3DFMT_UNKNOWN, D3DRTYPE_VERTEXBUFFER, usage_, Pool(), Length(), fvf_};
  return D3D_OK;
}

HRESULT IndexBuffer::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  dev_->AddRef();
  *ppDevice = dev_;
  return D3D_OK;
}

HRESULT IndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* pDesc) {
  if (!pDesc) return D3DERR_INVALIDCALL;
  *pDesc = D3DINDEXBUFFER_DESC{format_, D3DRTYPE_INDEXBUFFER, usage_, Pool(), Length()};
  return D3D_OK;
}

// ---------------------------------------------------------------------------
// Vertex shaders

VertexShader::~VertexShader() {
  if (!program) return;
  dev_->MakeCurrent();
  dev_->ForgetProgram(program);
  glDeleteProgram(program);
}

HRESULT VertexShader::GetDevice(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  dev_->AddRef();
  *ppDevice = dev_;
  return D3D_OK;
}

bool VertexShader::Build(const char* source) {
  // The caller's main() runs first; ours then applies the device's clip-space
  // adjustment, so shaders are written exactly as for Direct3D clip space.
  std::string body = source;
  std::string version = "#version 120\n";
  size_t start = body.find_first_not_of(" \t\r\n");
  int firstLine = 1;
  if (start != std::string::npos && body.compare(start, 8, "#version") == 0) {
    size_t end = body.find('\n', start);
    version = body.substr(0, end == std::string::npos ? std::string::npos : end + 1);
    body = end == std::string::npos ? std::string() : body.substr(end + 1);
    firstLine = 2;
  }
  std::string text = version +
                     "uniform vec4 c[" + std::to_string(kVertexShaderConstants) + "];\n"
                     "uniform mat4 vrx_clipAdjust;\n"
                     "#define main vrx_shader_main\n"
                     "#line " + std::to_string(firstLine) + "\n" +
                     body +
                     "\n#undef main\n"
                     "void main() { vrx_shader_main(); gl_Position = vrx_clipAdjust * gl_Position; }\n";

  dev_->MakeCurrent();
  GLuint vs = glCreateShader(GL_VERTEX_SHADER);
  const char* src = text.c_str();
  glShaderSource(vs, 1, &src, nullptr);
  glCompileShader(vs);
  GLint ok = 0;
  glGetShaderiv(vs, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[2048] = {0};
    glGetShaderInfoLog(vs, sizeof log, nullptr, log);
    fprintf(stderr, "vrx: vertex shader does not compile: %s\n", log);
    glDeleteShader(vs);
    return false;
  }
  program = glCreateProgram();
  glAttachShader(program, vs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[2048] = {0};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    fprintf(stderr, "vrx: vertex shader does not link: %s\n", log);
    glDeleteProgram(program);
    program = 0;
    return false;
  }
  constantsLocation = glGetUniformLocation(program, "c");
  clipAdjustLocation = glGetUniformLocation(program, "vrx_clipAdjust");
  return true;
}

}  // namespace vrxgl
