// The contact solver: completes a found contact (restitution, friction, per
// point effective mass and target separation speed) and turns it into
// impulses on its two bodies.
#pragma once

#include "physics/Collision.h"
#include "physics/PhysBody.h"

namespace Physics {

// Completes a freshly found contact and registers it with its bodies (not
// done).
void PrepareContact(ContactManifold& contact, float dt);
// Applies the impulses the contact needs; true when it applied any. Marks the
// contact done, and when it applied any, reopens every contact listed with
// either body (this one included).
bool SolveContact(ContactManifold& contact);

// Done: solved, and neither body it is listed with took an impulse since.
inline bool IsDone(const ContactManifold& c) {
    return c.solved && (!c.listedA || c.stampA == c.bodyA->impulseCount) &&
           (!c.listedB || c.stampB == c.bodyB->impulseCount);
}
// Marks the contact done as a solve does.
inline void MarkDone(ContactManifold& c) {
    c.solved = true;
    c.stampA = c.bodyA->impulseCount;
    c.stampB = c.bodyB->impulseCount;
}
inline void Reopen(ContactManifold& c) { c.solved = false; }
// Empties the body's contact list; the contacts on it keep the state they
// have now and are no longer reopened by this body's impulses.
void UnlistContacts(PhysBody& body);

}  // namespace Physics
