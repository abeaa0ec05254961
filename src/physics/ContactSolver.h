// The contact solver: completes a found contact (restitution, friction, per
// point effective mass and target separation speed) and turns it into
// impulses on its two bodies.
#pragma once

namespace Physics {

struct ContactManifold;

// Completes a freshly found contact and registers it with its bodies.
void PrepareContact(ContactManifold& contact, float dt);
// Applies the impulses the contact needs; true when it applied any.
bool SolveContact(ContactManifold& contact);

}  // namespace Physics
