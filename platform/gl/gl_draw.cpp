// Vertex input and draw calls: flexible vertex formats as OpenGL vertex
// arrays, stream source, indices, vertex shaders.
#include <algorithm>
#include <cstring>

#include "gl/gl_device.h"

namespace vrxgl {

namespace {

// Where each part of a vertex sits in a flexible vertex format.
struct FvfLayout {
  GLint positionSize = 3;
  int normal = -1, diffuse = -1;
  int texCount = 0;
  int texOffset[8] = {};
  int texSize[8] = {};
};

FvfLayout DecodeFvf(DWORD fvf) {
  FvfLayout l;
  int offset = 0;
  switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: offset = 12; break;
    case D3DFVF_XYZRHW: offset = 16; break;  // rhw is not used: screen-space vertices are flat
    case 0x4002: offset = 16; l.positionSize = 4; break;  // D3DFVF_XYZW
    default:  // XYZB1..XYZB5: position and blend weights
      offset = 12 + 4 * (int)(((fvf & D3DFVF_POSITION_MASK) - 4) / 2);
      break;
  }
  if (fvf & D3DFVF_NORMAL) {
    l.normal = offset;
    offset += 12;
  }
  if (fvf & D3DFVF_PSIZE) offset += 4;
  if (fvf & D3DFVF_DIFFUSE) {
    l.diffuse = offset;
    offset += 4;
  }
  if (fvf & D3DFVF_SPECULAR) offset += 4;
  l.texCount = (int)((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT);
  if (l.texCount > 8) l.texCount = 8;
  static const int sizes[4] = {2, 3, 4, 1};
  for (int i = 0; i < l.texCount; ++i) {
    l.texOffset[i] = offset;
    l.texSize[i] = sizes[(fvf >> (16 + 2 * i)) & 3];
    offset += 4 * l.texSize[i];
  }
  return l;
}

GLenum PrimitiveMode(D3DPRIMITIVETYPE type) {
  switch (type) {
    case D3DPT_POINTLIST: return GL_POINTS;
    case D3DPT_LINELIST: return GL_LINES;
    case D3DPT_LINESTRIP: return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP: return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN: return GL_TRIANGLE_FAN;
    default: return GL_TRIANGLES;
  }
}

// Vertices (or indices) used by `count` primitives; 0 for an unknown type.
UINT VertexCount(D3DPRIMITIVETYPE type, UINT count) {
  switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
  }
}

const void* Offset(size_t bytes) { return reinterpret_cast<const void*>(bytes); }

}  // namespace

void Device::PrepareDraw() {
  MakeCurrent();
  Flush();
}

void Device::ApplyArrays(GLuint buffer, UINT offset, UINT stride) {
  if (!arraysDirty_ && glKnown_ && gl_.ptrKnown && gl_.ptrBuffer == buffer && gl_.ptrOffset == offset &&
      gl_.ptrStride == stride)
    return;
  int units = std::min(adapter_->maxTextureUnits, kMaxStages);
  FvfLayout l = DecodeFvf(fvf_);
  // Coordinate set read by each unit (~0: none).
  DWORD sets[kMaxStages];
  for (int unit = 0; unit < kMaxStages; ++unit) {
    DWORD index = tss_[unit][D3DTSS_TEXCOORDINDEX];
    bool generated = (index & 0xFFFF0000) != 0 && !lastShader_ && !lastPretransformed_;
    DWORD set = index & 0xFFFF;
    sets[unit] = (unit < units && !generated && (int)set < l.texCount) ? set : ~0u;
  }
  arraysDirty_ = false;
  if (glKnown_ && gl_.ptrKnown && gl_.ptrBuffer == buffer && gl_.ptrOffset == offset && gl_.ptrStride == stride &&
      gl_.ptrFvf == fvf_ && memcmp(gl_.ptrSets, sets, sizeof sets) == 0)
    return;

  if (!glKnown_ || gl_.arrayBuffer != buffer) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    gl_.arrayBuffer = buffer;
  }
  auto setArray = [&](GLenum cap, bool on, bool* shadow) {
    if (gl_.ptrKnown && glKnown_ && *shadow == on) return false;
    if (on)
      glEnableClientState(cap);
    else
      glDisableClientState(cap);
    *shadow = on;
    return true;
  };
  glVertexPointer(lastPretransformed_ ? 3 : l.positionSize, GL_FLOAT, (GLsizei)stride, Offset(offset));
  setArray(GL_VERTEX_ARRAY, true, &gl_.vertexArray);
  if (l.normal >= 0)
    glNormalPointer(GL_FLOAT, (GLsizei)stride, Offset(offset + l.normal));
  if (setArray(GL_NORMAL_ARRAY, l.normal >= 0, &gl_.normalArray) && l.normal < 0) glNormal3f(0, 0, 0);
  if (l.diffuse >= 0) glColorPointer(GL_BGRA, GL_UNSIGNED_BYTE, (GLsizei)stride, Offset(offset + l.diffuse));
  // Without vertex colours Direct3D uses opaque white.
  if (setArray(GL_COLOR_ARRAY, l.diffuse >= 0, &gl_.colorArray) && l.diffuse < 0) glColor4f(1, 1, 1, 1);
  for (int unit = 0; unit < units; ++unit) {
    Unit& u = gl_.units[unit];
    bool on = sets[unit] != ~0u;
    if (on) {
      SetClientUnit(unit);
      glTexCoordPointer(l.texSize[sets[unit]], GL_FLOAT, (GLsizei)stride,
                        Offset(offset + l.texOffset[sets[unit]]));
    }
    if (!gl_.ptrKnown || !glKnown_ || u.texcoordArray != on) {
      SetClientUnit(unit);
      if (on)
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
      else
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
      u.texcoordArray = on;
    }
  }
  gl_.ptrBuffer = buffer;
  gl_.ptrOffset = offset;
  gl_.ptrStride = stride;
  gl_.ptrFvf = fvf_;
  memcpy(gl_.ptrSets, sets, sizeof sets);
  gl_.ptrKnown = true;
}

GLuint Device::StreamUpload(const void* data, UINT bytes) {
  glNamedBufferData(upBuffer_, bytes, data, GL_STREAM_DRAW);
  return upBuffer_;
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE PrimitiveType, UINT StartVertex, UINT PrimitiveCount) {
  UINT n = VertexCount(PrimitiveType, PrimitiveCount);
  if (!stream_ || n == 0 || streamStride_ == 0) return D3DERR_INVALIDCALL;
  if ((uint64_t)streamOffset_ + ((uint64_t)StartVertex + n) * streamStride_ > stream_->Length())
    return D3DERR_INVALIDCALL;
  PrepareDraw();
  ApplyArrays(stream_->Name(), streamOffset_, streamStride_);
  glDrawArrays(PrimitiveMode(PrimitiveType), (GLint)StartVertex, (GLsizei)n);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE PrimitiveType, INT BaseVertexIndex, UINT MinVertexIndex,
                                     UINT NumVertices, UINT startIndex, UINT primCount) {
  UINT n = VertexCount(PrimitiveType, primCount);
  if (!stream_ || !indices_ || n == 0 || streamStride_ == 0) return D3DERR_INVALIDCALL;
  UINT indexSize = indices_->Format() == D3DFMT_INDEX32 ? 4 : 2;
  if (((uint64_t)startIndex + n) * indexSize > indices_->Length()) return D3DERR_INVALIDCALL;
  PrepareDraw();
  ApplyArrays(stream_->Name(), streamOffset_, streamStride_);
  if (!glKnown_ || gl_.elementBuffer != indices_->Name()) {
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indices_->Name());
    gl_.elementBuffer = indices_->Name();
  }
  glDrawElementsBaseVertex(PrimitiveMode(PrimitiveType), (GLsizei)n,
                           indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT, Offset((size_t)startIndex * indexSize),
                           BaseVertexIndex);
  return D3D_OK;
}

HRESULT Device::DrawPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT PrimitiveCount,
                                const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  UINT n = VertexCount(PrimitiveType, PrimitiveCount);
  if (!pVertexStreamZeroData || n == 0 || VertexStreamZeroStride == 0) return D3DERR_INVALIDCALL;
  // As in Direct3D, a draw from user memory leaves stream 0 unset.
  SetStreamSource(0, nullptr, 0, 0);
  PrepareDraw();
  GLuint buffer = StreamUpload(pVertexStreamZeroData, n * VertexStreamZeroStride);
  gl_.ptrKnown = false;  // the buffer's storage was replaced
  ApplyArrays(buffer, 0, VertexStreamZeroStride);
  glDrawArrays(PrimitiveMode(PrimitiveType), 0, (GLsizei)n);
  return D3D_OK;
}

HRESULT Device::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE PrimitiveType, UINT MinVertexIndex, UINT NumVertices,
                                       UINT PrimitiveCount, const void* pIndexData, D3DFORMAT IndexDataFormat,
                                       const void* pVertexStreamZeroData, UINT VertexStreamZeroStride) {
  UINT n = VertexCount(PrimitiveType, PrimitiveCount);
  if (!pIndexData || !pVertexStreamZeroData || n == 0 || VertexStreamZeroStride == 0 ||
      (IndexDataFormat != D3DFMT_INDEX16 && IndexDataFormat != D3DFMT_INDEX32))
    return D3DERR_INVALIDCALL;
  SetStreamSource(0, nullptr, 0, 0);
  SetIndices(nullptr);
  PrepareDraw();
  GLuint buffer = StreamUpload(pVertexStreamZeroData, (MinVertexIndex + NumVertices) * VertexStreamZeroStride);
  gl_.ptrKnown = false;
  ApplyArrays(buffer, 0, VertexStreamZeroStride);
  UINT indexSize = IndexDataFormat == D3DFMT_INDEX32 ? 4 : 2;
  glNamedBufferData(upIndexBuffer_, n * indexSize, pIndexData, GL_STREAM_DRAW);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, upIndexBuffer_);
  gl_.elementBuffer = upIndexBuffer_;
  glDrawElements(PrimitiveMode(PrimitiveType), (GLsizei)n, indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                 nullptr);
  return D3D_OK;
}

HRESULT Device::SetFVF(DWORD FVF) {
  if (FVF != fvf_) arraysDirty_ = true;
  fvf_ = FVF;
  return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* pFVF) {
  if (!pFVF) return D3DERR_INVALIDCALL;
  *pFVF = fvf_;
  return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9* pStreamData, UINT OffsetInBytes,
                                UINT Stride) {
  if (StreamNumber != 0) return D3DERR_INVALIDCALL;
  VertexBuffer* b = static_cast<VertexBuffer*>(pStreamData);
  if (b != stream_) {
    if (b) b->Bind();
    if (stream_) stream_->Unbind();
    stream_ = b;
  }
  streamOffset_ = OffsetInBytes;
  streamStride_ = Stride;
  return D3D_OK;
}

HRESULT Device::GetStreamSource(UINT StreamNumber, IDirect3DVertexBuffer9** ppStreamData, UINT* pOffsetInBytes,
                                UINT* pStride) {
  if (StreamNumber != 0 || !ppStreamData || !pOffsetInBytes || !pStride) return D3DERR_INVALIDCALL;
  *ppStreamData = stream_;
  if (stream_) stream_->AddRef();
  *pOffsetInBytes = streamOffset_;
  *pStride = streamStride_;
  return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* pIndexData) {
  IndexBuffer* b = static_cast<IndexBuffer*>(pIndexData);
  if (b == indices_) return D3D_OK;
  if (b) b->Bind();
  if (indices_) indices_->Unbind();
  indices_ = b;
  return D3D_OK;
}

HRESULT Device::GetIndices(IDirect3DIndexBuffer9** ppIndexData) {
  if (!ppIndexData) return D3DERR_INVALIDCALL;
  *ppIndexData = indices_;
  if (indices_) indices_->AddRef();
  return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* pShader) {
  VertexShader* s = static_cast<VertexShader*>(pShader);
  if (s == shader_) return D3D_OK;
  if (s) s->Bind();
  if (shader_) shader_->Unbind();
  shader_ = s;
  dirty_ |= kDirtyProgram;
  constantsDirty_ = true;
  return D3D_OK;
}

HRESULT Device::GetVertexShader(IDirect3DVertexShader9** ppShader) {
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = shader_;
  if (shader_) shader_->AddRef();
  return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT StartRegister, const float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > kVertexShaderConstants)
    return D3DERR_INVALIDCALL;
  memcpy(constants_[StartRegister], pConstantData, sizeof(float) * 4 * Vector4fCount);
  constantsDirty_ = true;
  dirty_ |= kDirtyProgram;
  return D3D_OK;
}

HRESULT Device::GetVertexShaderConstantF(UINT StartRegister, float* pConstantData, UINT Vector4fCount) {
  if (!pConstantData || (uint64_t)StartRegister + Vector4fCount > kVertexShaderConstants)
    return D3DERR_INVALIDCALL;
  memcpy(pConstantData, constants_[StartRegister], sizeof(float) * 4 * Vector4fCount);
  return D3D_OK;
}

}  // namespace vrxgl
