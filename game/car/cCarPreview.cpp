#include "car/cCarPreview.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "cMoObject.h"
#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "platform/files.h"
#include "platform/win32.h"

float cCarPreview::turntableAngle = 0.0f;
uint32_t cCarPreview::lastTick = 0;

cCarPreview::cCarPreview(const char* basePath, cScreen* screen)
    : screen(screen), mesh(nullptr), wheelObject(0), partCount(0), plateCount(0), hasWheel(false) {
  memset(partObjects, 0, sizeof partObjects);
  memset(plateObjects, 0, sizeof plateObjects);
  memset(&carData, 0, sizeof carData);
  description1[0] = description2[0] = 0;
  if (!basePath) basePath = "";

  char name[300];
  snprintf(name, sizeof name, "%s.%s", basePath, "mo");
  mesh = new cMoObject(name, screen, nullptr);

  // Lights are left out: the preview stands in daylight.
  const unsigned long objects = mesh->ObjCount();
  for (unsigned long i = 0; i < objects; ++i) {
    const char first = mesh->GetName(i)[0];
    if (first == 'l') continue;
    if (first == 'm') {
      if (plateCount < 4) plateObjects[plateCount++] = i;
    } else if (first == 'w') {
      wheelObject = i;
      hasWheel = true;
    } else if (partCount < 256) {
      partObjects[partCount++] = i;
    }
  }
  float radius = 0.0f;
  if (hasWheel) radius = (mesh->GetMaxBBox(wheelObject).y - mesh->GetMinBBox(wheelObject).y) * 0.5f;

  snprintf(name, sizeof name, "%s.%s", basePath, "cdf");
  if (FILE* f = vrx::OpenFileReported(name, "rb")) {
    fread(&carData, 1, sizeof carData, f);
    fclose(f);
  }
  SettleWheels(radius);

  snprintf(name, sizeof name, "%s.%s", basePath, "txt");
  if (FILE* f = vrx::OpenFile(name, "r")) {
    if (!fgets(description1, sizeof description1, f)) description1[0] = 0;
    if (!fgets(description2, sizeof description2, f)) description2[0] = 0;
    fclose(f);
  }
}

cCarPreview::~cCarPreview() { delete mesh; }

void cCarPreview::SettleWheels(float radius) {
  // Without a wheel there is nothing to stand on springs, and a spring rate
  // of 0 (or axles at one place) gives no height: those wheels keep the
  // file's heights.
  if (!hasWheel) return;
  const float a = std::fabs((carData.WheelPos[0].z + carData.WheelPos[1].z) * 0.5f);
  const float b = std::fabs((carData.WheelPos[2].z + carData.WheelPos[3].z) * 0.5f);
  const float m = carData.BodyMass;
  if (a + b == 0.0f) return;
  if (carData.FrontSpring != 0.0f) {
    const float y = carData.WheelPos[0].y + radius + m * 9.81f * b / (a + b) * 0.5f / carData.FrontSpring;
    carData.WheelPos[0].y = carData.WheelPos[1].y = y;
  }
  if (carData.RearSpring != 0.0f) {
    const float y = carData.WheelPos[2].y + radius + m * 9.81f * a / (a + b) * 0.5f / carData.RearSpring;
    carData.WheelPos[2].y = carData.WheelPos[3].y = y;
  }
}

void cCarPreview::Draw(cTexture* envTexture, cTexture* plateTexture) {
  IDirect3DDevice9* device = screen->GetDevicePointer();
  if (!device) return;
  const uint32_t now = GetTickCount();
  if (lastTick == 0) lastTick = now;
  turntableAngle += (float)(uint32_t)(now - lastTick) * 0.001f;

  if (envTexture) {
    device->SetTextureStageState(1, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    envTexture->Set(1);
  }
  device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
  screen->SetLight(TRUE);
  screen->SetCamera(D3DXVECTOR3(-3, 2, -10), D3DXVECTOR3(-3, 2, 0), D3DXVECTOR3(0, 1, 0));

  D3DXMATRIX turn;
  RotationY(&turn, turntableAngle);

  DrawParts(turn, plateTexture);
  screen->SetLight(FALSE);
  lastTick = now;
}

void cCarPreview::DrawPlaced(const D3DXMATRIX& world, cTexture* plateTexture) {
  if (!screen->GetDevicePointer()) return;
  DrawParts(world, plateTexture);
}

void cCarPreview::DrawParts(const D3DXMATRIX& world, cTexture* plateTexture) {
  IDirect3DDevice9* device = screen->GetDevicePointer();
  D3DXMATRIX placed = world;
  screen->SetWorldMatrix(&placed);
  for (uint32_t i = 0; i < partCount; ++i) mesh->Draw(partObjects[i]);
  for (uint32_t i = 0; i < plateCount; ++i) mesh->DrawOneTexture(plateObjects[i], plateTexture);

  device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
  screen->OffStage(1);
  device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);

  if (hasWheel) {
    // Wheels 0 and 2 are turned half round so the wheel's outer face shows
    // on their side too.
    D3DXMATRIX flip;
    RotationY(&flip, 3.14f);
    static const int order[4] = {0, 2, 1, 3};
    for (int k = 0; k < 4; ++k) {
      const int w = order[k];
      const D3DXVECTOR3& p = carData.WheelPos[w];
      D3DXMATRIX place, at;
      TranslationV(&place, p.x, p.y, p.z);
      at = (w == 0 || w == 2) ? flip * place * world : place * world;
      screen->SetWorldMatrix(&at);
      mesh->Draw(wheelObject);
    }
  }
}
