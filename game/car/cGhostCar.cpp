#include "car/cGhostCar.h"

#include <cstdio>

#include "cScreen.h"
#include "car/cCarPreview.h"
#include "mathkit/mathkit.h"

cGhostCar::cGhostCar(const char* entry, cScreen* scr) : carEntry(entry ? entry : ""), screen(scr), model(nullptr) {
  model = new cCarPreview(carEntry.c_str(), screen);
}

cGhostCar::~cGhostCar() { delete model; }

D3DXMATRIX cGhostCar::WorldMatrix(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation) {
  D3DXMATRIX turn, move;
  D3DXMatrixRotationQuaternion(&turn, &rotation);
  TranslationV(&move, position.x, position.y, position.z);
  return turn * move;
}

void cGhostCar::Draw(const D3DXVECTOR3& position, const D3DXQUATERNION& rotation, cTexture* plateTexture) {
  IDirect3DDevice9* dev = screen ? screen->GetDevicePointer() : nullptr;
  if (!dev || !model) return;
  // Source times the tint plus what is behind times its complement, channel
  // by channel, whatever the textures' alpha.
  dev->SetRenderState(D3DRS_BLENDFACTOR, kTint);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVBLENDFACTOR);
  screen->OffStage(1);
  screen->SetLight(TRUE);
  model->DrawPlaced(WorldMatrix(position, rotation), plateTexture);
  screen->SetLight(FALSE);
  dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  dev->SetRenderState(D3DRS_BLENDFACTOR, 0xFFFFFFFF);
  D3DXMATRIX identity;
  screen->SetWorldMatrix(MatrixIdentity(&identity));
}
