// cParticle: a fixed pool of camera-facing textured particles born at the
// emitter with a random spread, flying under a constant acceleration,
// growing and fading with age. The owner sets the public tuning fields after
// construction and may change them between steps.
#pragma once

#include <cstdint>

#include "platform/d3dx9math.h"

class cScreen;
class cTexture;

#pragma pack(push, 1)
struct _PARTICLE {
  float age;  // seconds since birth
  D3DXVECTOR3 position;
  D3DXVECTOR3 velocity;
  int32_t alive;
};
#pragma pack(pop)
static_assert(sizeof(_PARTICLE) == 32, "_PARTICLE is 32 bytes");

class cParticle {
 public:
  D3DXVECTOR3 position;      // emitter position (world)
  D3DXVECTOR3 direction;     // emission direction, used as given
  D3DXVECTOR3 acceleration;  // of every particle
  float lifetime;            // seconds
  float emissionSpeed;
  float spawnInterval;    // seconds between births
  float positionSpread;   // size of the random birth offset per axis
  float speedSpread;      // relative size of the random speed reduction
  float startSize;
  float endSize;
  int32_t stopped;  // nonzero: nothing is born
  int32_t fade;     // nonzero: alpha falls with age
  int32_t grow;     // nonzero: size goes from startSize to endSize with age

  // Every new emitter restarts the C library's random sequence (srand(1)),
  // which all emitters share.
  cParticle(unsigned long count, const char* textureFile, cScreen* screen);
  ~cParticle();
  // Copies every field: the two emitters then share one texture and one pool.
  cParticle& operator=(const cParticle&) = default;

  void DoStep(float dt);
  // Draws the living particles as billboards through the screen's sprite.
  void Draw();

  // The pool, for inspection.
  const _PARTICLE* GetParticles() const { return particles; }
  uint32_t GetCount() const { return count; }

 private:
  // -(0.5 + r) * x with r uniform in [0, 1].
  float GetRandom(float x);

  cScreen* screen;
  cTexture* texture;
  _PARTICLE* particles;
  uint32_t count;
  float spawnTimer;
  D3DXVECTOR3 spriteCentre;
};
