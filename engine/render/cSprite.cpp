#include "cSprite.h"

#include "cScreen.h"
#include "cTexture.h"
#include "platform/d3dx9sprite.h"

cSprite::cSprite(const char* file, cScreen* screen) : screen(screen), texture(new cTexture(file, screen)), desc() {
  if (texture->GetTexturePointer()) desc = texture->GetTextureInfo();
}

cSprite::~cSprite() { delete texture; }

void cSprite::Draw(const D3DXVECTOR2* scale, const D3DXVECTOR2* centre, float angle, const D3DXVECTOR2* position,
                   DWORD colour) {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  ID3DXSprite* sprite = screen->GetSpritePointer();
  if (!dev || !sprite || !scale || !centre || !position) return;
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
  sprite->Begin(D3DXSPRITE_ALPHABLEND);
  // A zero scale would divide the position by zero and shows nothing anyway
  // (a minimised window has a client area of 0 x 0).
  IDirect3DTexture9* t = texture->GetTexturePointer();
  if (t && scale->x != 0.0f && scale->y != 0.0f) {
    D3DXMATRIX toCentre, turn, place, size;
    D3DXMatrixTranslation(&toCentre, -centre->x, -centre->y, 0.0f);
    D3DXMatrixRotationZ(&turn, angle);
    D3DXMatrixTranslation(&place, position->x / scale->x, position->y / scale->y, 0.0f);
    D3DXMatrixScaling(&size, scale->x, scale->y, 1.0f);
    const D3DXMATRIX m = toCentre * turn * place * size;
    sprite->SetTransform(&m);
    sprite->Draw(t, nullptr, nullptr, nullptr, colour);
  }
  sprite->End();
  dev->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
}

void cSprite::DrawRelative(const D3DXVECTOR2* scale, const D3DXVECTOR2* centre, float angle,
                           const D3DXVECTOR2* position, DWORD colour) {
  if (!scale || !position) return;
  const D3DXVECTOR2 size = screen->GetPixelSize();
  const D3DXVECTOR2 s(size.x * scale->x * 0.001f, size.y * scale->y * 0.0013333333f);
  const D3DXVECTOR2 p(size.x * position->x, size.y * position->y);
  Draw(&s, centre, angle, &p, colour);
}
