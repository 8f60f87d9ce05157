// cCarPreview: the selected car on the menu's turntable, with the two lines
// of its description. It loads the car's mesh and data file like the race
// car does, but only to draw them: the wheels stand where the car's weight
// leaves them on their springs.
#pragma once

#include <cstdint>

#include "platform/d3dx9math.h"

class cScreen;
class cMoObject;
class cTexture;

class cCarPreview {
 public:
  // The car data file exactly as stored (144 bytes); only the wheel places,
  // spring rates and mass matter to the preview.
  struct CarFile {
    D3DXVECTOR3 WheelPos[4];
    float FrontSpring;
    float RearSpring;
    float FrontDamping;
    float RearDamping;
    float TyreFriction;
    float SideSlipDiv;
    float BodyMass;
    float BrakeForce;
    float DragCoef;
    float MaxRPM;
    float UpshiftRPM;
    float DownshiftRPM;
    float GearRatio[8];
    uint32_t Unused;
    float FinalDrive;
    int32_t GearCount;
    int32_t FrontDrive;
  };
  static_assert(sizeof(CarFile) == 144, "the car data file is 144 bytes");

  // basePath: a car list entry; the files are basePath + ".mo", ".cdf", ".txt".
  cCarPreview(const char* basePath, cScreen* screen);
  ~cCarPreview();
  cCarPreview(const cCarPreview&) = delete;
  cCarPreview& operator=(const cCarPreview&) = delete;

  // Turns the turntable by the time since the last preview was drawn and
  // draws the car right of the screen centre, envTexture (may be null) as
  // its reflection and plateTexture on its number plates.
  void Draw(cTexture* envTexture, cTexture* plateTexture);

  // The car alone at `world` (its frame to the world), wheels where the
  // preview stands them; the caller has set the camera, lights and blending.
  void DrawPlaced(const D3DXMATRIX& world, cTexture* plateTexture);

  // The description's two lines, newlines as read; empty without the file.
  const char* GetDescription1() const { return description1; }
  const char* GetDescription2() const { return description2; }
  // The data file with the wheel heights set on their springs.
  const CarFile& GetCarData() const { return carData; }
  // The turntable's angle, shared by every preview (radians, ever growing).
  static float GetTurntableAngle() { return turntableAngle; }

 private:
  void SettleWheels(float radius);
  void DrawParts(const D3DXMATRIX& world, cTexture* plateTexture);

  cScreen* screen;
  cMoObject* mesh;
  uint32_t wheelObject;
  uint32_t partObjects[256];
  uint32_t partCount;
  uint32_t plateObjects[4];
  uint32_t plateCount;
  CarFile carData;
  char description1[128];
  char description2[128];
  bool hasWheel;

  static float turntableAngle;
  static uint32_t lastTick;
};
