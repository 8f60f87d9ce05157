// A single rigid body with box inertia, force and torque accumulators, and an
// explicit Euler and a fourth-order Runge-Kutta integrator.
//
// The orientation maps the body frame to the world: a body-frame vector v is
// v * rotation in world coordinates (row vectors), and inverseRotation (the
// transpose) takes world vectors into the body frame. Angular velocity and
// torque are kept in the body frame, position, velocity and force in the world.
#pragma once

#include "platform/d3dx9math.h"

class cRigidBody {
 public:
  cRigidBody();
  virtual ~cRigidBody();

  // Box between corners a and b with the given mass; the inertia is taken
  // about the body origin, not the box centre.
  void SetBox(D3DXVECTOR3* a, D3DXVECTOR3* b, float mass);
  void SetGravity(float g);
  void Initialise(D3DXVECTOR3* pos, D3DXVECTOR3* vel, D3DXMATRIX* rot, D3DXVECTOR3* rotVel);

  // Clears the accumulators down to the constant weight.
  void ZeroForces();
  void AddBodyForce(D3DXVECTOR3* f, D3DXVECTOR3* p);
  void AddWorldForce(D3DXVECTOR3* f, D3DXVECTOR3* p);
  void AddBodyTorque(D3DXVECTOR3* t);
  void AddWorldTorque(D3DXVECTOR3* t);

  void EulerStep(float h);
  void RK4(float h);

  D3DXVECTOR3 GetLinPos() const { return position; }
  D3DXVECTOR3 GetLinVel() const { return velocity; }
  D3DXVECTOR3 GetRotVel() const { return angularVelocity; }
  D3DXMATRIX GetRotPos() const { return rotation; }
  D3DXQUATERNION GetRotQuat() const { return orientation; }

  void SetLinPos(D3DXVECTOR3* p) { position = *p; }
  void SetLinVel(D3DXVECTOR3* v) { velocity = *v; }
  void SetRotVel(D3DXVECTOR3* w) { angularVelocity = *w; }
  void SetRotQuat(D3DXQUATERNION* q);

 protected:
  // Angular acceleration in the body frame (Euler's equations) at angular velocity w.
  D3DXVECTOR3 AngularAcceleration(const D3DXVECTOR3& w) const;
  // Sets the orientation to q0 + k * (q0 (x) w), renormalised, and refreshes both matrices.
  void AdvanceOrientation(const D3DXQUATERNION& q0, const D3DXVECTOR3& w, float k);
  // Keeps |q| close to 1 and rebuilds rotation and inverseRotation from it.
  void UpdateRotation();

  D3DXVECTOR3 position;         // world
  D3DXVECTOR3 velocity;         // world
  D3DXVECTOR3 angularVelocity;  // body frame
  D3DXVECTOR3 force;            // world frame accumulator
  D3DXVECTOR3 torque;           // body frame accumulator
  D3DXMATRIX rotation;          // from orientation
  D3DXMATRIX inverseRotation;   // transpose of rotation
  D3DXQUATERNION orientation;   // the integrated state
  float mass;
  float gravity;
  float gravityForce;  // -mass * gravity, the y force ZeroForces leaves in place
  float inertia[3];
  float inverseMass;
  float inverseInertia[3];
  float eulerCoefficients[3];  // (Iy - Iz) / Ix, (Iz - Ix) / Iy, (Ix - Iy) / Iz
};
