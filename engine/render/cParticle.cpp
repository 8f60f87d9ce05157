#include "cParticle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cScreen.h"
#include "cTexture.h"
#include "mathkit/mathkit.h"
#include "platform/d3dx9sprite.h"

namespace {

// A value in [0, 32767] from rand(), whatever the C library's RAND_MAX: the
// emitters' spreads are scaled for a 15-bit generator.
int Rand15() { return std::rand() / (RAND_MAX / 32768 + 1); }

float Random01() { return static_cast<float>(Rand15()) / 32767.0f; }

}  // namespace

cParticle::cParticle(unsigned long count, const char* textureFile, cScreen* screen)
    : screen(screen), texture(nullptr), particles(nullptr), count(0) {
  fade = 0;
  grow = 0;
  startSize = 1.0f;
  texture = new cTexture(textureFile, screen);
  const D3DSURFACE_DESC desc = texture->GetTextureInfo();
  spriteCentre = texture->GetTexturePointer()
                     ? D3DXVECTOR3(desc.Width * 0.5f, desc.Height * 0.5f, 0.0f)
                     : D3DXVECTOR3(0.0f, 0.0f, 0.0f);
  if (count > 0) {
    particles = static_cast<_PARTICLE*>(std::malloc(count * sizeof(_PARTICLE)));
    if (particles) {
      this->count = static_cast<uint32_t>(count);
      std::memset(particles, 0, count * sizeof(_PARTICLE));
    } else {
      std::fprintf(stderr, "vrx: no memory for %lu particles\n", count);
    }
  }
  spawnTimer = 0.0f;
  spawnInterval = 0.0f;
  std::srand(1);
  speedSpread = 0.1f;
  positionSpread = 0.1f;
}

cParticle::~cParticle() {
  delete texture;
  std::free(particles);
}

float cParticle::GetRandom(float x) { return -(0.5f + Random01()) * x; }

void cParticle::DoStep(float dt) {
  spawnTimer += dt;
  for (uint32_t i = 0; i < count; ++i) {
    _PARTICLE& p = particles[i];
    if (p.alive) {
      if (p.age > lifetime) {
        p.alive = 0;
        continue;
      }
      p.age += dt;
      p.velocity.x += 0.5f * acceleration.x * dt * dt;
      p.velocity.y += 0.5f * acceleration.y * dt * dt;
      p.velocity.z += 0.5f * acceleration.z * dt * dt;
      p.position.x += p.velocity.x * dt;
      p.position.y += p.velocity.y * dt;
      p.position.z += p.velocity.z * dt;
    } else if (spawnTimer > spawnInterval && !stopped) {
      p.alive = 1;
      p.age = 0.0f;
      p.position.x = position.x + GetRandom(positionSpread);
      p.position.y = position.y + GetRandom(positionSpread);
      p.position.z = position.z + GetRandom(positionSpread);
      const float speed = emissionSpeed + GetRandom(speedSpread * emissionSpeed);
      p.velocity = D3DXVECTOR3(speed * direction.x, speed * direction.y, speed * direction.z);
      spawnTimer = 0.0f;
    }
  }
}

void cParticle::Draw() {
  IDirect3DDevice9* dev = screen->GetDevicePointer();
  ID3DXSprite* sprite = screen->GetSpritePointer();
  if (!dev || !sprite) return;
  dev->SetRenderState(D3DRS_ZWRITEENABLE, 0);
  screen->SetLighting(0);
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  const D3DXMATRIX camera = screen->GetCameraMtx();
  sprite->SetWorldViewLH(nullptr, &camera);
  sprite->Begin(D3DXSPRITE_OBJECTSPACE | D3DXSPRITE_BILLBOARD | D3DXSPRITE_ALPHABLEND |
                D3DXSPRITE_SORT_DEPTH_FRONTTOBACK);
  for (uint32_t i = 0; i < count; ++i) {
    const _PARTICLE& p = particles[i];
    if (!p.alive) continue;
    // A zero lifetime counts as fully aged instead of dividing by zero.
    const float ratio = lifetime > 0.0f ? p.age / lifetime : 1.0f;
    int alpha = 255;
    if (fade) {
      // Clamped at 0 too: a particle drawn after outliving its lifetime
      // would otherwise wrap to an opaque colour.
      const float a = (1.1f - ratio) * 255.0f;
      alpha = a >= 255.0f ? 255 : a <= 0.0f ? 0 : static_cast<int>(a);
    }
    float size = startSize;
    if (grow) size = startSize + ratio * (endSize - startSize);
    D3DXMATRIX scale, move;
    mathkit::Scaling(&scale, size);
    mathkit::TranslationV(&move, p.position.x, p.position.y, p.position.z);
    const D3DXMATRIX m = scale * move;
    sprite->SetTransform(&m);
    sprite->Draw(texture->GetTexturePointer(), nullptr, &spriteCentre, nullptr,
                 static_cast<DWORD>(alpha) << 24 | 0xFFFFFF);
  }
  sprite->End();
  dev->SetRenderState(D3DRS_ALPHAREF, 15);
  dev->SetRenderState(D3DRS_ZWRITEENABLE, 1);
}
