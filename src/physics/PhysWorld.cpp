#include "physics/PhysWorld.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "physics/Collision.h"
#include "physics/ContactSolver.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace Physics {

using Geometry::Vector3;

namespace {

// Stable removal of one body from a list; false when it is not there.
bool EraseBody(std::vector<PhysBodyPtr>& list, PhysBody* body) {
    for (auto it = list.begin(); it != list.end(); ++it)
        if (it->get() == body) {
            list.erase(it);
            return true;
        }
    return false;
}

// Asks for the first cache lines of a contact record: the header and the
// first points, which a visit reads first.
inline void Prefetch(const ContactManifold* c) {
    const char* p = reinterpret_cast<const char*>(c);
    for (int line = 0; line < 4; ++line) __builtin_prefetch(p + 64 * line);
}

inline void PrefetchBodies(const ContactManifold* c) {
    __builtin_prefetch(&c->bodyA->impulseCount);
    __builtin_prefetch(&c->bodyB->impulseCount);
}

// Half the length of the box's shadow on a unit axis.
float Radius(const BoxShape& box, const Vector3& axis) {
    return box.halfExtents.x * std::fabs(axis.Dot(box.Axis(0))) + box.halfExtents.y * std::fabs(axis.Dot(box.Axis(1))) +
           box.halfExtents.z * std::fabs(axis.Dot(box.Axis(2)));
}

// The contact normal of a fast body against a static one is the face of the
// static box it came through, not the face of least overlap. A body that
// moves a large part of its size in a step can end the prediction deep in a
// thin static box (the ground, near a wall): its overlap through the side
// face there is smaller than through the top it fell onto, and the side
// face's push, cancelled by the wall beside it, let it sink out through the
// underside. The face is the one of the static box's axes that still
// separated the two at the step's start and closed last on the way to the
// predicted position.
void UseEntryFace(const BoxShape& a, const BoxShape& b, AxisTest& axes) {
    const Vector3 move = a.position - a.startPosition;
    const float h = std::min(a.halfExtents.x, std::min(a.halfExtents.y, a.halfExtents.z));
    // Only for a deep overlap after a long move: a touching or shallow pair
    // keeps the face of least overlap (it may not be pushed through another
    // face it merely grazes).
    if (!(move.LengthSquared() > 0.25f * h * h) || !(axes.depth > 0.5f * h)) return;
    int best = -1;
    float bestFraction = -1.0f;
    float bestSide = 1.0f;
    float bestDepth = 0.0f;
    for (int k = 0; k < 3; ++k) {
        const Vector3 axis = b.Axis(k);
        const float reach = Radius(a, axis) + (k == 0 ? b.halfExtents.x : k == 1 ? b.halfExtents.y : b.halfExtents.z);
        const float atStart = (a.startPosition - b.position).Dot(axis);
        const float gap = std::fabs(atStart) - reach;  // > 0: separated along this axis at the start
        if (!(gap > 0.0f)) continue;
        const float side = atStart >= 0.0f ? 1.0f : -1.0f;
        const float depth = reach - side * (a.position - b.position).Dot(axis);  // along the face's normal
        const float closed = gap + depth;
        if (!(depth > 0.0f) || !(closed > 0.0f)) continue;
        const float fraction = gap / closed;
        if (fraction > bestFraction) {
            best = k;
            bestFraction = fraction;
            bestSide = side;
            bestDepth = depth;
        }
    }
    if (best < 0) return;
    axes.axis = 3 + best;
    axes.normal = b.Axis(best) * bestSide;
    axes.depth = bestDepth;
}

}  // namespace

namespace {
static_assert(std::is_trivially_copyable<ContactManifold>::value, "contact records are copied bytewise");
constexpr size_t kLine = 64;
// Records of whole cache lines.
constexpr size_t kRecordSize = (sizeof(ContactManifold) + kLine - 1) / kLine * kLine;
}  // namespace

char* PhysWorld::AlignedBlocks::malloc(size_type bytes) {
    return static_cast<char*>(::operator new(bytes, std::align_val_t(kLine), std::nothrow));
}

void PhysWorld::AlignedBlocks::free(char* block) { ::operator delete(block, std::align_val_t(kLine)); }

PhysWorld::PhysWorld() : m_grid(kCellSize), m_contactPool(kRecordSize, 32) {}

PhysWorld::~PhysWorld() { ReleaseContacts(); }

ContactManifold* PhysWorld::NewContact() {
    void* mem = m_contactPool.malloc();
    if (!mem) throw std::bad_alloc();
    return new (mem) ContactManifold();
}

// The record of a staged pair, made in a pool record from NewRecord: its
// points are found now (the boxes are as they were when the pair was found).
// The record is not cleared first: every field is written before it is read
// (the points past count never are).
void PhysWorld::MakeStagedContact(const StagedPair& pair, ContactManifold& c) {
    ContactPointsOf(pair.a->shape, pair.b->shape, pair.axes, c);
    c.bodyA = pair.a;
    c.bodyB = pair.b;
}

ContactManifold* PhysWorld::NewRecord() {
    void* mem = m_contactPool.malloc();
    if (!mem) throw std::bad_alloc();
    return static_cast<ContactManifold*>(mem);
}

void PhysWorld::ReleaseContacts() {
    // Last first: the pool hands out the records freed last first, so the
    // next step's records come in the order of this step's, one after another.
    for (size_t i = m_contacts.size(); i-- > 0;) m_contactPool.free(m_contacts[i]);
    m_contacts.clear();
}

void PhysWorld::AddBody(const PhysBodyPtr& body) {
    if (body) m_awake.push_back(body);
}

void PhysWorld::RemoveBody(const PhysBodyPtr& body) {
    if (!body) return;
    PhysBody* b = body.get();
    // Keep the body alive until its neighbours were woken and it left the grid.
    PhysBodyPtr keep = body;
    auto sleeping = std::find_if(m_sleeping.begin(), m_sleeping.end(), [b](const PhysBodyPtr& s) { return s.get() == b; });
    if (sleeping != m_sleeping.end()) {
        m_sleepingStatic.erase(m_sleepingStatic.begin() + (sleeping - m_sleeping.begin()));
        m_sleeping.erase(sleeping);
    } else if (!EraseBody(m_awake, b)) {
        return;
    }
    ++m_queryStamp;
    WakeAndCollide(b, true);
    m_grid.Remove(b);
    b->filing.valid = false;
    b->contacts.clear();
}

void PhysWorld::RefreshBody(const PhysBodyPtr& body) {
    if (!body) return;
    ++m_queryStamp;
    WakeAndCollide(body.get(), false);
}

void PhysWorld::Clear() {
    ReleaseContacts();
    for (auto& b : m_awake) {
        b->contacts.clear();
        b->filing.valid = false;
    }
    for (auto& b : m_sleeping) {
        b->contacts.clear();
        b->filing.valid = false;
    }
    m_awake.clear();
    m_sleeping.clear();
    m_sleepingStatic.clear();
    m_grid.Clear();
    m_reports.clear();
}

void PhysWorld::Step(float dt) {
    if (!(dt > 0.0f))  // zero, negative or NaN
        dt = kZeroStep;
    else if (dt > kMaxStep)
        dt = kMaxStep;
    m_dt = dt;
    m_reports.clear();

    Maintain();
    for (auto& b : m_awake) b->shape.startPosition = b->state.position;
    ++m_stepStamp;
    m_fullContacts = true;
    Collide(dt);
    Resolve(dt, true);
    for (auto& b : m_awake) b->IntegrateVelocity(dt);
    Resolve(dt, false);
    m_fullContacts = false;
    for (auto& b : m_awake) b->IntegratePosition(dt);
    ++m_stepStamp;
    for (auto& b : m_awake) b->UpdateSleep(dt);
}

void PhysWorld::Maintain() {
    size_t kept = 0;
    for (size_t i = 0; i < m_awake.size(); ++i) {
        PhysBodyPtr& b = m_awake[i];
        b->contacts.clear();
        if (b->asleep) {
            m_grid.Refile(b.get(), b->GetGridRect(m_stepStamp), b->filing);
            m_sleepingStatic.push_back(b->staticBody ? 1 : 0);
            m_sleeping.push_back(std::move(b));
        } else {
            if (kept != i) m_awake[kept] = std::move(b);
            ++kept;
        }
    }
    m_awake.resize(kept);

    // Static bodies sleep for good and keep no contacts (they are never the
    // first body of a prepared contact and are not listed as the second), so
    // they are passed over; the sleepers that can wake are noted in order for
    // the wake checks of this step. A static sleeper stays one until its
    // material changes (nothing else clears its flag or wakes it), so while
    // no static sleeper's material changed since the flags below were noted,
    // the ones noted static are passed over without a look at the body: on a
    // level of a thousand placed blocks that look missed the cache a
    // thousand times a step.
    const uint64_t epoch = PhysBody::MaterialEpoch();
    const bool flagsHold = epoch == m_sleepingStaticEpoch;
    m_sleepingDynamic.clear();
    kept = 0;
    for (size_t i = 0; i < m_sleeping.size(); ++i) {
        PhysBodyPtr& b = m_sleeping[i];
        if ((flagsHold && m_sleepingStatic[i] != 0) || (b->asleep && b->staticBody)) {
            if (kept != i) m_sleeping[kept] = std::move(b);
            m_sleepingStatic[kept] = 1;
            ++kept;
            continue;
        }
        b->contacts.clear();
        if (!b->asleep) {
            ++m_queryStamp;
            WakeAndCollide(b.get(), false);
            m_awake.push_back(std::move(b));
        } else {
            m_sleepingDynamic.push_back(b.get());
            if (kept != i) m_sleeping[kept] = std::move(b);
            m_sleepingStatic[kept] = 0;
            ++kept;
        }
    }
    m_sleeping.resize(kept);
    m_sleepingStatic.resize(kept);
    m_sleepingStaticEpoch = epoch;

    ReleaseContacts();
}

void PhysWorld::Collide(float dt) {
    m_snapshot.resize(m_awake.size());
    for (size_t i = 0; i < m_awake.size(); ++i) m_awake[i]->SaveState(m_snapshot[i]);
    for (auto& b : m_awake) {
        b->IntegrateVelocity(dt);
        b->IntegratePosition(dt);
    }
    DetectContacts(dt);
    for (ContactManifold* c : m_contacts) m_reports.push_back(Classify(*c));
    for (size_t i = 0; i < m_awake.size(); ++i) {
        m_awake[i]->RestoreState(m_snapshot[i]);
        m_awake[i]->RefreshShape();
    }
}

PhysContact PhysWorld::Classify(const ContactManifold& c) const {
    PhysContact r;
    const float speed = (c.bodyA->state.velocity - c.bodyB->state.velocity).Dot(c.normal);
    r.resting = std::fabs(speed) < 0.5f ? 1u : 0u;
    r.normalSpeed = r.resting ? 0.0f : speed;
    r.point = c.reportPoint;
    r.normal = c.normal;
    r.idA = c.bodyA->actorId;
    r.massA = c.bodyA->massProps.mass;
    r.idB = c.bodyB->actorId;
    r.massB = c.bodyB->massProps.mass;
    return r;
}

void PhysWorld::DetectContacts(float dt) {
    for (auto& b : m_awake) m_grid.Refile(b.get(), b->GetGridRect(m_stepStamp), b->filing);
    // The step's touching pairs are staged (no contact of the step exists
    // before: the previous ones went back to the pool).
    m_staging = true;
    m_staged.clear();
    ++m_detection;
    for (auto& b : m_awake) {
        ++m_queryStamp;
        b->queryStamp = m_queryStamp;
        QueryPairs(b.get(), 0.02f, false, true);
    }
    m_staging = false;
    // Shuffle so that no body pair is always solved first. The records are
    // made and prepared in the shuffled order, each taken from the pool as it
    // is made: they lie one after another in memory in the order the solver
    // visits them, and are written in that order too (writing them in the
    // order the pairs were found, where the bodies are at hand, scatters the
    // writes and costs more than it saves).
    const size_t n = m_staged.size();
    m_order.resize(n);
    for (size_t k = 0; k < n; ++k) m_order[k] = static_cast<uint32_t>(k);
    for (size_t k = 1; k < n; ++k) {
        const size_t r = static_cast<size_t>(m_random.Below(k + 1));
        std::swap(m_order[k], m_order[r]);
    }
    for (size_t k = 0; k < n; ++k) {
        ContactManifold* c = NewRecord();
        // The pool hands out records mostly one after another (see
        // ReleaseContacts): ask for the lines of a record a few ahead, whose
        // link the pool reads and whose header and points are written next.
        const uintptr_t ahead = reinterpret_cast<uintptr_t>(c) + 4 * kRecordSize;
        for (uintptr_t line = 0; line < 4; ++line)
            __builtin_prefetch(reinterpret_cast<const void*>(ahead + 64 * line), 1);
        // The pairs come in shuffled order: ask for the shapes of the pair
        // two ahead, which making its record reads first.
        if (k + 2 < n) {
            const StagedPair& next = m_staged[m_order[k + 2]];
            for (const PhysBody* b : {next.a, next.b}) {
                const char* shape = reinterpret_cast<const char*>(&b->shape);
                __builtin_prefetch(shape);
                __builtin_prefetch(shape + 64);
            }
        }
        m_contacts.push_back(c);
        MakeStagedContact(m_staged[m_order[k]], *c);
        PrepareContact(*c, dt);
    }
}

// A cell's copy: padded to a multiple of four entries with ones that no
// sphere reaches (x infinite), so that ScanShadow tests four at once.
static void BuildShadow(CellCopy& shadow, const PhysGrid::BodyList& list) {
    std::vector<float>& x = shadow.x;
    std::vector<float>& y = shadow.y;
    std::vector<float>& z = shadow.z;
    std::vector<float>& radius = shadow.radius;
    std::vector<PhysBody*>& bodies = shadow.bodies;
    const size_t n = list.size();
    const size_t padded = (n + 3) / 4 * 4;
    x.resize(padded);
    y.resize(padded);
    z.resize(padded);
    radius.resize(padded);
    bodies.resize(padded);
    size_t i = 0;
    for (PhysBody* b : list) {
        const Vector3& p = b->shape.position;
        x[i] = p.x;
        y[i] = p.y;
        z[i] = p.z;
        radius[i] = b->boundingRadius;
        bodies[i] = b;
        ++i;
    }
    for (; i < padded; ++i) {
        x[i] = std::numeric_limits<float>::infinity();
        y[i] = z[i] = radius[i] = 0.0f;
        bodies[i] = nullptr;
    }
}

void PhysWorld::QueryPairs(PhysBody* body, float tolerance, bool wakePass, bool full) {
    const Vector3 at = body->shape.position;
    const float radius = body->boundingRadius;
    if (m_staging) {
        // Contact detection: the same candidates in the same order, through
        // the cells' copies (see ScanShadow). DetectContacts has just filed
        // the body with the rectangle asked for here, so its filing lists
        // the very cells the grid would find for it, in the same order.
        for (const GridCell* cell : body->filing.cells) {
            CellCopy& shadow = cell->copy;
            if (shadow.detection != m_detection) {
                shadow.detection = m_detection;
                BuildShadow(shadow, cell->bodies);
            }
            ScanShadow(shadow, body, tolerance, wakePass, full);
        }
        return;
    }
    m_grid.ForEachInBox(body->GetGridRect(m_stepStamp), [&](PhysBody* candidate) {
        // The bounding spheres first, before the query stamp: a candidate
        // whose sphere is out of reach is out of reach in every cell it is
        // listed in, so leaving it unstamped changes nothing, and most
        // candidates are cast out here without a write to their memory.
        const float reach = radius + candidate->boundingRadius + tolerance;
        if ((at - candidate->shape.position).LengthSquared() > reach * reach) return;
        PairTest(body, candidate, tolerance, wakePass, full);
    });
}

// The bounding-sphere test of QueryPairs over a cell's copy, four entries at
// a time with the same arithmetic per entry; the entries within reach go on
// to PairTest in list order.
void PhysWorld::ScanShadow(const CellCopy& shadow, PhysBody* body, float tolerance, bool wakePass, bool full) {
    const Vector3 at = body->shape.position;
    const float radius = body->boundingRadius;
    const size_t n = shadow.x.size();
#if defined(__SSE2__)
    const __m128 ax = _mm_set1_ps(at.x), ay = _mm_set1_ps(at.y), az = _mm_set1_ps(at.z);
    const __m128 ar = _mm_set1_ps(radius), tol = _mm_set1_ps(tolerance);
    for (size_t i = 0; i < n; i += 4) {
        const __m128 reach = _mm_add_ps(_mm_add_ps(ar, _mm_loadu_ps(&shadow.radius[i])), tol);
        const __m128 dx = _mm_sub_ps(ax, _mm_loadu_ps(&shadow.x[i]));
        const __m128 dy = _mm_sub_ps(ay, _mm_loadu_ps(&shadow.y[i]));
        const __m128 dz = _mm_sub_ps(az, _mm_loadu_ps(&shadow.z[i]));
        const __m128 d2 = _mm_add_ps(_mm_add_ps(_mm_mul_ps(dx, dx), _mm_mul_ps(dy, dy)), _mm_mul_ps(dz, dz));
        unsigned within = ~static_cast<unsigned>(_mm_movemask_ps(_mm_cmpgt_ps(d2, _mm_mul_ps(reach, reach)))) & 15u;
        for (; within != 0; within &= within - 1) {
            PhysBody* candidate = shadow.bodies[i + static_cast<size_t>(__builtin_ctz(within))];
            if (candidate) PairTest(body, candidate, tolerance, wakePass, full);  // not padding
        }
    }
#else
    for (size_t i = 0; i < n; ++i) {
        const float reach = radius + shadow.radius[i] + tolerance;
        if ((at - Vector3(shadow.x[i], shadow.y[i], shadow.z[i])).LengthSquared() > reach * reach) continue;
        if (shadow.bodies[i]) PairTest(body, shadow.bodies[i], tolerance, wakePass, full);
    }
#endif
}

// A candidate within reach of the body's bounding sphere (QueryPairs tested
// that).
void PhysWorld::PairTest(PhysBody* body, PhysBody* candidate, float tolerance, bool wakePass, bool full) {
    if (candidate->queryStamp == m_queryStamp) return;
    candidate->queryStamp = m_queryStamp;
    if (wakePass) {
        if (!candidate->asleep) return;
    } else if (body->asleep && candidate->asleep) {
        return;
    }

    const Geometry::AABB& a = body->GetAABB(m_stepStamp);
    const Geometry::AABB& c = candidate->GetAABB(m_stepStamp);
    const float s = 1.0f + tolerance;
    for (int axis = 0; axis < 3; ++axis) {
        const float e = s * (c.max[axis] - c.min[axis]);
        if (!(a.min[axis] - e <= c.min[axis] && c.min[axis] <= a.max[axis] + e)) return;
    }

    if (m_staging) {
        StagedPair pair{body, candidate, AxisTest()};
        if (TestBoxAxes(body->shape, candidate->shape, tolerance, full, pair.axes)) {
            if (full && candidate->IsStatic()) UseEntryFace(body->shape, candidate->shape, pair.axes);
            m_staged.push_back(pair);
        }
        return;
    }
    ContactManifold* contact = NewContact();
    if (!TestBoxBox(body->shape, candidate->shape, *contact, full, tolerance)) {
        m_contactPool.free(contact);
        return;
    }
    contact->bodyA = body;
    contact->bodyB = candidate;
    m_contacts.push_back(contact);
}

void PhysWorld::Resolve(float dt, bool collisionPass) {
    const int sweeps = collisionPass ? 3 : 7;
    if (!collisionPass)
        for (ContactManifold* c : m_contacts) {
            c->restitution = 0.0f;
            Reopen(*c);
        }
    for (int s = 0; s < sweeps; ++s) {
        const bool forward = m_forward;
        m_forward = !m_forward;
        bool changed = false;
        const size_t n = m_contacts.size();
        // The shuffled records lie anywhere in memory: fetch a few ahead.
        constexpr size_t kAhead = 4;
        // And the bodies of a record fetched before: the line a visit reads
        // of each (impulse count, velocities).
        constexpr size_t kBodiesAhead = 2;
        if (forward) {
            for (size_t i = 0; i < n; ++i) {
                if (i + kAhead < n) Prefetch(m_contacts[i + kAhead]);
                if (i + kBodiesAhead < n) PrefetchBodies(m_contacts[i + kBodiesAhead]);
                if (!IsDone(*m_contacts[i])) changed |= SolveContact(*m_contacts[i]);
            }
        } else {
            for (size_t i = n; i-- > 0;) {
                if (i >= kAhead) Prefetch(m_contacts[i - kAhead]);
                if (i >= kBodiesAhead) PrefetchBodies(m_contacts[i - kBodiesAhead]);
                if (!IsDone(*m_contacts[i])) changed |= SolveContact(*m_contacts[i]);
            }
        }
        if (collisionPass) {
            const size_t before = m_contacts.size();
            WakeCheck();
            for (size_t i = before; i < m_contacts.size(); ++i) PrepareContact(*m_contacts[i], dt);
        }
        if (!changed) break;
    }
}

// Walks the sleepers that can wake (noted by Maintain in the order of the
// sleeping list; static ones never wake).
void PhysWorld::WakeCheck() {
    constexpr size_t kAhead = 8;
    const size_t n = m_sleepingDynamic.size();
    for (size_t i = 0; i < n; ++i) {
        if (i + kAhead < n) __builtin_prefetch(&m_sleepingDynamic[i + kAhead]->impulseCount);
        PhysBody* b = m_sleepingDynamic[i];
        // Untouched since its last check or its fall asleep, a sleeper has no
        // motion (every change of it marks the body touched): most sleepers
        // of a busy world are passed over here.
        if (!b->touched || !b->asleep || b->IsStatic()) continue;
        if (b->IsPushedAwake()) {
            ++m_queryStamp;
            WakeAndCollide(b, false);
        } else if (b->touched) {
            // Nudged but not enough to wake: the sleeper forgets the push.
            b->ResetMotion();
            b->state.angularMomentum = Geometry::kZeroVector;
            b->UpdateAngularVelocity();
            b->touched = false;
        }
    }
}

// Wakes the body, finds its sleeping neighbours, and goes on with those that
// rest on top of it. Iterative with an explicit stack, so a tall tower cannot
// exhaust the call stack; the visiting order is that of a depth-first walk.
// Every woken body gets a query stamp of its own: with one stamp for the whole
// walk, the first query would mark the whole column of a grid cell as seen
// and the third block of a stack would stay asleep in the air.
void PhysWorld::WakeAndCollide(PhysBody* root, bool forced) {
    const size_t base = m_wakeStack.size();
    bool first = true;
    auto visit = [this, &first](PhysBody* body, bool forcedCall) {
        body->Wake();
        if (body->asleep && !forcedCall) return;
        UnlistContacts(*body);
        if (!first) ++m_queryStamp;
        first = false;
        body->queryStamp = m_queryStamp;
        const size_t before = m_contacts.size();
        QueryPairs(body, 0.1f, true, m_fullContacts);
        m_wakeStack.push_back(WakeFrame{before, m_contacts.size()});
    };
    visit(root, forced);
    while (m_wakeStack.size() > base) {
        WakeFrame& frame = m_wakeStack.back();
        if (frame.next == frame.end) {
            m_wakeStack.pop_back();
            continue;
        }
        const ContactManifold* c = m_contacts[frame.next++];
        PhysBody* above = c->bodyB;
        if (above->asleep && !above->IsStatic() && c->normal.y < 0.0f) visit(above, false);
    }
}

std::vector<PhysContact> PhysWorld::TakeReports(bool impactsOnly) {
    if (impactsOnly)
        m_reports.erase(std::remove_if(m_reports.begin(), m_reports.end(),
                                       [](const PhysContact& r) { return r.resting != 0; }),
                        m_reports.end());
    for (PhysContact& r : m_reports) {
        if (r.idB < r.idA) {
            std::swap(r.idA, r.idB);
            std::swap(r.massA, r.massB);
            r.normalSpeed = -r.normalSpeed;
            r.normal = -r.normal;
        }
    }
    // Stable order by (idA, idB, resting): a radix sort of the report
    // indices by that 33-bit key, three stable passes of 11 bits; a few
    // reports are sorted directly.
    const size_t n = m_reports.size();
    std::vector<uint32_t>& order = m_reportOrder;
    order.resize(n);
    for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(i);
    auto key = [this](uint32_t i) {
        const PhysContact& r = m_reports[i];
        return (uint64_t(r.idA) << 17) | (uint64_t(r.idB) << 1) | (r.resting ? 1u : 0u);
    };
    if (n < 256) {
        // The key above the index: distinct numbers whose order is the stable
        // order by key, sorted without the stable sort's scratch allocation.
        m_reportKeys.resize(n);
        for (size_t i = 0; i < n; ++i) m_reportKeys[i] = (key(static_cast<uint32_t>(i)) << 31) | i;
        std::sort(m_reportKeys.begin(), m_reportKeys.end());
        for (size_t i = 0; i < n; ++i) order[i] = static_cast<uint32_t>(m_reportKeys[i] & 0x7FFFFFFFu);
    } else {
        m_reportKeys.resize(n);
        for (size_t i = 0; i < n; ++i) m_reportKeys[i] = key(static_cast<uint32_t>(i));
        std::vector<uint32_t>& spare = m_reportSpare;
        spare.resize(n);
        constexpr int kBits = 11;
        constexpr size_t kBuckets = size_t(1) << kBits;
        for (int shift = 0; shift < 33; shift += kBits) {
            size_t count[kBuckets + 1] = {};
            for (uint32_t i : order) ++count[((m_reportKeys[i] >> shift) & (kBuckets - 1)) + 1];
            for (size_t b = 1; b <= kBuckets; ++b) count[b] += count[b - 1];
            for (uint32_t i : order) spare[count[(m_reportKeys[i] >> shift) & (kBuckets - 1)]++] = i;
            order.swap(spare);
        }
    }
    // One report per pair: the first of the pair in that order.
    std::vector<PhysContact> out;
    bool first = true;
    uint16_t prevA = 0, prevB = 0;
    for (uint32_t i : order) {
        const PhysContact& r = m_reports[i];
        if (!first && r.idA == prevA && r.idB == prevB) continue;
        first = false;
        prevA = r.idA;
        prevB = r.idB;
        out.push_back(r);
    }
    m_reports.clear();
    return out;
}

void PhysWorld::CollectMoveReports(std::vector<MoveReport>& out) const {
    out.clear();
    for (const auto& b : m_awake) {
        if (b->asleep) continue;
        if (b->state.position != b->shape.startPosition || b->state.angularVelocity != Geometry::kZeroVector ||
            b->walking) {
            MoveReport m;
            m.actorId = b->actorId;
            m.position = b->state.position;
            m.velocity = b->state.velocity;
            m.orientation = b->state.orientation;
            out.push_back(m);
        }
    }
}

}  // namespace Physics
