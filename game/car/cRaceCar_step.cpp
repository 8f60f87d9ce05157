// cRaceCar: the per-frame update (controls, dents, physics, sounds, skids).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "cCar.h"
#include "cGround.h"
#include "cInput.h"
#include "cMoObject.h"
#include "cParticle.h"
#include "car/cRaceCar.h"
#include "mathkit/mathkit.h"
#include "sound/cSound3D.h"

namespace {

constexpr float kSteerRate = 0.7f;   // radians a second
constexpr float kSteerLimit = 0.6f;  // the keys stop adding beyond this
constexpr BYTE kLeftCtrl = 0x1D;
constexpr float kSkidStepSq = 0.5f;  // a mark segment per sqrt(0.5) m of skid
constexpr float kDentReach = 0.5f;   // vertices this near a contact are pushed out
constexpr DWORD kDentColour = 0x00404040;
constexpr DWORD kCrashRumbleMs = 250;

bool Held(const BYTE* keys, BYTE code) { return (keys[code] & 0x80) != 0; }

}  // namespace

void cRaceCar::Step(float dt) {
  if (!car) return;
  lastDt = dt;

  switch (controlMode) {
    case 0:
      if (input && keyMap) {
        input->GetKeyboardState();
        ReadKeyboard(dt);
      }
      break;
    case 1:
      if (input) {
        // Only the joystick drives; the key table is still kept fresh for
        // the race's own keys (the camera).
        input->GetKeyboardState();
        ReadJoystick();
      }
      break;
    case 2:
      if (input) {
        input->GetKeyboardState();
        if (car->Steering < -0.5f) car->Steering = -0.5f;
        if (car->Steering > 0.5f) car->Steering = 0.5f;
        car->SpareControl = Held(input->Keys, kLeftCtrl) ? 1 : 0;
      }
      break;
    default:
      break;  // controls come from outside (replay)
  }

  if (deformation) Deform();

  car->DoStep(dt);
  for (cParticle* p : smoke) {
    p->DoStep(dt);
    p->stopped = 1;
  }
  RefreshState();
  UpdateSounds();
  LaySkidsAndSmoke();
}

void cRaceCar::ReadKeyboard(float dt) {
  const BYTE* keys = input->Keys;
  float steering = car->Steering;
  // Two half-rules, one per key: releasing returns to exactly 0, holding
  // both cancels out, and a key held against the angle doubles the return.
  if (Held(keys, keyMap[RACECAR_KEY_STEER_NEGATIVE])) {
    if (steering > -kSteerLimit) steering -= kSteerRate * dt;
  } else if (steering < 0.0f) {
    steering += kSteerRate * dt;
    if (steering > 0.0f) steering = 0.0f;
  }
  if (Held(keys, keyMap[RACECAR_KEY_STEER_POSITIVE])) {
    if (steering < kSteerLimit) steering += kSteerRate * dt;
  } else if (steering > 0.0f) {
    steering -= kSteerRate * dt;
    if (steering < 0.0f) steering = 0.0f;
  }
  car->Steering = steering;

  car->Throttle = Held(keys, keyMap[RACECAR_KEY_THROTTLE]) ? 1.0f : 0.0f;

  if (Held(keys, keyMap[RACECAR_KEY_BRAKE])) {
    if (car->Brake < 1.0f) car->Brake += dt;
    else car->Brake = 1.0f;
  } else {
    car->Brake = 0.0f;
  }

  car->Handbrake = Held(keys, keyMap[RACECAR_KEY_HANDBRAKE]) ? 1 : 0;

  // Gears change on the press only; the car keeps them in range.
  const int32_t up = Held(keys, keyMap[RACECAR_KEY_GEAR_UP]) ? 1 : 0;
  const int32_t down = Held(keys, keyMap[RACECAR_KEY_GEAR_DOWN]) ? 1 : 0;
  int32_t gear = car->Gear;
  if (up && !keyGearUpHeld) ++gear;
  if (down && !keyGearDownHeld) --gear;
  keyGearUpHeld = up;
  keyGearDownHeld = down;
  car->Gear = gear;
}

void cRaceCar::ReadJoystick() {
  const DIJOYSTATE2 js = input->GetJoyState();
  float throttle = 1.0f - (float)js.lY / 32768.0f;
  if (throttle < 0.0f) throttle = 0.0f;
  car->Throttle = throttle;
  car->Steering = ((float)js.lX - 32768.0f) / 32768.0f * -0.6f;
  float brake = 1.0f - (float)js.rglSlider[0] * (1.0f / 65535.0f);
  if (std::fabs(brake) < 0.05f) brake = 0.0f;
  car->Brake = brake;
  const int32_t up = js.rgbButtons[0] ? 1 : 0;
  const int32_t down = js.rgbButtons[1] ? 1 : 0;
  int32_t gear = car->Gear;
  if (up && !joyGearUpHeld) ++gear;
  if (down && !joyGearDownHeld) --gear;
  joyGearUpHeld = up;
  joyGearDownHeld = down;
  car->Gear = gear;
}

// Dents from the contacts of the last physics step: vertices behind the
// contact plane and near the contact are pushed out to it and darkened;
// damage grows with the depth. The light sprites and the collision box then
// follow the dented mesh.
void cRaceCar::Deform() {
  if (damage >= 100.0f) return;
  bool moved = false;
  for (int r = 0; r < CAR_MAX_COLLISIONS; ++r) {
    _CARCOLLISION& c = car->Collisions[r];
    if (!c.Valid) continue;
    c.Position += c.Normal * 0.1f;
    D3DXPLANE plane;
    D3DXPlaneFromPointNormal(&plane, &c.Position, &c.Normal);
    const float normalLength = std::sqrt(plane.a * plane.a + plane.b * plane.b + plane.c * plane.c);
    for (uint32_t o = 0; o < objectCount; ++o) {
      if (o == wheelObject) continue;
      // An object whose box lies farther than the reach has no vertex to push.
      const D3DXVECTOR3& mn = objectBoxes[2 * o];
      const D3DXVECTOR3& mx = objectBoxes[2 * o + 1];
      const float dx = std::max(std::max(mn.x - c.Position.x, c.Position.x - mx.x), 0.0f);
      const float dy = std::max(std::max(mn.y - c.Position.y, c.Position.y - mx.y), 0.0f);
      const float dz = std::max(std::max(mn.z - c.Position.z, c.Position.z - mx.z), 0.0f);
      if (!(dx * dx + dy * dy + dz * dz < kDentReach * kDentReach)) continue;
      const uint32_t first = objectFirstVertex[o];
      bool objectMoved = false;
      for (uint32_t v = first; v < objectFirstVertex[o + 1]; ++v) {
        _MOVERTEX& x = vertices[v];
        const float s = plane.a * x.x + plane.b * x.y + plane.c * x.z + plane.d;
        if (!(s < 0.0f)) continue;
        const D3DXVECTOR3 p(x.x, x.y, x.z);
        const D3DXVECTOR3 away = p - c.Position;
        if (!(D3DXVec3Length(&away) < kDentReach)) continue;
        const float depth = std::fabs(s) / normalLength;
        const _MOVERTEX was = x;
        x.x += c.Normal.x * depth;
        x.y += c.Normal.y * depth;
        x.z += c.Normal.z * depth;
        x.diffuse = kDentColour;
        // A vertex already on the plane comes out as it was: nothing to write.
        if (x.x != was.x || x.y != was.y || x.z != was.z || was.diffuse != kDentColour) {
          mesh->SetObjVertex(o, v - first, &x);
          objectMoved = true;
        }
        damage += depth * 1.15f;
        if (damage > 100.0f) damage = 100.0f;
      }
      if (objectMoved) {
        MeshBox(o, &objectBoxes[2 * o], &objectBoxes[2 * o + 1]);
        moved = true;
      }
    }
  }
  // Boxes change only when a vertex moved; without one the work below would
  // find everything as it was.
  if (!moved) return;

  uint32_t brake = 0, reverse = 0;
  for (uint32_t o = 0; o < objectCount; ++o) {
    const char* name = mesh->GetName(o);
    if (name[0] != 'l') continue;
    _CARLIGHT* light = nullptr;
    if (name[1] == 's' && brake < brakeLightCount) light = &brakeLights[brake++];
    else if (name[1] == 'r' && reverse < reverseLightCount) light = &reverseLights[reverse++];
    if (!light) continue;
    const D3DXVECTOR3 centre = objectBoxes[2 * o] * 0.5f + objectBoxes[2 * o + 1] * 0.5f;
    if (centre.x != light->centre.x || centre.y != light->centre.y || centre.z != light->centre.z) {
      // A moved lamp is a broken lamp.
      light->width = 0.0f;
      light->centre = D3DXVECTOR3(0, 0, 0);
    }
  }

  // The engine rebuilds its collision box on every SetCarData: only when the
  // body's box really changed.
  _CARDATA data = car->GetCarData();
  const D3DXVECTOR3& mn = objectBoxes[2 * bodyObject];
  const D3DXVECTOR3& mx = objectBoxes[2 * bodyObject + 1];
  if (mn == data.BBoxMin && mx == data.BBoxMax) return;
  data.BBoxMin = mn;
  data.BBoxMax = mx;
  car->SetCarData(&data);
}

void cRaceCar::UpdateSounds() {
  engineSound->SetPos(&position);
  engineSound->SetSampleFreq(EngineSoundFreq(car->GetEngineRot()));

  const _WHEELSKIDS skids = car->GetSkids();
  if (skids.Skid[0] || skids.Skid[1] || skids.Skid[2] || skids.Skid[3]) {
    skidSound->SetPos(&position);
    skidSound->PlayLooping();
  } else {
    skidSound->Stop();
  }

  const int32_t gear = car->GetGear();
  if (gear != lastGear) {
    lastGear = gear;
    shiftSound->SetPos(&position);
    shiftSound->Play();
  }

  crashSound->SetPos(&position);
  const D3DXVECTOR3 bodyVelocity = car->GetBodyVel();
  if (CrashSoundDue(car->IsCollision(), bodyVelocity)) {
    crashSound->Play();
    // The player feels what they hear, on the controller they drive with.
    if (controlMode == 1 && input) input->Rumble(CrashRumble(D3DXVec3Length(&bodyVelocity)), kCrashRumbleMs);
  }
}

unsigned long cRaceCar::EngineSoundFreq(float engineSpeed) {
  const float rpm = engineSpeed * CAR_RADS_TO_RPM;
  // An engine turning backwards (or absurdly fast) must not wrap round.
  if (!(rpm > -1499.0f)) return 8;
  if (rpm > 1.0e6f) return 8UL * (1500 + 1000000);
  return (unsigned long)((1500L + (long)(int)rpm) * 8L);
}

float cRaceCar::CrashRumble(float speed) {
  if (!(speed > 1.0f)) return 0.0f;
  const float strength = 0.25f + 0.75f * (speed - 1.0f) / 19.0f;
  return strength < 1.0f ? strength : 1.0f;
}

bool cRaceCar::CrashSoundDue(int collision, D3DXVECTOR3 bodyVelocity) {
  if (collision && !crashLatch && D3DXVec3Length(&bodyVelocity) > 1.0f) {
    crashLatch = 1;
    return true;
  }
  crashLatch = 0;
  return false;
}

void cRaceCar::LaySkidsAndSmoke() {
  const _WHEELSKIDS skids = car->GetSkids();
  const _SUSPSTATE world = car->GetWorldSuspState();
  for (int w = 0; w < 4; ++w) {
    if (!skids.Skid[w]) {
      skidActive[w] = 0;
      continue;
    }
    const D3DXVECTOR3& p = world.Point[w];
    D3DXVECTOR3& last = lastSkidPoints[w];
    if (skidActive[w]) {
      const D3DXVECTOR3 d = p - last;
      if (D3DXVec3LengthSq(&d) > kSkidStepSq) {
        D3DXVECTOR3 to = p;
        if (ground) ground->AddSkid(&last, &to, w < 2 ? frontSkidWidth : rearSkidWidth);
        last = p;
      }
    } else {
      skidActive[w] = 1;
      last = p;
    }
    smoke[w]->position = D3DXVECTOR3(last.x, last.y + 0.3f, last.z);
    smoke[w]->stopped = 0;
  }
}
