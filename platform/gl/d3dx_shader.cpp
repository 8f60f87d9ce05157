// D3DX buffers and vertex shader "assembly": this device takes GLSL source,
// so assembling is reading the file into a buffer; CreateVertexShader compiles.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/d3dx9.h"
#include "platform/files.h"

namespace {

class Buffer final : public ID3DXBuffer {
 public:
  explicit Buffer(DWORD size) : data_(size) {}
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  void* GetBufferPointer() override { return data_.data(); }
  DWORD GetBufferSize() override { return (DWORD)data_.size(); }

 private:
  ~Buffer() override = default;
  ULONG refs_ = 1;
  std::vector<uint8_t> data_;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD NumBytes, ID3DXBuffer** ppBuffer) {
  if (!ppBuffer) return D3DERR_INVALIDCALL;
  *ppBuffer = new Buffer(NumBytes);
  return D3D_OK;
}

HRESULT D3DXAssembleShaderFromFileA(LPCSTR pSrcFile, const D3DXMACRO* pDefines, LPD3DXINCLUDE pInclude,
                                    DWORD Flags, LPD3DXBUFFER* ppShader, LPD3DXBUFFER* ppErrorMsgs) {
  if (ppErrorMsgs) *ppErrorMsgs = nullptr;
  if (!ppShader) return D3DERR_INVALIDCALL;
  *ppShader = nullptr;
  if (!pSrcFile || pDefines || pInclude || Flags) return D3DERR_INVALIDCALL;
  FILE* f = vrx::OpenFileReported(pSrcFile, "rb");
  if (!f) return D3DXERR_INVALIDDATA;
  std::vector<char> text;
  char chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) text.insert(text.end(), chunk, chunk + n);
  fclose(f);
  if (memchr(text.data(), 0, text.size())) {
    fprintf(stderr, "vrx: %s is not shader source text\n", pSrcFile);
    return D3DXERR_INVALIDDATA;
  }
  ID3DXBuffer* buffer = nullptr;
  D3DXCreateBuffer((DWORD)text.size() + 1, &buffer);
  memcpy(buffer->GetBufferPointer(), text.data(), text.size());
  static_cast<char*>(buffer->GetBufferPointer())[text.size()] = 0;
  *ppShader = buffer;
  return D3D_OK;
}
