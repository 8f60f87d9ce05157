#include "cRigidBody.h"

#include <cstring>

namespace {

const D3DXVECTOR3 kZero(0.0f, 0.0f, 0.0f);

// q (x) (w, 0): the quaternion rate for a body-frame angular velocity, times 2.
D3DXQUATERNION TimesOmega(const D3DXQUATERNION& q, const D3DXVECTOR3& w) {
  return D3DXQUATERNION(q.w * w.x - q.z * w.y + q.y * w.z,
                        q.w * w.y + q.z * w.x - q.x * w.z,
                        q.x * w.y - q.y * w.x + q.w * w.z,
                        -(q.x * w.x + q.y * w.y + q.z * w.z));
}

}  // namespace

cRigidBody::cRigidBody()
    : position(kZero),
      velocity(kZero),
      angularVelocity(kZero),
      force(kZero),
      torque(kZero),
      orientation(0.0f, 0.0f, 0.0f, 0.0f),
      mass(0.0f),
      gravity(0.0f),
      gravityForce(0.0f),
      inertia{0.0f, 0.0f, 0.0f},
      inverseMass(0.0f),
      inverseInertia{0.0f, 0.0f, 0.0f},
      eulerCoefficients{0.0f, 0.0f, 0.0f} {
  std::memset(&rotation, 0, sizeof(rotation));
  std::memset(&inverseRotation, 0, sizeof(inverseRotation));
}

cRigidBody::~cRigidBody() {}

void cRigidBody::SetBox(D3DXVECTOR3* a, D3DXVECTOR3* b, float m) {
  const float third = 0.33333334f;
  const D3DXVECTOR3 d = *b - *a;
  const D3DXVECTOR3 c = (*a + *b) * 0.5f;
  mass = m;
  inertia[0] = m * (d.y * d.y + d.z * d.z) * third + m * (c.y * c.y + c.z * c.z);
  inertia[1] = m * (d.z * d.z + d.x * d.x) * third + m * (c.z * c.z + c.x * c.x);
  inertia[2] = m * (d.y * d.y + d.x * d.x) * third + m * (c.x * c.x + c.y * c.y);
  inverseMass = 1.0f / m;
  for (int i = 0; i < 3; ++i) inverseInertia[i] = 1.0f / inertia[i];
  eulerCoefficients[0] = (inertia[1] - inertia[2]) / inertia[0];
  eulerCoefficients[1] = (inertia[2] - inertia[0]) / inertia[1];
  eulerCoefficients[2] = (inertia[0] - inertia[1]) / inertia[2];
  gravityForce = -m * gravity;
}

void cRigidBody::SetGravity(float g) {
  gravity = g;
  gravityForce = -g * mass;
}

void cRigidBody::Initialise(D3DXVECTOR3* pos, D3DXVECTOR3* vel, D3DXMATRIX* rot, D3DXVECTOR3* rotVel) {
  position = *pos;
  velocity = *vel;
  rotation = *rot;
  angularVelocity = *rotVel;
  D3DXQuaternionRotationMatrix(&orientation, &rotation);
  D3DXMatrixTranspose(&inverseRotation, &rotation);
}

void cRigidBody::ZeroForces() {
  force = D3DXVECTOR3(0.0f, gravityForce, 0.0f);
  torque = kZero;
}

void cRigidBody::AddBodyForce(D3DXVECTOR3* f, D3DXVECTOR3* p) {
  D3DXVECTOR3 t, fw;
  torque += *D3DXVec3Cross(&t, p, f);
  force += *D3DXVec3TransformNormal(&fw, f, &rotation);
}

void cRigidBody::AddWorldForce(D3DXVECTOR3* f, D3DXVECTOR3* p) {
  const D3DXVECTOR3 r = *p - position;
  D3DXVECTOR3 t, tb;
  D3DXVec3Cross(&t, &r, f);
  torque += *D3DXVec3TransformNormal(&tb, &t, &inverseRotation);
  force += *f;
}

void cRigidBody::AddBodyTorque(D3DXVECTOR3* t) { torque += *t; }

void cRigidBody::AddWorldTorque(D3DXVECTOR3* t) {
  D3DXVECTOR3 tb;
  torque += *D3DXVec3TransformNormal(&tb, t, &inverseRotation);
}

void cRigidBody::SetRotQuat(D3DXQUATERNION* q) {
  orientation = *q;
  D3DXMatrixRotationQuaternion(&rotation, &orientation);
  D3DXMatrixTranspose(&inverseRotation, &rotation);
}

D3DXVECTOR3 cRigidBody::AngularAcceleration(const D3DXVECTOR3& w) const {
  return D3DXVECTOR3(inverseInertia[0] * torque.x + eulerCoefficients[0] * w.y * w.z,
                     inverseInertia[1] * torque.y + eulerCoefficients[1] * w.x * w.z,
                     inverseInertia[2] * torque.z + eulerCoefficients[2] * w.x * w.y);
}

void cRigidBody::UpdateRotation() {
  // One Newton step towards unit length; cheap, and the band keeps it from
  // touching quaternions that are already good enough.
  const float n = D3DXQuaternionDot(&orientation, &orientation);
  if (n < 0.9999f || n > 1.0001f) orientation *= (n + 1.0f) / (2.0f * n);
  D3DXMatrixRotationQuaternion(&rotation, &orientation);
  D3DXMatrixTranspose(&inverseRotation, &rotation);
}

void cRigidBody::AdvanceOrientation(const D3DXQUATERNION& q0, const D3DXVECTOR3& w, float k) {
  orientation = q0 + TimesOmega(q0, w) * k;
  UpdateRotation();
}

void cRigidBody::EulerStep(float h) {
  const D3DXVECTOR3 w0 = angularVelocity;
  position += h * velocity;
  velocity += (h * inverseMass) * force;
  AdvanceOrientation(orientation, w0, h * 0.5f);
  angularVelocity = w0 + h * AngularAcceleration(w0);
}

void cRigidBody::RK4(float h) {
  // Force and torque are constant over the step, so the linear stages need
  // only the stage velocities and every orientation stage is taken at q0. The
  // intermediate positions and orientations feed nothing, so only the final
  // combination is formed.
  const D3DXVECTOR3 p0 = position, v0 = velocity, w0 = angularVelocity;
  const D3DXQUATERNION q0 = orientation;
  const D3DXVECTOR3 acc = inverseMass * force;
  const float half = h * 0.5f;

  const D3DXVECTOR3 a0 = AngularAcceleration(w0);
  const D3DXVECTOR3 w1 = w0 + half * a0;
  const D3DXVECTOR3 v1 = v0 + half * acc;
  const D3DXVECTOR3 a1 = AngularAcceleration(w1);
  const D3DXVECTOR3 w2 = w0 + half * a1;
  const D3DXVECTOR3 v2 = v0 + half * acc;
  const D3DXVECTOR3 a2 = AngularAcceleration(w2);
  const D3DXVECTOR3 w3 = w0 + h * a2;
  const D3DXVECTOR3 v3 = v0 + h * acc;
  const D3DXVECTOR3 a3 = AngularAcceleration(w3);

  const float sixth = h / 6.0f;
  position = p0 + sixth * (v0 + 2.0f * v1 + 2.0f * v2 + v3);
  AdvanceOrientation(q0, (w0 + 2.0f * w1 + 2.0f * w2 + w3) * 0.5f, sixth);
  velocity = v0 + sixth * (acc + 2.0f * acc + 2.0f * acc + acc);
  angularVelocity = w0 + sixth * (a0 + 2.0f * a1 + 2.0f * a2 + a3);

  const float damping = 1.0f - h * 0.02f;
  angularVelocity *= damping;
  velocity *= damping;
}
